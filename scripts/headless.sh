#!/usr/bin/env bash
# Runs a command inside one Xvfb session with real CRT modes.
here="$(cd "$(dirname "$0")" && pwd)"
exec xvfb-run -a -s "-screen 0 1024x768x24 -noreset" bash "$here/with-modes.sh" "$@"
