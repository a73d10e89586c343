#!/usr/bin/env bash
# The scenarios run under Wine, each a function here:
#   scenarios.sh --list   names them in the order run.sh runs them
#   scenarios.sh NAME     runs one and prints "PASS NAME" or "FAIL NAME: why"
# run.sh calls these inside an X display, with its variables set.
set -u
source "$(dirname "$0")/lib.sh"

TITLE="Kelvane 0.9.9.6"
MISSING="Ключ реестра не найден"  # what the program shows for a driver value it cannot read

# The window opens with the program's name and version in its caption. The
# picture is for the developers to look at.
scenario_startup() {
    setup startup demo KelvaneDemo
    start_app
    drv wait-window "$MAIN" 30 || fail "the main window did not open$(on_screen)"
    expect caption "$DRV_OUT" "$TITLE"
    sleep 1
    mkdir -p "$KV_SHOTS"
    import -window root "$KV_SHOTS/main.png" >>"$S_LOG" 2>&1 || echo "no screenshot" >>"$S_LOG"
    verdict
}

# The Adapter Info page names the card: from the driver's keys, and its
# board name from ati.pci.
scenario_adapter_info() {
    setup adapter_info demo KelvaneDemo
    start_app
    wait_main
    drv value "$MAIN" "Chip:" -- value "$MAIN" "Device ID:" -- value "$MAIN" "Card Type:" ||
        fail "cannot read the Adapter Info page: $DRV_ERR"
    local v
    mapfile -t v <<<"$DRV_OUT"
    expect "Chip" "${v[0]:-}" "RADEON 9800 PRO"
    expect "Device ID" "${v[1]:-}" "4E48"
    expect "Card Type" "${v[2]:-}" "R350 [Radeon 9800 Series]"
    verdict
}

# Each tab shows its own page and hides the others': a control of each page
# stands for it.
scenario_tabs() {
    setup tabs demo KelvaneDemo
    start_app
    wait_main
    local pages=("Chip:" "Force Anisotropic Filtering in Direct3D" "Enable OpenGL tab")
    local tab page shown v
    for tab in 1 2 0; do
        drv tab "$MAIN" "$tab" -- state "$MAIN" "${pages[0]}" -- state "$MAIN" "${pages[1]}" -- \
            state "$MAIN" "${pages[2]}" || fail "tab $tab: $DRV_ERR"
        mapfile -t v <<<"$DRV_OUT"
        for page in 0 1 2; do
            shown=hidden
            [ "$page" = "$tab" ] && shown=visible
            v[page + 1]=${v[page + 1]:-}
            expect "after tab $tab \"${pages[page]}\"" "${v[page + 1]%% *}" "$shown"
        done
    done
    verdict
}

# What the window shows can be seen: on no page does a control lie hidden
# beneath another, and once the other pages have been shown and left, the
# empty part of the Adapter Info page has the dialog colour again, not what
# was drawn there before.
scenario_page_painted() {
    setup page_painted demo KelvaneDemo
    start_app
    wait_main
    local tab
    for tab in 0 1 2; do
        drv tab "$MAIN" "$tab" -- covered "$MAIN" ||
            fail "tab $tab: $DRV_ERR, such as $(printf '%s' "$DRV_OUT" | sed -n 2p)"
    done
    drv tab "$MAIN" 0 -- syscolor 15 -- rect "$MAIN" "Card Type:" || fail "$DRV_ERR"
    local face x y w h i colours="" colour=""
    face=$(printf '%s' "$DRV_OUT" | sed -n 2p)
    read -r x y w h <<<"$(printf '%s' "$DRV_OUT" | sed -n 3p)"
    # A strip under the page's last row, where the other pages have controls.
    local crop="${w}x10+$x+$((y + h + 20))"
    for ((i = 0; i < 10; i++)); do
        import -window root "$S_DIR/screen.png" >>"$S_LOG" 2>&1 || fail "no screenshot"
        colours=$(convert "$S_DIR/screen.png" -crop "$crop" +repage -format '%k' info:)
        colour=$(convert "$S_DIR/screen.png" -crop "$crop" +repage -format '#%[hex:p{0,0}]' info:)
        [ "$colours" = 1 ] && [ "$colour" = "$face" ] && break
        sleep 0.5
    done
    if [ "$colours" != 1 ] || [ "$colour" != "$face" ]; then
        fail "the page's empty part at $crop is not all the dialog colour $face: $colours colours, one $colour"
    fi
    verdict
}

