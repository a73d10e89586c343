#!/usr/bin/env bash
# Makes the Wine prefixes Kelvane runs in, once:
#   build/wine/base  a 32-bit Windows XP without a window manager's delays;
#   build/wine/demo  the base plus the demo machine's driver keys.
# Does nothing when both are up to date.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"

stamp_of() { sha1sum "$@" | sha1sum | cut -c1-16; }

make_base() {
    local want; want=$(stamp_of "$ROOT/scripts/wine-prefix.sh")
    [ -f "$WINE_BASE/.kelvane-stamp" ] && [ "$(cat "$WINE_BASE/.kelvane-stamp")" = "$want" ] && return
    echo "wine: making the base prefix (once)"
    rm -rf "$WINE_BASE"; mkdir -p "$(dirname "$WINE_BASE")"
    WINEPREFIX="$WINE_BASE" bash "$ROOT/scripts/headless.sh" bash -c '
        "$WINE" wineboot -i >/dev/null 2>&1
        "$WINE" winecfg -v winxp >/dev/null 2>&1
        "$WINE" reg add "HKCU\\Software\\Wine\\X11 Driver" /v Managed /d N /f >/dev/null 2>&1
        "$WINESERVER" -w'
    # Wine's own fonts (Tahoma, Marlett, Webdings) are not always found where
    # the package puts them; in the prefix's Fonts folder they always are.
    cp /usr/share/wine/fonts/*.ttf "$WINE_BASE/drive_c/windows/Fonts/" 2>/dev/null || true
    echo "$want" > "$WINE_BASE/.kelvane-stamp"
}

make_demo() {
    local want; want=$(stamp_of "$ROOT/scripts/wine-prefix.sh" "$ROOT/demo/demo-machine.reg")
    [ -f "$WINE_DEMO/.kelvane-stamp" ] && [ "$(cat "$WINE_DEMO/.kelvane-stamp")" = "$want" ] && return
    echo "wine: making the demo machine's prefix"
    rm -rf "$WINE_DEMO"
    cp -a "$WINE_BASE" "$WINE_DEMO"
    WINEPREFIX="$WINE_DEMO" "$WINE" regedit /s "$(winpath "$ROOT/demo/demo-machine.reg")" >/dev/null 2>&1
    WINEPREFIX="$WINE_DEMO" "$WINESERVER" -w
    echo "$want" > "$WINE_DEMO/.kelvane-stamp"
}

make_base
make_demo
