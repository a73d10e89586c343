#!/usr/bin/env bash
# Starts Kelvane's demo flavour under Wine on the demo machine: an XP prefix
# with a simulated RADEON 9800 PRO. With a display the window opens for the
# user; without one it runs under Xvfb, saves a screenshot and ends.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
demo_dir="$(cd "${1:-$ROOT/dist/demo}" && pwd)"
bash "$ROOT/scripts/wine-prefix.sh"
# The demo runs in a copy of the demo machine, so what it stores there (its
# installation folder, applied settings) never reaches the tests' machines.
# The copy is made anew whenever the demo machine changes.
run_prefix="$ROOT/build/wine/demo-run"
if [ ! -f "$run_prefix/.kelvane-stamp" ] || ! cmp -s "$run_prefix/.kelvane-stamp" "$WINE_DEMO/.kelvane-stamp"; then
    rm -rf "$run_prefix"
    cp -a "$WINE_DEMO" "$run_prefix"
fi
export WINEPREFIX="$run_prefix"
# Wine has no cabinet tool; the demo machine gets the stand-in the tests use,
# so that Report packs its file as on Windows.
if [ -f "$ROOT/build/win32/makecab.exe" ]; then
    cp "$ROOT/build/win32/makecab.exe" "$run_prefix/drive_c/windows/system32/makecab.exe"
fi

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    cd "$demo_dir"
    exec "$WINE" Kelvane.exe
fi

shot="$ROOT/build/demo-screenshot.png"
rm -f "$shot"
bash "$ROOT/scripts/headless.sh" bash -c '
    cd "'"$demo_dir"'"
    "$WINE" Kelvane.exe >/dev/null 2>&1 &
    for i in $(seq 1 60); do
        xwininfo -root -tree 2>/dev/null | grep -q "\"Kelvane 0.9.9.6\"" && break
        sleep 0.5
    done
    sleep 2
    import -window root "'"$shot"'"
    "$WINESERVER" -k'
if [ -s "$shot" ]; then
    echo "demo: no display here, so Kelvane ran under Xvfb; its main window is in $shot"
else
    echo "demo: the screenshot could not be taken" >&2
    exit 1
fi