# Started from its folder, the program records the folder in its own key.
scenario_install_dir() {
    setup install_dir demo KelvaneDemo
    start_app
    wait_main
    drv close "$MAIN" || fail "$DRV_ERR"
    app_ended 15 || fail "the program did not end when its window was closed"
    local out value
    out=$("$WINE" reg query 'HKLM\SOFTWARE\Tessaly\Kelvane' /v InstallDir 2>>"$S_LOG" | tr -d '\r')
    echo "$out" >>"$S_LOG"
    value=$(printf '%s\n' "$out" | sed -n 's/^ *InstallDir *REG_SZ *//p')
    expect InstallDir "$value" "$(winpath "$S_DIR/app")"
    verdict
}

# At its first paint the program exports the device key beside itself, so
# that Cancel can put it back.
scenario_backup() {
    setup backup demo KelvaneDemo
    start_app
    wait_main
    local file=$S_DIR/app/backup.dat text="" i header=0 value=0
    for ((i = 0; i < 40; i++)); do
        if [ -s "$file" ]; then
            text=$(iconv -f UTF-16 -t UTF-8 "$file" 2>/dev/null | tr -d '\r')
            header=0 value=0
            grep -qiF '[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Services\ati2mtag\Device0]' <<<"$text" && header=1
            grep -qF '"Device Description"="RADEON 9800 PRO"' <<<"$text" && value=1
            [ $header = 1 ] && [ $value = 1 ] && break
        fi
        sleep 0.5
    done
    [ -s "$file" ] || fail "no backup.dat in the program's folder$(on_screen)"
    [ "$(head -c 2 "$file" | od -An -tx1 | tr -d ' ')" = fffe ] || S_PROBLEMS+=("backup.dat is not UTF-16 with a byte order mark")
    [ $header = 1 ] || S_PROBLEMS+=("backup.dat has no ati2mtag\\Device0 key")
    [ $value = 1 ] || S_PROBLEMS+=("backup.dat lacks the device's values")
    verdict
}

# Without ati.pci the program cannot name the card: it says so and, once
# the user has read it, ends; and it does not record a folder it was not
# installed in.
scenario_missing_pci() {
    setup missing_pci demo KelvaneDemo no-pci
    start_app
    drv msgbox 30 || fail "no message box appeared$(on_screen)"
    expect "the message" "$DRV_OUT" "Can't open ati.pci"
    drv answer OK || fail "cannot answer the message box: $DRV_ERR"
    app_ended 15 || fail "the program still runs after the message was answered$(on_screen)"
    expect "the exit code" "$APP_RC" 0
    if "$WINE" reg query 'HKLM\SOFTWARE\Tessaly\Kelvane' /v InstallDir >>"$S_LOG" 2>&1; then
        S_PROBLEMS+=("InstallDir was stored although ati.pci was missing")
    fi
    verdict
}

# The program as shipped, with the real display functions, on a machine
# without the ATI driver: Wine's own adapter has none of the driver's values,
# and the refresh rate grid lists the resolutions that display offers.
scenario_real_exe() {
    setup real_exe base Kelvane
    start_app
    wait_main
    drv value "$MAIN" "Chip:" -- value "$MAIN" "Driver Version:" || fail "cannot read the Adapter Info page: $DRV_ERR"
    local v rows offered extra
    mapfile -t v <<<"$DRV_OUT"
    expect "Chip" "${v[0]:-}" "$MISSING"
    expect "Driver Version" "${v[1]:-}" "$MISSING"
    drv modes || fail "cannot list the display's modes: $DRV_ERR"
    offered=$(printf '%s\n' "$DRV_OUT" | cut -d' ' -f1 | sort -u)
    drv dump "$MAIN" || fail "cannot list the window's controls: $DRV_ERR"
    rows=$(printf '%s\n' "$DRV_OUT" | sed -n 's/^  Static "\([0-9]*x[0-9]*\)" visible .*/\1/p')
    [ -n "$rows" ] || S_PROBLEMS+=("the refresh rate grid lists no resolution")
    extra=$(grep -vxF -f <(printf '%s\n' "$offered") <<<"$rows" | paste -sd' ' -)
    [ -z "$extra" ] ||
        S_PROBLEMS+=("the grid lists $extra, which the display does not offer (it offers $(paste -sd' ' - <<<"$offered"))")
    verdict
}

if [ "${1:-}" = --list ]; then
    echo startup adapter_info tabs page_painted install_dir backup missing_pci real_exe
elif declare -F "scenario_${1:-}" >/dev/null; then
    "scenario_$1"
else
    echo "usage: $0 --list | NAME" >&2
    exit 2
fi
