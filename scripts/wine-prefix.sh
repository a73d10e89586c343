#!/usr/bin/env bash
# Makes the Wine prefixes Kelvane runs in, once:
#   build/wine/base      a 32-bit Windows XP without a window manager's delays;
#   build/wine/demo      the base plus the demo machine's driver keys;
#   build/wine/base2000  the base set to Windows 2000;
#   build/wine/demo2000  that plus the demo machine's keys as the driver keeps
#                        them on Windows 2000 (see demo_reg_2000).
# Does nothing when all are up to date.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"

stamp_of() { sha1sum "$@" | sha1sum | cut -c1-16; }

# up_to_date PREFIX STAMP
up_to_date() { [ -f "$1/.kelvane-stamp" ] && [ "$(cat "$1/.kelvane-stamp")" = "$2" ]; }

make_base() {
    local want; want=$(stamp_of "$ROOT/scripts/wine-prefix.sh")
    up_to_date "$WINE_BASE" "$want" && return
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

# The Windows 2000 base is the XP one with another version: booting a
# prefix anew costs far more than the copy.
make_base_2000() {
    local want; want=$(stamp_of "$ROOT/scripts/wine-prefix.sh" "$WINE_BASE/.kelvane-stamp")
    up_to_date "$WINE_BASE_2000" "$want" && return
    echo "wine: making the Windows 2000 base prefix (once)"
    rm -rf "$WINE_BASE_2000"
    cp -a "$WINE_BASE" "$WINE_BASE_2000"
    WINEPREFIX="$WINE_BASE_2000" "$WINE" winecfg -v win2k >/dev/null 2>&1
    WINEPREFIX="$WINE_BASE_2000" "$WINESERVER" -w
    echo "$want" > "$WINE_BASE_2000/.kelvane-stamp"
}

# The demo machine on Windows 2000: the same driver, which keeps its desktop
# options under the device key, in the subkey Desktop, rather than under
# SOFTWARE\ATI Technologies\Desktop\{VideoID} as on XP.
demo_reg_2000() {
    local xp='^\[HKEY_LOCAL_MACHINE\\SOFTWARE\\ATI Technologies\\Desktop\\{[^]]*}\]'
    local w2k='[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\ati2mtag\\Device0\\Desktop]'
    grep -q "$xp" "$ROOT/demo/demo-machine.reg" || {
        echo "wine: demo/demo-machine.reg holds no desktop options to move for Windows 2000" >&2
        return 1
    }
    sed "s/$xp/$w2k/" "$ROOT/demo/demo-machine.reg"
}

# make_demo BASE DEMO REGFILE
make_demo() {
    local base=$1 demo=$2 reg=$3 want
    want=$(stamp_of "$ROOT/scripts/wine-prefix.sh" "$ROOT/demo/demo-machine.reg" "$base/.kelvane-stamp")
    up_to_date "$demo" "$want" && return
    echo "wine: making the demo machine's prefix $(basename "$demo")"
    rm -rf "$demo"
    cp -a "$base" "$demo"
    WINEPREFIX="$demo" "$WINE" regedit /s "$(winpath "$reg")" >/dev/null 2>&1
    WINEPREFIX="$demo" "$WINESERVER" -w
    echo "$want" > "$demo/.kelvane-stamp"
}

make_base
make_demo "$WINE_BASE" "$WINE_DEMO" "$ROOT/demo/demo-machine.reg"
make_base_2000
demo_reg_2000 >"$ROOT/build/wine/demo-machine-2000.reg"
make_demo "$WINE_BASE_2000" "$WINE_DEMO_2000" "$ROOT/build/wine/demo-machine-2000.reg"
