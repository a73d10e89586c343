# shellcheck shell=bash
# Helpers for the Wine scenarios; sourced by scenarios.sh. A scenario gets a
# folder of its own under $KV_WORK holding a copy of a prefix, the program
# (as Kelvane.exe, usually with ati.pci beside it) and a log of everything
# the driver was asked and said.
#
# Set by run.sh: KV_BIN (the folder with the exes and kvdriver.exe), KV_PCI,
# KV_WORK and KV_SHOTS.

source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/wine-env.sh"

S_NAME=""
S_DIR=""
S_LOG=/dev/null
S_PROBLEMS=()
APP_PID=""
APP_RC=""
DRV_OUT=""
DRV_ERR=""

# The main window, found by its class so that a wrong caption fails only the
# scenario about the caption.
MAIN=class:TForm1

# setup NAME base|demo EXE [no-pci]
setup() {
    S_NAME=$1
    local prefix exe=$3
    case $2 in
        base) prefix=$WINE_BASE ;;
        demo) prefix=$WINE_DEMO ;;
        *) echo "FAIL $S_NAME: unknown prefix $2"; exit 1 ;;
    esac
    S_DIR=$KV_WORK/$S_NAME
    rm -rf "$S_DIR"
    mkdir -p "$S_DIR/app"
    S_LOG=$S_DIR/log
    : >"$S_LOG"
    cp -a "$prefix" "$S_DIR/prefix"
    forget_program "$S_DIR/prefix"
    export WINEPREFIX=$S_DIR/prefix
    cp "$KV_BIN/$exe.exe" "$S_DIR/app/Kelvane.exe"
    [ "${4:-}" = no-pci ] || cp "$KV_PCI" "$S_DIR/app/ati.pci"
}

# Every scenario starts on a machine where the program has never run. The
# shared prefixes may have seen it (the demo runs in them), so its key goes
# from the copy; with no wineserver running, the file is all there is.
forget_program() {
    awk '/^\[/ { skip = index(tolower($0), "[software\\\\tessaly") == 1 } !skip' \
        "$1/system.reg" >"$1/system.reg.new" && mv "$1/system.reg.new" "$1/system.reg"
}

# Starts the program in its folder, as a user would by double-clicking it.
start_app() {
    (cd "$S_DIR/app" && exec "$WINE" Kelvane.exe "$@") >>"$S_LOG" 2>&1 &
    APP_PID=$!
}

# Waits up to $1 seconds for the program to end; its exit code lands in APP_RC.
app_ended() {
    local i
    for ((i = 0; i < $1 * 10; i++)); do
        if ! kill -0 "$APP_PID" 2>/dev/null; then
            wait "$APP_PID"
            APP_RC=$?
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# drv ARGS...: runs the driver; its output lands in DRV_OUT, its complaint in
# DRV_ERR, and both in the log.
drv() {
    local rc
    DRV_OUT=$("$WINE" "$KV_BIN/kvdriver.exe" "$@" 2>"$S_DIR/driver.err")
    rc=$?
    DRV_ERR=$(grep '^kvdriver: ' "$S_DIR/driver.err" | tail -n 1 | sed 's/^kvdriver: //')
    [ -n "$DRV_ERR" ] || DRV_ERR="kvdriver exit $rc"
    {
        printf '$ kvdriver'
        printf ' %q' "$@"
        printf ' -> %s\n' "$rc"
        [ -z "$DRV_OUT" ] || printf '%s\n' "$DRV_OUT"
        cat "$S_DIR/driver.err"
    } >>"$S_LOG"
    return $rc
}

# What is on the screen, for failure messages: a message box often says why
# a window is missing.
on_screen() {
    local windows box=""
    drv windows || true
    windows=$(printf '%s' "$DRV_OUT" | sed 's/^0x[0-9A-F]* //' | paste -sd, -)
    if drv msgbox 0; then box="; message box: \"$DRV_OUT\""; fi
    printf ' (windows: %s%s)' "${windows:-none}" "$box"
}

wait_main() {
    drv wait-window "$MAIN" "${1:-30}" || fail "the main window did not open$(on_screen)"
}

# expect WHAT ACTUAL EXPECTED: notes a mismatch, the scenario goes on.
expect() {
    [ "$2" = "$3" ] || S_PROBLEMS+=("$1 is \"$2\", expected \"$3\"")
}

teardown() {
    "$WINESERVER" -k 2>/dev/null
    [ -z "$APP_PID" ] || wait "$APP_PID" 2>/dev/null
}

fail() {
    echo "FAIL $S_NAME: $*"
    echo "FAIL: $*" >>"$S_LOG"
    teardown
    exit 1
}

# Ends the scenario: PASS unless expect noted something. A passed scenario's
# prefix copy goes; its log and folder stay.
verdict() {
    if [ ${#S_PROBLEMS[@]} -gt 0 ]; then
        local joined
        joined=$(printf '%s; ' "${S_PROBLEMS[@]}")
        fail "${joined%; }"
    fi
    echo "PASS $S_NAME"
    teardown
    rm -rf "$S_DIR/prefix"
    exit 0
}
