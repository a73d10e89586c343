#!/usr/bin/env bash
# Runs a command on the current X display after giving it real CRT modes:
# plain Xvfb offers one mode at 0 Hz, and Wine reports what xrandr lists.
set -u
add() {  # name clock h1 h2 h3 h4 v1 v2 v3 v4 flags...
    local name=$1; shift
    xrandr --newmode "$name" "$@" 2>/dev/null
    xrandr --addmode screen "$name" 2>/dev/null
}
add 640x480_60  25.175 640 656 752 800 480 490 492 525 -hsync -vsync
add 640x480_75  31.5   640 656 720 840 480 481 484 500 -hsync -vsync
add 640x480_85  36.0   640 696 752 832 480 481 484 509 -hsync -vsync
add 800x600_60  40.0   800 840 968 1056 600 601 605 628 +hsync +vsync
add 800x600_75  49.5   800 816 896 1056 600 601 604 625 +hsync +vsync
add 800x600_85  56.25  800 832 896 1048 600 601 604 631 +hsync +vsync
add 1024x768_60 65.0   1024 1048 1184 1344 768 771 777 806 -hsync -vsync
add 1024x768_70 75.0   1024 1048 1184 1328 768 771 777 806 -hsync -vsync
add 1024x768_75 78.75  1024 1040 1136 1312 768 769 772 800 +hsync +vsync
add 1024x768_85 94.5   1024 1072 1168 1376 768 769 772 808 +hsync +vsync
exec "$@"
