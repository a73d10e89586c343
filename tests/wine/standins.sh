#!/usr/bin/env bash
# The stand-ins for system tools under Wine: makecab.exe, which compresses
# the diagnostic report in place as the system's cabinet tool does, and
# recorder.exe, which notes how it was started in place of the help viewer.
#
#   standins.sh           runs every check
#   standins.sh --list    names them
#   standins.sh NAME      runs one
#
# Each check prints "PASS name" or "FAIL name: why" and works in a copy of
# the base prefix under /tmp/standins-NAME.*, which goes when it passes and
# stays, with its log, when it fails. KV_BIN names the folder with
# makecab.exe and recorder.exe (default build/win32); STANDINS_KEEP=1 keeps
# the folders of passed checks too. No display is needed.
set -u
# shellcheck source=scripts/wine-env.sh
source "$(dirname "$0")/../../scripts/wine-env.sh"
export LC_ALL=C.UTF-8

BIN=$(realpath -m "${KV_BIN:-$ROOT/build/win32}")
CHECKS=(standin_makecab_small standin_makecab_large standin_makecab_blank_folder standin_makecab_one_argument
        standin_makecab_failures standin_hh_recorder)

C_NAME=""
C_DIR=""
C_LOG=/dev/null
C_PROBLEMS=()
RUN_RC=""
RUN_ERR=""

# begin NAME: a fresh copy of the base prefix with makecab.exe where
# Windows keeps its own tools.
begin() {
    C_NAME=$1
    C_PROBLEMS=()
    C_DIR=$(mktemp -d "/tmp/standins-$1.XXXXXX")
    C_LOG=$C_DIR/log
    : >"$C_LOG"
    cp -a "$WINE_BASE" "$C_DIR/prefix"
    export WINEPREFIX=$C_DIR/prefix
    cp "$BIN/makecab.exe" "$WINEPREFIX/drive_c/windows/system32/makecab.exe"
}

problem() { C_PROBLEMS+=("$*"); }

# The Unix name of a file on drive C: of the check's prefix.
cpath() {
    local p=${1#C:\\}
    echo "$WINEPREFIX/drive_c/${p//\\//}"
}

# run PROGRAM ARGS...: runs a Windows program from drive C:, its exit code
# in RUN_RC and its complaint in RUN_ERR.
run() {
    local err=$C_DIR/run.err
    (cd "$WINEPREFIX/drive_c" && "$WINE" "$@") >>"$C_LOG" 2>"$err"
    RUN_RC=$?
    RUN_ERR=$(tr -d '\r' <"$err" | tail -n 1)
    {
        printf '$ wine'
        printf ' %q' "$@"
        printf ' -> %s\n' "$RUN_RC"
        cat "$err"
    } >>"$C_LOG"
}

# batch NAME LINES...: runs the lines as a batch file C:\NAME.bat through
# the command interpreter, as the report's batch file runs.
batch() {
    local file
    file=$(cpath "C:\\$1.bat")
    shift
    printf '%s\r\n' "@echo off" "$@" >"$file"
    run cmd /c "$(basename "$file")"
}

# cabinet_holds WHAT CABINET NAME ORIGINAL: CABINET is a cabinet holding
# exactly one file, NAME, whose bytes are ORIGINAL's.
cabinet_holds() {
    local what=$1 cab=$2 name=$3 original=$4 out=$C_DIR/extracted
    if [ "$(head -c 4 "$cab" 2>/dev/null)" != MSCF ]; then
        problem "$what is no cabinet (it starts with \"$(head -c 4 "$cab" 2>/dev/null | od -An -c | tr -s ' ')\")"
        return
    fi
    rm -rf "$out"
    mkdir -p "$out"
    if ! gcab -x -C "$out" "$cab" >>"$C_LOG" 2>&1; then
        problem "gcab cannot extract $what"
        return
    fi
    local files
    files=$(cd "$out" && find . -type f | sed 's|^\./||' | sort | paste -sd' ' -)
    if [ "$files" != "$name" ]; then
        problem "$what holds \"$files\", expected \"$name\""
    elif ! cmp -s "$out/$name" "$original"; then
        problem "$name from $what differs from the original ($(stat -c %s "$out/$name") bytes, expected $(stat -c %s "$original"))"
    fi
    echo "$what: $(stat -c %s "$original") bytes in, $(stat -c %s "$cab") out, $(compression "$cab")" >>"$C_LOG"
}

# The compression of a cabinet's first folder, from its header (36 bytes
# with no reserved space, then the folder's offset and block count).
compression() {
    case $(od -An -tu2 -j 42 -N 2 "$1" | tr -d ' ') in
        0) echo none ;;
        1) echo MSZIP ;;
        *) echo "type $(od -An -tu2 -j 42 -N 2 "$1" | tr -d ' ')" ;;
    esac
}

