# Sourced by the scripts that run Kelvane under Wine.
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
WINE=wine-stable
WINESERVER=wineserver-stable
command -v "$WINE" >/dev/null 2>&1 || WINE=wine
command -v "$WINESERVER" >/dev/null 2>&1 || WINESERVER=wineserver
WINE_BASE="$ROOT/build/wine/base"
WINE_DEMO="$ROOT/build/wine/demo"
# The same two set to Windows 2000.
WINE_BASE_2000="$ROOT/build/wine/base2000"
WINE_DEMO_2000="$ROOT/build/wine/demo2000"
export WINE WINESERVER WINE_BASE WINE_DEMO WINE_BASE_2000 WINE_DEMO_2000 ROOT

# The Windows name of a Unix path: Wine maps drive Z: to /.
winpath() { local p="$1"; echo "Z:${p//\//\\}"; }
