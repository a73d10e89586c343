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
S_IMPORTS=0
S_WINVER=""
S_MACHINE=""

# The main window, found by its class so that a wrong caption fails only the
# scenario about the caption.
MAIN=class:TForm1

# setup NAME base|demo EXE [no-pci]. The machine runs Windows XP, or
# Windows 2000 when KV_WINDOWS is 2000; then the scenario is named NAME_2000.
# S_WINVER is the version the program finds there.
setup() {
    S_NAME=$1
    local prefix exe=$3
    case ${KV_WINDOWS:-xp}-$2 in
        xp-base) prefix=$WINE_BASE S_WINVER=5.1.2600 ;;
        xp-demo) prefix=$WINE_DEMO S_WINVER=5.1.2600 ;;
        2000-base) prefix=$WINE_BASE_2000 S_WINVER=5.0.2195 S_NAME+=_2000 ;;
        2000-demo) prefix=$WINE_DEMO_2000 S_WINVER=5.0.2195 S_NAME+=_2000 ;;
        *) echo "FAIL $S_NAME: no prefix $2 on Windows ${KV_WINDOWS:-xp}"; exit 1 ;;
    esac
    S_DIR=$KV_WORK/$S_NAME
    rm -rf "$S_DIR"
    mkdir -p "$S_DIR/app"
    S_LOG=$S_DIR/log
    : >"$S_LOG"
    S_MACHINE=$prefix
    export WINEPREFIX=$S_DIR/prefix
    new_machine
    cp "$KV_BIN/$exe.exe" "$S_DIR/app/Kelvane.exe"
    [ "${4:-}" = no-pci ] || cp "$KV_PCI" "$S_DIR/app/ati.pci"
}

# The scenario's prefix made anew from the one setup took: another machine
# of the same kind, where the program has never run.
new_machine() {
    [ ! -d "$S_DIR/prefix" ] || "$WINESERVER" -k 2>/dev/null
    rm -rf "$S_DIR/prefix"
    cp -a "$S_MACHINE" "$S_DIR/prefix"
    forget_program "$S_DIR/prefix"
}

# Every scenario starts on a machine where the program has never run. The
# shared prefixes may have seen it (the demo runs in them), so its key goes
# from the copy; with no wineserver running, the file is all there is.
forget_program() {
    awk '/^\[/ { skip = index(tolower($0), "[software\\\\tessaly") == 1 } !skip' \
        "$1/system.reg" >"$1/system.reg.new" && mv "$1/system.reg.new" "$1/system.reg"
}

# use_locale ru_RU: the programs started from now on run as on a Windows of
# that country, with its ANSI code page. The locale is compiled once into
# build/locale, since a fresh machine has only C.UTF-8.
use_locale() {
    local dir=$ROOT/build/locale
    if [ ! -d "$dir/$1.UTF-8" ]; then
        mkdir -p "$dir"
        localedef -i "$1" -f UTF-8 "$dir/$1.UTF-8" >>"$S_LOG" 2>&1 || fail "cannot make the locale $1"
    fi
    "$WINESERVER" -k 2>/dev/null
    export LOCPATH=$dir LC_ALL=$1.UTF-8
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

# Windows drops its volatile keys at a restart, and Wine drops them when its
# server ends, a few seconds after its last program has: while a scenario
# means no restart, a program of its own holds the session.
hold_session() {
    "$WINE" "$KV_BIN/kvdriver.exe" sleep 3600000 >>"$S_LOG" 2>&1 &
    HOLD_PID=$!
}

# The restart the scenario means: the hold goes, and Wine's server may end.
release_session() {
    [ -n "${HOLD_PID:-}" ] || return 0
    kill "$HOLD_PID" 2>/dev/null
    wait "$HOLD_PID" 2>/dev/null
    HOLD_PID=""
}

# Starts a command line as Windows starts one it finds under RunOnce at
# logon: through the command interpreter, from a folder of Windows' own
# rather than the program's.
start_command() {
    (cd "$WINEPREFIX/drive_c/windows" && exec "$WINE" cmd /c "$1") >>"$S_LOG" 2>&1 &
    APP_PID=$!
}

# After start_command with the one-shot check: the logon waits for the
# program it started, which hands the check to a copy of itself and ends at
# once; the copy shows the check.
check_handed_over() {
    drv wait-window "$CHECK" 30 || fail "the mode check did not open$(on_screen)"
    app_ended 10 || fail "the start the logon waits for still runs: the logon is held up$(on_screen)"
}

# copy_ended SECONDS: waits for the copy that runs the check to end (its
# main window gone).
copy_ended() {
    drv wait-gone "$MAIN" "$1"
}

# reg_value KEY NAME: prints a value's data the way `reg query` shows it
# (hex digits for binary data, 0x... for a DWORD); fails when it is absent.
reg_value() {
    local out rc
    out=$("$WINE" reg query "$1" /v "$2" 2>&1)
    rc=$?
    out=${out//$'\r'/}
    printf '$ reg query %q /v %q -> %s\n%s\n' "$1" "$2" "$rc" "$out" >>"$S_LOG"
    [ $rc = 0 ] || return 1
    awk -v lead="    $2    " 'index($0, lead) == 1 {
        data = substr($0, length(lead) + 1)
        sub(/^REG_[A-Z_]+ */, "", data)
        print data
        found = 1
    } END { exit !found }' <<<"$out"
}

# reg_import: merges the .reg text on stdin into the registry, as a user's
# double-click on a .reg file would.
reg_import() {
    local file
    file=$S_DIR/import-$((++S_IMPORTS)).reg
    cat >"$file"
    "$WINE" regedit /s "$(winpath "$file")" >>"$S_LOG" 2>&1
}

# wait_file FILE TEXT SECONDS: waits until the program's .reg file FILE
# (UTF-16) holds the line TEXT and has stopped growing: the registry editor
# writes it while the program goes on.
wait_file() {
    local i size="" last=""
    for ((i = 0; i < $3 * 5; i++)); do
        if [ -s "$1" ] && iconv -f UTF-16 -t UTF-8 "$1" 2>/dev/null | tr -d '\r' | grep -qxF "$2"; then
            size=$(stat -c %s "$1")
            [ "$size" = "$last" ] && return 0
            last=$size
        fi
        sleep 0.2
    done
    return 1
}

# screenshot FILE [WIN]: the main window's picture (or another window's),
# for the developers to look at.
screenshot() {
    drv rect "${2:-$MAIN}" || { S_PROBLEMS+=("no picture of ${2:-the main window}: $DRV_ERR"); return; }
    picture "$1" "$DRV_OUT"
}

# picture FILE "LEFT TOP WIDTH HEIGHT": that part of the screen, as the
# driver's rect prints a window's place.
picture() {
    local x y w h
    mkdir -p "$KV_SHOTS"
    read -r x y w h <<<"$2"
    import -window root -crop "${w}x$h+$x+$y" +repage "$KV_SHOTS/$1" >>"$S_LOG" 2>&1 ||
        S_PROBLEMS+=("no picture $1")
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
    release_session
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