# leftovers FOLDER: names the files a run left in a folder beside the ones
# it should hold (given after the folder), and any temporary file of the
# cabinet library's in the prefix.
leftovers() {
    local folder=$1 f extra=""
    shift
    for f in "$folder"/* "$WINEPREFIX"/drive_c/users/*/AppData/Local/Temp/kvc* "$WINEPREFIX"/drive_c/windows/temp/kvc*; do
        [ -e "$f" ] || continue
        printf '%s\n' "$@" | grep -qxF "$(basename "$f")" && [ "$(dirname "$f")" = "$folder" ] && continue
        extra+=" ${f#"$WINEPREFIX/drive_c/"}"
    done
    [ -z "$extra" ] || problem "files left behind:$extra"
}

end_check() {
    "$WINESERVER" -k 2>/dev/null
    if [ ${#C_PROBLEMS[@]} -gt 0 ]; then
        local joined
        joined=$(printf '%s; ' "${C_PROBLEMS[@]}")
        echo "FAIL $C_NAME: ${joined%; } (see $C_DIR)"
        printf 'FAIL: %s\n' "${C_PROBLEMS[@]}" >>"$C_LOG"
        return 1
    fi
    echo "PASS $C_NAME"
    [ -n "${STANDINS_KEEP:-}" ] || rm -rf "$C_DIR"
}

# A report's text with Windows line ends, some of it in a Windows code page.
report_text() {
    awk -v lines="$1" 'BEGIN {
        srand(7)
        for (i = 1; i <= lines; i++) {
            hex = ""
            for (j = 0; j < 12; j++) hex = hex sprintf("%02x,", int(rand() * 256))
            printf "%06d \"DALRestrictedModesBCD\"=hex:%s\t\304\340\355\355\373\345 %d\r\n", i, hex, int(rand() * 100000)
        }
    }'
}

# compress_in_place WINDOWS-PATH CONTENT-FILE: puts the content there and
# compresses it onto itself, as the report's batch file does.
compress_in_place() {
    local win=$1 file
    file=$(cpath "$win")
    mkdir -p "$(dirname "$file")"
    cp "$2" "$file"
    run makecab.exe "$win" "$win"
    [ "$RUN_RC" = 0 ] || problem "makecab $win exited with $RUN_RC: $RUN_ERR"
}

# A few lines compressed onto themselves hold them again, under the file's
# own name, and nothing else is left beside them.
standin_makecab_small() {
    begin standin_makecab_small
    printf 'Kelvane diagnostic report\r\n\r\nChip: RADEON 9800 PRO\r\n' >"$C_DIR/small.rpt"
    compress_in_place 'C:\report\small.rpt' "$C_DIR/small.rpt"
    cabinet_holds 'C:\report\small.rpt' "$(cpath 'C:\report\small.rpt')" small.rpt "$C_DIR/small.rpt"
    leftovers "$(cpath 'C:\report')" small.rpt
    end_check
}

# A report of some 3 MB spans many of the cabinet's blocks and comes back
# byte for byte, compressed.
standin_makecab_large() {
    begin standin_makecab_large
    report_text 40000 >"$C_DIR/large.rpt"
    compress_in_place 'C:\report\Kelvane.rpt' "$C_DIR/large.rpt"
    local cab
    cab=$(cpath 'C:\report\Kelvane.rpt')
    cabinet_holds 'C:\report\Kelvane.rpt' "$cab" Kelvane.rpt "$C_DIR/large.rpt"
    [ "$(stat -c %s "$cab")" -lt "$(stat -c %s "$C_DIR/large.rpt")" ] || problem "the cabinet is no smaller than the report"
    leftovers "$(cpath 'C:\report')" Kelvane.rpt
    end_check
}

# The report's batch file line itself, from the command interpreter, on a
# folder with a blank in its name.
standin_makecab_blank_folder() {
    begin standin_makecab_blank_folder
    local folder
    folder=$(cpath 'C:\some dir')
    mkdir -p "$folder"
    report_text 50 >"$C_DIR/Kelvane.rpt"
    cp "$C_DIR/Kelvane.rpt" "$folder/Kelvane.rpt"
    batch report 'cd /d "C:\some dir"' 'makecab "C:\some dir\Kelvane.rpt" "C:\some dir\Kelvane.rpt"' \
        'if errorlevel 1 exit 1'
    [ "$RUN_RC" = 0 ] || problem "the batch file exited with $RUN_RC: $RUN_ERR"
    cabinet_holds 'C:\some dir\Kelvane.rpt' "$folder/Kelvane.rpt" Kelvane.rpt "$C_DIR/Kelvane.rpt"
    leftovers "$folder" Kelvane.rpt
    end_check
}

# Without a destination the cabinet goes to the current folder, named like
# the source with its last character replaced by '_'.
standin_makecab_one_argument() {
    begin standin_makecab_one_argument
    mkdir -p "$(cpath 'C:\in')" "$(cpath 'C:\out')"
    printf 'one line\r\n' >"$(cpath 'C:\in\note.txt')"
    cp "$(cpath 'C:\in\note.txt')" "$C_DIR/note.txt"
    batch one 'cd /d C:\out' 'makecab C:\in\note.txt' 'if errorlevel 1 exit 1'
    [ "$RUN_RC" = 0 ] || problem "makecab exited with $RUN_RC: $RUN_ERR"
    cabinet_holds 'C:\out\note.tx_' "$(cpath 'C:\out\note.tx_')" note.txt "$C_DIR/note.txt"
    leftovers "$(cpath 'C:\out')" note.tx_
    cmp -s "$(cpath 'C:\in\note.txt')" "$C_DIR/note.txt" || problem "the source changed"
    end_check
}

# A missing source is an error and makes no destination; a destination that
# cannot be written is an error and leaves the source as it was.
standin_makecab_failures() {
    begin standin_makecab_failures
    local folder
    folder=$(cpath 'C:\report')
    mkdir -p "$folder"
    run makecab.exe 'C:\report\missing.rpt' 'C:\report\missing.rpt'
    [ "$RUN_RC" != 0 ] || problem "a missing source exited with 0"
    [[ $RUN_ERR == makecab:* ]] || problem "a missing source printed no complaint: \"$RUN_ERR\""
    [ ! -e "$folder/missing.rpt" ] || problem "a missing source made a destination"

    printf 'Kelvane diagnostic report\r\n' >"$folder/kept.rpt"
    cp "$folder/kept.rpt" "$C_DIR/kept.rpt"
    run makecab.exe 'C:\report\kept.rpt' 'C:\no such folder\kept.rpt'
    [ "$RUN_RC" != 0 ] || problem "a destination in a missing folder exited with 0"
    [[ $RUN_ERR == makecab:* ]] || problem "a destination in a missing folder printed no complaint: \"$RUN_ERR\""
    cmp -s "$folder/kept.rpt" "$C_DIR/kept.rpt" || problem "a failed run changed the source"

    run makecab.exe
    [ "$RUN_RC" = 2 ] || problem "no arguments exited with $RUN_RC, expected 2"
    leftovers "$folder" kept.rpt
    end_check
}

# Copied over the help viewer, the recorder notes each start, as the help
# button makes it, on a line of its own: the command line and the folder.
standin_hh_recorder() {
    begin standin_hh_recorder
    local help='C:\Program Files\Kelvane\KelvaneEn.chm' log line
    cp "$BIN/recorder.exe" "$WINEPREFIX/drive_c/windows/hh.exe"
    mkdir -p "$(cpath 'C:\some dir')"
    log=$WINEPREFIX/drive_c/windows/hh.exe.log
    batch open_help 'cd /d "C:\some dir"' "hh.exe \"$help\"" 'if errorlevel 1 exit 1'
    [ "$RUN_RC" = 0 ] || problem "hh.exe from a batch file exited with $RUN_RC: $RUN_ERR"
    run hh.exe "$help"
    [ "$RUN_RC" = 0 ] || problem "hh.exe exited with $RUN_RC: $RUN_ERR"
    if [ ! -f "$log" ]; then
        problem "no C:\\windows\\hh.exe.log"
    else
        cat "$log" >>"$C_LOG"
        local lines=()
        mapfile -t lines < <(tr -d '\r' <"$log")
        [ ${#lines[@]} = 2 ] || problem "hh.exe.log has ${#lines[@]} lines, expected 2"
        for line in "${lines[@]}"; do
            [[ ${line%%$'\t'*} == *hh* ]] || problem "the command line \"${line%%$'\t'*}\" does not name hh"
            [[ ${line%%$'\t'*} == *" \"$help\"" ]] ||
                problem "the command line \"${line%%$'\t'*}\" does not end in the quoted help file"
        done
        local first=${lines[0]:-} second=${lines[1]:-}
        [[ $first == *$'\t'* && ${first#*$'\t'} == 'C:\some dir' ]] ||
            problem "the first start's line \"$first\" does not end in a tab and C:\\some dir"
        [[ $second == *$'\t'* && ${second#*$'\t'} == "C:\\" ]] ||
            problem "the second start's line \"$second\" does not end in a tab and C:\\"
    fi
    end_check
}

if [ "${1:-}" = --list ]; then
    echo "${CHECKS[@]}"
    exit 0
fi
missing=""
for f in "$BIN/makecab.exe" "$BIN/recorder.exe"; do
    [ -f "$f" ] || missing+=" $f"
done
if [ -n "$missing" ]; then
    echo "FAIL ${1:-standins}: missing$missing"
    exit 1
fi
[ -f "$WINE_BASE/.kelvane-stamp" ] || bash "$ROOT/scripts/wine-prefix.sh" || exit 1
if [ $# = 0 ]; then
    failed=0
    for name in "${CHECKS[@]}"; do
        "$name" || failed=1
    done
    exit $failed
elif [[ " ${CHECKS[*]} " == *" $1 "* ]]; then
    "$1"
else
    echo "usage: $0 [--list | NAME]" >&2
    exit 2
fi
