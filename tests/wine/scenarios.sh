#!/usr/bin/env bash
# The scenarios run under Wine, each a function here:
#   scenarios.sh --list   names them in the order run.sh runs them
#   scenarios.sh NAME     runs one and prints "PASS NAME" or "FAIL NAME: why"
# run.sh calls these inside an X display, with its variables set.
set -u
source "$(dirname "$0")/lib.sh"

TITLE="Kelvane 0.9.9.6"
MISSING="Registry key not found"  # what the program shows for a driver value it cannot read
DEVICE='HKLM\System\CurrentControlSet\Services\ati2mtag\Device0'
RUNONCE='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\RunOnce'
CHECK="Kelvane - Checking Video Modes..."
# 640x480 at 60, 70 and 72 Hz, as the driver's list holds them.
BELOW_75=064004800000006006400480000000700640048000000072
# The demo machine's CRT, as its EDID declares it.
DEMO_MONITOR="KELVANE CRT19: 30-96 kHz, 50-160 Hz, 200 MHz"

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
    # A value over several lines reads with "\n" where the label breaks.
    drv value "$MAIN" "Monitor:" || fail "no Monitor row: $DRV_ERR"
    expect "Monitor" "${DRV_OUT//\\n/ }" "$DEMO_MONITOR"
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
# beneath another or cut its caption off, and once the other pages have been
# shown and left, the empty part of the Adapter Info page has the dialog
# colour again, not what was drawn there before.
scenario_page_painted() {
    setup page_painted demo KelvaneDemo
    start_app
    wait_main
    local tab
    for tab in 0 1 2; do
        drv tab "$MAIN" "$tab" -- covered "$MAIN" ||
            fail "tab $tab: $DRV_ERR, such as $(printf '%s' "$DRV_OUT" | sed -n 2p)"
        drv clipped "$MAIN" ||
            S_PROBLEMS+=("tab $tab: $DRV_ERR: $(printf '%s' "$DRV_OUT" | paste -sd';' -)")
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
    # The version is stamped at the first paint, after the window opened.
    local i
    for ((i = 0; i < 50; i++)); do
        reg_value 'HKLM\SOFTWARE\Tessaly\Kelvane' Version >/dev/null && break
        sleep 0.2
    done
    drv close "$MAIN" || fail "$DRV_ERR"
    app_ended 15 || fail "the program did not end when its window was closed"
    local out value
    out=$("$WINE" reg query 'HKLM\SOFTWARE\Tessaly\Kelvane' /v InstallDir 2>>"$S_LOG" | tr -d '\r')
    echo "$out" >>"$S_LOG"
    value=$(printf '%s\n' "$out" | sed -n 's/^ *InstallDir *REG_SZ *//p')
    expect InstallDir "$value" "$(winpath "$S_DIR/app")"
    # Wine keeps a text value stored with its terminating zero as a string,
    # one without it as raw bytes: "InstallDir"=hex(1):...
    timeout 20 "$WINESERVER" -w
    local name stored
    for name in InstallDir Version; do
        stored=$(awk -v want="\"$name\"=" '/^\[/ { mine = index(tolower($0), "[software\\\\tessaly\\\\kelvane]") == 1 }
            mine && index($0, want) == 1' "$WINEPREFIX/system.reg")
        [[ $stored == "\"$name\"=\""* ]] || S_PROBLEMS+=("$name is kept as ${stored:-nothing}, not as a string")
    done
    verdict
}

# At its first paint the program exports the device key beside its old
# backup.dat; once the export is whole (Cancel waits for it) it takes the
# old file's place, and Cancel can put it back.
scenario_backup() {
    setup backup demo KelvaneDemo
    start_app
    wait_main
    local file=$S_DIR/app/backup.dat text="" header=0 value=0
    wait_file "$file.new" '"Device Description"="RADEON 9800 PRO"' 20 ||
        fail "no backup.dat.new with the device's values$(on_screen)"
    drv click "$MAIN" Cancel || fail "cannot click Cancel: $DRV_ERR"
    app_ended 15 || fail "the program did not end at Cancel$(on_screen)"
    [ -s "$file" ] || fail "no backup.dat in the program's folder after Cancel"
    [ ! -e "$file.new" ] || S_PROBLEMS+=("backup.dat.new is still there")
    text=$(iconv -f UTF-16 -t UTF-8 "$file" 2>/dev/null | tr -d '\r')
    grep -qiF '[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Services\ati2mtag\Device0]' <<<"$text" && header=1
    grep -qF '"Device Description"="RADEON 9800 PRO"' <<<"$text" && value=1
    [ "$(head -c 2 "$file" | od -An -tx1 | tr -d ' ')" = fffe ] || S_PROBLEMS+=("backup.dat is not UTF-16 with a byte order mark")
    [ $header = 1 ] || S_PROBLEMS+=("backup.dat has no ati2mtag\\Device0 key")
    [ $value = 1 ] || S_PROBLEMS+=("backup.dat lacks the device's values")
    verdict
}

# Without ati.pci the program cannot name the card: it says so, and where
# it looked, and once the user has read it, ends; and it does not record a
# folder it was not installed in.
scenario_missing_pci() {
    setup missing_pci demo KelvaneDemo no-pci
    start_app
    drv msgbox 30 || fail "no message box appeared$(on_screen)"
    expect "the message" "$DRV_OUT" "Can't open ati.pci\\n\\nKelvane looked for it in the folder $(winpath "$S_DIR/app")."
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
    # Wine's one monitor has no EDID: nothing is judged, as before.
    drv value "$MAIN" "Monitor:" || fail "no Monitor row: $DRV_ERR"
    expect "Monitor" "${DRV_OUT//\\n/ }" "Not known: Windows keeps no EDID for it"
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

# The shipped program's grid comes from the modes the display offers: a row
# for each resolution of the first colour depth, in order, its box listing
# that resolution's rates from the lowest and showing the lowest, since
# nothing is restricted yet. A rate of 0 Hz (Xvfb's own mode) is no rate.
scenario_real_grid() {
    setup real_grid base Kelvane
    start_app
    wait_main
    drv modes || fail "cannot list the display's modes: $DRV_ERR"
    local first resolutions rows res rates v
    first=$(awk 'NR == 1 { depth = $2 } $2 != depth { exit } { print }' <<<"$DRV_OUT")
    resolutions=$(cut -d' ' -f1 <<<"$first" | sort -t x -k1,1n -k2,2n -u)
    drv dump "$MAIN" || fail "cannot list the window's controls: $DRV_ERR"
    rows=$(sed -n 's/^  Static "\([0-9]*x[0-9]*\)" visible .*/\1/p' <<<"$DRV_OUT")
    expect "the grid's rows" "$(paste -sd' ' <<<"$rows")" "$(paste -sd' ' <<<"$resolutions")"
    for res in $resolutions; do
        rates=$(awk -v res="$res" '$1 == res && $3 > 0 { print $3 }' <<<"$first" | sort -nu)
        if ! drv items "$MAIN" "beside:$res" -- text "$MAIN" "beside:$res"; then
            S_PROBLEMS+=("no rates beside $res: $DRV_ERR")
            continue
        fi
        mapfile -t v <<<"$DRV_OUT"
        expect "the rates offered for $res" "${v[*]:0:${#v[@]}-1}" "$(paste -sd' ' <<<"$rates")"
        expect "the rate shown for $res" "${v[-1]}" "$(head -n 1 <<<"$rates")"
    done
    verdict
}

# What the driver's keys hold when the program starts is what it shows: the
# lowest rate a restricted list leaves (the simulated card took the list at
# boot, so no restore is offered) and each option box's three states, an
# inverted value among them. The pictures of the two option pages are for
# the developers to look at.
scenario_demo_state() {
    setup demo_state demo KelvaneDemo
    reg_import <<'REG'
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\ati2mtag\Device0]
"DALRestrictedModesBCD"=hex:06,40,04,80,00,00,00,60,06,40,04,80,00,00,00,70,06,40,04,80,00,00,00,72
"DisableTiling"=dword:00000001
"DisableDMACopy"=dword:00000000
"OvlTheaterMode"=hex:01
"DisableUSWC"=dword:00000002

[HKEY_LOCAL_MACHINE\SOFTWARE\ATI Technologies\Desktop\{6C5A1F3E-2B8D-4E7A-9F10-3D4C5B6A7E80}]
"Rotation"=dword:00000001
REG
    reg_value "$DEVICE" DALRestrictedModesBCD >/dev/null || fail "the restricted list could not be seeded"
    start_app
    wait_main
    if drv msgbox 0; then S_PROBLEMS+=("a message box says \"$DRV_OUT\""); fi
    drv text "$MAIN" beside:640x480 || fail "no 640x480 row: $DRV_ERR"
    expect "the rate shown for 640x480" "$DRV_OUT" 75

    local pair box want
    for pair in "Enable Primary Tiling=unchecked" "Enable DMA copy=checked" "Enable Theater Mode Support=checked" \
        "UnCached Write Combining=grayed" "Enable Rotation tab=checked"; do
        box=${pair%=*}
        want=${pair#*=}
        if drv check "$MAIN" "$box"; then
            expect "\"$box\"" "$DRV_OUT" "$want"
        else
            S_PROBLEMS+=("no box \"$box\": $DRV_ERR")
        fi
    done

    drv tab "$MAIN" 1 || fail "$DRV_ERR"
    sleep 0.5
    screenshot driver-settings.png
    drv tab "$MAIN" 2 || fail "$DRV_ERR"
    sleep 0.5
    screenshot desktop-settings.png
    verdict
}

# One change the whole way: a lower limit for 640x480, OK, the restart, and
# the mode check after it left unanswered until it falls back to the
# settings from before.
scenario_road_of_one_change() {
    setup road_of_one_change demo KelvaneDemo
    start_app
    wait_main
    local app=$S_DIR/app text command list
    wait_file "$app/backup.dat.new" '"Device Description"="RADEON 9800 PRO"' 15 ||
        fail "no backup.dat with the device's values$(on_screen)"
    drv type "$MAIN" beside:640x480 75 -- click "$MAIN" OK || fail "cannot set 75 Hz and click OK: $DRV_ERR"
    drv msgbox 20 -- msgbox-caption || fail "no message box after OK$(on_screen)"
    expect "the question after OK" "$DRV_OUT" $'The changes take effect only when Windows restarts. Restart now?\nRestart needed'

    # While the question is open, everything is in place for the restart.
    list=$(reg_value "$DEVICE" DALRestrictedModesBCD) || list="(none)"
    expect "the restricted list" "$list" "$BELOW_75"
    if [ -s "$app/lastknowngood.dat" ]; then
        text=$(iconv -f UTF-16 -t UTF-8 "$app/lastknowngood.dat" | tr -d '\r')
        grep -qxF '"Device Description"="RADEON 9800 PRO"' <<<"$text" ||
            S_PROBLEMS+=("lastknowngood.dat lacks the device's values")
        ! grep -q DALRestrictedModesBCD <<<"$text" ||
            S_PROBLEMS+=("lastknowngood.dat holds the list written at OK, not the key from before")
    else
        S_PROBLEMS+=("no lastknowngood.dat")
    fi
    command=$(reg_value "$RUNONCE" "Kelvane - test resolution") || fail "no one-shot start under RunOnce"
    expect "the one-shot start" "$command" "$(winpath "$app")\\Kelvane.exe /CHECK"

    # Windows runs and deletes a RunOnce entry at the next logon. Wine's
    # restart would run it at once, in the session it is ending, so the
    # entry is taken now and run once the restart is over.
    "$WINE" reg delete "$RUNONCE" /v "Kelvane - test resolution" /f >>"$S_LOG" 2>&1
    drv answer Yes || fail "cannot answer the question: $DRV_ERR"
    app_ended 15 || fail "the program still runs after the restart$(on_screen)"
    # The restart is over once Wine's session has ended; the next start
    # boots a new one.
    timeout 20 "$WINESERVER" -w || fail "Wine's session did not end after the restart"

    start_command "$command"
    check_handed_over
    drv text "$MAIN" beside:640x480 || fail "no 640x480 row behind the mode check: $DRV_ERR"
    expect "the rate shown for 640x480 after the restart" "$DRV_OUT" 75
    drv wait-text "$CHECK" Static#0 'The lowest refresh rate is now selected. If you can read this message, click "OK".' 20 ||
        fail "the mode check did not fall back to the lowest rate: $DRV_ERR"
    copy_ended 25 || fail "the program still runs after the fallback to the backup$(on_screen)"
    timeout 20 "$WINESERVER" -w || fail "Wine's session did not end after the second restart"
    if list=$(reg_value "$DEVICE" DALRestrictedModesBCD); then
        S_PROBLEMS+=("the backup is back but the restricted list $list stayed")
    fi
    verdict
}

# Cancel puts the device key back as it was at the start, even where it was
# changed behind the program's back: a value changed returns, a list added
# goes.
scenario_cancel_restores() {
    setup cancel_restores demo KelvaneDemo
    start_app
    wait_main
    wait_file "$S_DIR/app/backup.dat.new" '"PruningMode"=dword:00000001' 15 ||
        fail "no backup.dat with the device's values$(on_screen)"
    reg_import <<'REG'
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\ati2mtag\Device0]
"PruningMode"=dword:00000000
"DALRestrictedModesBCD"=hex:06,40,04,80,00,00,00,60
REG
    expect "PruningMode changed behind the program" "$(reg_value "$DEVICE" PruningMode)" 0x0
    drv click "$MAIN" Cancel || fail "cannot click Cancel: $DRV_ERR"
    app_ended 15 || fail "the program did not end at Cancel$(on_screen)"
    # The registry editor the program started may still be at work.
    local i pruning list
    for ((i = 0; i < 20; i++)); do
        pruning=$(reg_value "$DEVICE" PruningMode)
        list=$(reg_value "$DEVICE" DALRestrictedModesBCD) || list=""
        [ "$pruning" = 0x1 ] && [ -z "$list" ] && break
        sleep 0.5
    done
    expect PruningMode "$pruning" 0x1
    [ -z "$list" ] || S_PROBLEMS+=("the list $list added after the start stayed")
    verdict
}

# One change applied with OK, its restart declined: 640x480 at 75 Hz. The
# one-shot check it leaves stays pending, and no restart comes until the
# scenario's own (release_session).
apply_change_no_restart() {
    hold_session
    start_app
    wait_main
    drv type "$MAIN" beside:640x480 75 -- click "$MAIN" OK || fail "cannot set 75 Hz and click OK: $DRV_ERR"
    drv msgbox 30 || fail "no question after OK$(on_screen)"
    expect "the question after OK" "$DRV_OUT" "The changes take effect only when Windows restarts. Restart now?"
    drv answer No || fail "cannot answer the question: $DRV_ERR"
    app_ended 15 || fail "the program did not end after OK$(on_screen)"
    reg_value "$RUNONCE" "Kelvane - test resolution" >/dev/null || fail "OK left no one-shot check"
}

# Restore takes a change back for good: the one-shot check the change left
# goes with it, so the restart after Restore runs no check that could fall
# back to the change, and the change stays undone.
scenario_restore_then_restart() {
    setup restore_then_restart demo KelvaneDemo
    apply_change_no_restart
    start_app
    wait_main
    drv menu "$MAIN" RestoreRegistry || fail "cannot choose Restore Registry: $DRV_ERR"
    drv msgbox 60 -- msgbox-caption || fail "no question after Restore$(on_screen)"
    expect "the question after Restore" "$DRV_OUT" $'Registry restored from backup. Restart now?\nRestart Needed'
    local list
    if reg_value "$RUNONCE" "Kelvane - test resolution" >/dev/null; then
        S_PROBLEMS+=("the one-shot check is still pending after Restore")
    fi
    if list=$(reg_value "$DEVICE" DALRestrictedModesBCD); then S_PROBLEMS+=("the list $list stayed after Restore"); fi
    drv answer Yes || fail "cannot answer the question: $DRV_ERR"
    app_ended 15 || fail "the program still runs after the restart$(on_screen)"
    # Wine's restart runs what RunOnce holds in the session it ends.
    release_session
    timeout 60 "$WINESERVER" -w || fail "Wine's session did not end after the restart"
    if list=$(reg_value "$DEVICE" DALRestrictedModesBCD); then
        S_PROBLEMS+=("after the restart the change is back: the list $list")
    fi
    verdict
}

# One Kelvane at a time: a second start brings the first window forward
# and ends at once, without a window of its own; the first goes on.
scenario_two_starts() {
    setup two_starts demo KelvaneDemo
    start_app
    wait_main
    local first=$APP_PID mains
    start_app
    app_ended 20 || fail "the second start did not end$(on_screen)"
    expect "the second start's exit code" "$APP_RC" 0
    APP_PID=$first
    kill -0 "$first" 2>/dev/null || fail "the first program ended"
    drv windows || fail "$DRV_ERR"
    mains=$(grep -c ' TForm1 ' <<<"$DRV_OUT")
    expect "main windows" "$mains" 1
    drv close "$MAIN" || fail "$DRV_ERR"
    app_ended 15 || fail "the first program did not end when its window was closed"
    verdict
}

# The check after the restart cannot be dismissed: its close box and the
# main window's leave both open, and the count-down goes on to the fall
# back to the lowest rate. Answered, the program can be closed.
scenario_close_mode_check() {
    setup close_mode_check demo KelvaneDemo
    apply_change_no_restart
    local command
    command=$(reg_value "$RUNONCE" "Kelvane - test resolution")
    "$WINE" reg delete "$RUNONCE" /v "Kelvane - test resolution" /f >>"$S_LOG" 2>&1
    start_command "$command"
    check_handed_over
    drv close "$CHECK" -- close "$MAIN" -- sleep 1000 -- exists "$CHECK" -- exists "$MAIN" ||
        fail "closing the windows closed one: $DRV_ERR"
    drv wait-text "$CHECK" Static#0 'The lowest refresh rate is now selected. If you can read this message, click "OK".' 25 ||
        fail "the count-down did not go on: $DRV_ERR"
    drv click "$CHECK" OK -- wait-gone "$CHECK" 10 || fail "the answered check did not close: $DRV_ERR"
    drv close "$MAIN" || fail "$DRV_ERR"
    copy_ended 15 || fail "the program did not end once the check was answered$(on_screen)"
    verdict
}

# Windows deletes a one-shot entry before it runs it: the check writes its
# entry again as it begins. A copy that ends during the count-down (a crash,
# the power switch) leaves its check to the next logon, which, unanswered,
# brings back the settings from before the change. Saved under another name,
# as a browser saves a download, the program's entry names that name.
scenario_check_cut_short() {
    setup check_cut_short demo KelvaneDemo
    local app=$S_DIR/app command list
    mv "$app/Kelvane.exe" "$app/Kelvane-0.9.9.6.exe"
    hold_session
    (cd "$app" && exec "$WINE" Kelvane-0.9.9.6.exe) >>"$S_LOG" 2>&1 &
    APP_PID=$!
    wait_main
    drv type "$MAIN" beside:640x480 75 -- click "$MAIN" OK || fail "cannot set 75 Hz and click OK: $DRV_ERR"
    drv msgbox 30 || fail "no question after OK$(on_screen)"
    drv answer No || fail "cannot answer the question: $DRV_ERR"
    app_ended 15 || fail "the program did not end after OK$(on_screen)"
    command=$(reg_value "$RUNONCE" "Kelvane - test resolution") || fail "OK left no one-shot check"
    expect "the renamed program's one-shot start" "$command" "$(winpath "$app")\\Kelvane-0.9.9.6.exe /CHECK"
    list=$(reg_value "$DEVICE" DALRestrictedModesBCD) || fail "OK wrote no list"

    # The logon takes the entry and runs it; the copy is ended during its
    # count-down, as a crash ends it.
    "$WINE" reg delete "$RUNONCE" /v "Kelvane - test resolution" /f >>"$S_LOG" 2>&1
    start_command "$command"
    check_handed_over
    drv wait-text "$CHECK" Static#1 "The lowest refresh rate will be selected automatically in 12 seconds" 10 ||
        fail "the count-down does not run: $DRV_ERR"
    pkill -9 -f 'Kelvane-0\.9\.9\.6\.exe' || fail "no copy to end"
    release_session
    timeout 20 "$WINESERVER" -w || fail "Wine's session did not end after the copy was ended"
    grep -qF '"Kelvane - test resolution"="Z:' "$WINEPREFIX/system.reg" ||
        fail "the check ended without its entry"

    # The next logon: Wine's next session runs what RunOnce holds, as
    # Windows' logon does. The check is there again, and left unanswered it
    # puts the settings from before the change back and restarts.
    drv wait-window "$CHECK" 30 || fail "the next logon ran no check$(on_screen)"
    drv wait-text "$CHECK" Static#0 'The lowest refresh rate is now selected. If you can read this message, click "OK".' 20 ||
        fail "the check did not fall back to the lowest rate: $DRV_ERR"
    copy_ended 25 || fail "the program still runs after the fallback to the backup$(on_screen)"
    timeout 20 "$WINESERVER" -w || fail "Wine's session did not end after the fallback's restart"
    if grep -qF '"Kelvane - test resolution"=' "$WINEPREFIX/system.reg"; then
        S_PROBLEMS+=("the check's entry stayed after its fallback")
    fi
    if list=$(reg_value "$DEVICE" DALRestrictedModesBCD); then
        S_PROBLEMS+=("the settings from before the change are not back: the list $list stayed")
    fi
    verdict
}

# After a restart the check of a change comes first, whatever the driver's
# key holds. A list the card did not take (it ignores a list stored without a
# type) makes an ordinary start ask the restore question; a /CHECK start asks
# nothing, and no message box comes before the count-down.
scenario_check_first() {
    setup check_first demo KelvaneDemo
    apply_change_no_restart
    reg_import <<'REG'
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\ati2mtag\Device0]
"DALRestrictedModesBCD"=hex(0):06,40,04,80,00,00,00,60
REG
    start_app
    drv msgbox 30 || fail "an ordinary start asked no restore question$(on_screen)"
    expect "the ordinary start's question" "${DRV_OUT:0:49}" "A refresh rate that should be disabled is in use."
    drv answer No -- wait-window "$MAIN" 30 -- close "$MAIN" || fail "$DRV_ERR"
    app_ended 15 || fail "the ordinary start did not end"
    start_command "$(winpath "$S_DIR/app")\\Kelvane.exe /CHECK"
    check_handed_over
    if drv msgbox 0; then S_PROBLEMS+=("a message box came with the check: \"$DRV_OUT\""); fi
    drv wait-text "$CHECK" Static#1 "The lowest refresh rate will be selected automatically in 13 seconds" 10 ||
        S_PROBLEMS+=("the count-down does not run: $DRV_ERR")
    drv click "$CHECK" OK -- wait-gone "$CHECK" 10 || fail "$DRV_ERR"
    if drv msgbox 1; then S_PROBLEMS+=("a message box after the answer: \"$DRV_OUT\""); fi
    drv close "$MAIN" || fail "$DRV_ERR"
    copy_ended 15 || fail "the program did not end$(on_screen)"
    verdict
}

# set_dpi DPI: the font size Windows' display properties set ("Large size"
# is 120); a program started afterwards draws at it.
set_dpi() {
    local key
    for key in 'HKCU\Control Panel\Desktop' 'HKCC\Software\Fonts'; do
        "$WINE" reg add "$key" /v LogPixels /t REG_DWORD /d "$1" /f >>"$S_LOG" 2>&1 ||
            fail "cannot set LogPixels to $1 under $key"
    done
}

# The board whose name in ati.pci is the longest, as the driver's device
# instance text names it: "PCI\VEN_1002&DEV_dddd&SUBSYS_ssssvvvv&REV_00\..."
# and the name; on two lines.
longest_board() {
    tr -d '\r' <"$KV_PCI" | awk '
        /^D / { device = substr($0, 3, 4) }
        /^S / { board = substr($0, 3, 4) }
        /^O / && length($0) > best { best = length($0); id = device " " board substr($0, 3, 4); name = substr($0, 8) }
        END { split(id, p, " "); print "PCI\\VEN_1002&DEV_" p[1] "&SUBSYS_" p[2] "&REV_00\\4&1A2B3C&0&0008"; print name }'
}

# Large fonts: at 120 DPI the window and every control are larger by 120/96
# than at 96, and on no page does a caption run out of its control; the
# longest board name of ati.pci shows whole. Pictures of each page at both
# sizes are for the developers to look at.
scenario_large_fonts() {
    setup large_fonts demo KelvaneDemo
    local board instance name dpi i
    mapfile -t board < <(longest_board)
    instance=${board[0]} name=${board[1]}
    "$WINE" reg add 'HKLM\SYSTEM\CurrentControlSet\Services\ati2mtag\Enum' /v 0 /d "$instance" /f >>"$S_LOG" 2>&1 ||
        fail "cannot name the longest board"
    for dpi in 96 120; do
        set_dpi "$dpi"
        "$WINESERVER" -w
        start_app
        wait_main
        drv value "$MAIN" "Card Type:" || fail "no card type at $dpi DPI: $DRV_ERR"
        expect "the card type at $dpi DPI" "${DRV_OUT//\\n/ }" "$name"
        drv client "$MAIN" || fail "$DRV_ERR"
        echo "$DRV_OUT" >"$S_DIR/client-$dpi"
        drv dump "$MAIN" || fail "$DRV_ERR"
        sed -n 's/^  \([^ ]*\) ".* id=\([0-9]*\) rect=\([-0-9]*\),\([-0-9]*\),\([0-9]*\)x\([0-9]*\)$/\2 \1 \3 \4 \5 \6/p' \
            <<<"$DRV_OUT" | sort >"$S_DIR/rects-$dpi"
        shots_of "main-$dpi"
        # The widest resolutions lie at the grid's end.
        for ((i = 0; i < 40; i++)); do drv click "$MAIN" 6 >/dev/null || break; done
        drv clipped "$MAIN" || S_PROBLEMS+=("$dpi DPI, the grid's end: $DRV_ERR: $(printf '%s' "$DRV_OUT" | paste -sd';' -)")
        screenshot "main-$dpi-grid-end.png"
        drv close "$MAIN" || fail "$DRV_ERR"
        app_ended 15 || fail "the program did not end when its window was closed at $dpi DPI"
    done

    # Scaled by 5/4, each length within a pixel or two of rounding. A label
    # is as wide as its text, which grows with the font, so of a label the
    # right edge counts: where its text ends.
    local mismatch
    mismatch=$(paste -d' ' "$S_DIR/client-96" "$S_DIR/client-120" |
        awk '{ for (i = 1; i <= 2; i++) if ($(i + 2) - $i * 1.25 > 1 || $i * 1.25 - $(i + 2) > 1) print "client " $1 "x" $2 " became " $3 "x" $4 }')
    [ -z "$mismatch" ] || S_PROBLEMS+=("$mismatch")
    mismatch=$(join "$S_DIR/rects-96" "$S_DIR/rects-120" | awk '
        function off(a, b) { d = b - a * 1.25; return d > 2 || d < -2 }
        { bad = off($4, $9) || off($6, $11)
          if ($2 == "Static") bad = bad || off($3 + $5, $8 + $10)
          else bad = bad || off($3, $8) || off($5, $10)
          if (bad) printf "%s %s at %s,%s %sx%s became %s,%s %sx%s; ", $2, $1, $3, $4, $5, $6, $8, $9, $10, $11 }')
    [ -z "$mismatch" ] || S_PROBLEMS+=("not scaled by 120/96: $mismatch")
    [ "$(wc -l <"$S_DIR/rects-96")" -gt 100 ] || S_PROBLEMS+=("the dump at 96 DPI lists too few controls")
    verdict
}

# The translations ship beside the exe.
put_languages() {
    cp "$ROOT"/lang/*.lng "$S_DIR/app/" || fail "no language files to copy"
}

# lng_lines FILE: the counted lines of a language file in UTF-8, the
# version line first (entry N is line N + 2) and the translator's last, read
# in the code page its code-page line names (1252, the prefix's, without one).
lng_lines() {
    local cp
    cp=$(grep -aiE '^\[ *codepage *= *[0-9]+ *\]' "$1" | head -n 1 | tr -dc 0-9)
    tr -d '\r' <"$1" | grep -av '^[;[]' | grep -av '^$' | iconv -f "CP${cp:-1252}" -t UTF-8
}

# fits WIN NAME: notes each caption, tab, list line or title the window cuts
# off and each control another hides, and keeps its picture as NAME.png
# (taken once the window has been looked at: painted by then).
fits() {
    drv rect "$1" -- covered "$1" -- clipped "$1" ||
        S_PROBLEMS+=("$2: $DRV_ERR: $(sed 1d <<<"$DRV_OUT" | paste -sd';' -)")
    picture "$2.png" "$(head -n 1 <<<"$DRV_OUT")"
}

# shots_of NAME: pictures of the three pages, for the developers to look at,
# and a note of every caption a control cuts off.
shots_of() {
    local tab
    for tab in 0 1 2; do
        drv tab "$MAIN" "$tab" || fail "$DRV_ERR"
        fits "$MAIN" "$1-tab$tab"
    done
}

# at_both_sizes NAME CAPTION: starts the program at 96 and at 120 DPI, each
# time in the language that shows CAPTION, and takes the pictures.
at_both_sizes() {
    local dpi
    for dpi in 96 120; do
        set_dpi "$dpi"
        "$WINESERVER" -w
        start_app
        wait_main
        drv state "$MAIN" "$2" || S_PROBLEMS+=("$1 at $dpi DPI shows no \"$2\": $DRV_ERR$(on_screen)")
        shots_of "$1-$dpi"
        # The language dialog, at this size too.
        drv menu "$MAIN" Language -- wait-window class:TForm3 || fail "no language dialog: $DRV_ERR"
        drv clipped class:TForm3 ||
            S_PROBLEMS+=("the language dialog at $dpi DPI: $DRV_ERR: $(paste -sd';' <<<"$DRV_OUT")")
        screenshot "$1-$dpi-language-dialog.png" class:TForm3
        drv close class:TForm3 -- wait-gone class:TForm3 || fail "$DRV_ERR"
        drv close "$MAIN" || fail "$DRV_ERR"
        app_ended 15 || fail "the program did not end"
    done
}

# Choosing German in the language dialog re-captions the main window at
# once, and the next start is German too; at both font sizes no caption is
# cut off.
scenario_language() {
    setup language demo KelvaneDemo
    put_languages
    start_app
    wait_main
    drv menu "$MAIN" Language -- wait-window "Select Language" -- items "Select Language" ListBox#0 ||
        fail "no language dialog: $DRV_ERR$(on_screen)"
    # English, and each shipped file's language (entry 1) and translator.
    local lng offered="English [Kelvane project]"
    for lng in "$ROOT"/lang/*.lng; do
        offered+=$'\n'"$(lng_lines "$lng" | sed -n 3p) [$(lng_lines "$lng" | tail -n 1)]"
    done
    expect "the languages offered" "$(printf '%s\n' "$DRV_OUT" | sed 1,2d | sort | paste -sd'|' -)" \
        "$(sort <<<"$offered" | paste -sd'|' -)"
    drv pick "Select Language" ListBox#0 "Deutsch [Kelvane-Projekt]" -- wait-gone "Select Language" ||
        fail "cannot choose German: $DRV_ERR"
    drv state "$MAIN" Abbrechen -- value "$MAIN" "Kartentyp:" ||
        S_PROBLEMS+=("the main window was not re-captioned in German: $DRV_ERR")
    expect "the card type beside its German caption" "$DRV_OUT" "visible enabled
R350 [Radeon 9800 Series]"
    expect LangFileName "$(reg_value 'HKLM\SOFTWARE\Tessaly\Kelvane' LangFileName)" German.lng
    drv close "$MAIN" || fail "$DRV_ERR"
    app_ended 15 || fail "the program did not end"

    at_both_sizes german Abbrechen
    # Russian through the file's code-page line, on a Western Windows.
    "$WINE" reg add 'HKLM\SOFTWARE\Tessaly\Kelvane' /v LangFileName /d Russian.lng /f >>"$S_LOG" 2>&1
    at_both_sizes russian-1252 Отмена
    verdict
}

# On a Russian Windows (ANSI code page 1251) a language file without a
# code-page line reads in the system's code page.
scenario_language_cp1251() {
    setup language_cp1251 demo KelvaneDemo
    use_locale ru_RU
    grep -av '^\[codepage=' "$ROOT/lang/Russian.lng" >"$S_DIR/app/Russian.lng"
    "$WINE" reg add 'HKLM\SOFTWARE\Tessaly\Kelvane' /v LangFileName /d Russian.lng /f >>"$S_LOG" 2>&1
    at_both_sizes russian-1251 "Тип видеокарты:"
    verdict
}

ISSUES="Kelvane - Issues..."

# A driver key with native modes in its mode table and a minimum-rate
# record: the issues dialog names both, and with an error Ignore is off.
# Cancel ends the program (exit code 1) and repairs nothing; Fix&Restart
# repairs and restarts, and the check after the restart comes. Pictures at
# both font sizes.
scenario_issues() {
    setup issues demo KelvaneDemo
    reg_import <<'EOF'
REGEDIT4

[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Services\ati2mtag\Device0]
"DALRULE_ADDNATIVEMODESTOMODETABLE"=dword:00000001
"DALOPTION_MinResBCD"=hex:06,40,04,80,00,08,00,75
"DALRULE_CRTSUPPORTSALLMODES"=dword:00000000

[HKEY_LOCAL_MACHINE\SOFTWARE\Tessaly\Kelvane]
"Version"="0.7"
EOF
    # Cancel changes nothing: the start after it finds the old version too.
    local dpi
    for dpi in 120 96; do
        set_dpi "$dpi"
        "$WINESERVER" -w
        start_app
        drv wait-window "$ISSUES" 30 || fail "no issues dialog at $dpi DPI$(on_screen)"
        drv items "$ISSUES" ListBox#0 -- text "$ISSUES" "Static#1" -- state "$ISSUES" Ignore ||
            fail "cannot read the issues dialog: $DRV_ERR"
        expect "the issues dialog at $dpi DPI" "$DRV_OUT" "Error: An old version of Kelvane was found. Restart required.
Error: Native modes in the mode table. Restart required.
Warning: Refresh rates lower than 75Hz disabled.
Found 2 errors, 1 warning
visible disabled"
        drv clipped "$ISSUES" || S_PROBLEMS+=("issues dialog at $dpi DPI: $DRV_ERR: $(paste -sd';' <<<"$DRV_OUT")")
        sleep 0.3
        screenshot "issues-$dpi.png" "$ISSUES"
        [ "$dpi" = 96 ] && break
        drv click "$ISSUES" Cancel || fail "$DRV_ERR"
        app_ended 15 || fail "the program did not end at Cancel"
        expect "the exit code of Cancel" "$APP_RC" 1
        expect "native modes after Cancel" "$(reg_value "$DEVICE" DALRULE_ADDNATIVEMODESTOMODETABLE)" 0x1
    done
    expect "Version while the dialog waits" "$(reg_value 'HKLM\SOFTWARE\Tessaly\Kelvane' Version)" 0.7

    # What the driver finds at the restart: Wine runs the one-shot entries
    # as the session ends, in reverse order of their names, so this one
    # before Kelvane's check.
    local at_boot=$S_DIR/at-boot.reg
    "$WINE" reg add "$RUNONCE" /v "Z - driver settings at boot" /f \
        /d "reg export $DEVICE $(winpath "$at_boot") /y" >>"$S_LOG" 2>&1 || fail "cannot add the export at boot"
    drv click "$ISSUES" "Fix&Restart" || fail "cannot click Fix&Restart: $DRV_ERR"
    app_ended 90 || fail "the program still runs after Fix&Restart$(on_screen)"
    timeout 90 "$WINESERVER" -w || fail "Wine's session did not end"
    local boot
    boot=$(iconv -f UTF-16 -t UTF-8 "$at_boot" 2>/dev/null | tr -d '\r')
    [ -n "$boot" ] || fail "nothing was exported at the restart$(on_screen)"
    local line
    for line in '"DALRULE_ADDNATIVEMODESTOMODETABLE"=dword:00000000' '"DALOPTION_MinResBCD"=hex:' \
        '"DALRestrictedModesBCD"=hex:' '"DALRULE_CRTSUPPORTSALLMODES"=dword:00000001'; do
        grep -qxF "$line" <<<"$boot" || S_PROBLEMS+=("at the restart the driver's key lacks $line")
    done
    # Nobody could answer the check in Wine's ending session: it put back
    # the settings from before the repair.
    expect "native modes after the unanswered check" "$(reg_value "$DEVICE" DALRULE_ADDNATIVEMODESTOMODETABLE)" 0x1
    iconv -f UTF-16 -t UTF-8 "$S_DIR/app/firstrun.dat" 2>/dev/null |
        grep -qF '"DALRULE_ADDNATIVEMODESTOMODETABLE"=dword:00000001' ||
        S_PROBLEMS+=("firstrun.dat does not hold the settings from before the repair")
    iconv -f UTF-16 -t UTF-8 "$S_DIR/app/lastknowngood.dat" 2>/dev/null | grep -qF '"DALOPTION_MinResBCD"=hex:06,40' ||
        S_PROBLEMS+=("lastknowngood.dat does not hold the settings from before the repair")
    expect "Version after the repair" "$(reg_value 'HKLM\SOFTWARE\Tessaly\Kelvane' Version)" 0.9.9.6
    verdict
}

# The driver reads a list no further than a record of 0xFF bytes; what
# follows it is the user's all the same, and OK writes it back as it was.
scenario_ff_record() {
    setup ff_record demo KelvaneDemo
    local list=06400480000000600640048000000070FFFFFFFFFFFFFFFF1280102400000060
    reg_import <<'REG'
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\ati2mtag\Device0]
"DALRestrictedModesBCD"=hex:06,40,04,80,00,00,00,60,06,40,04,80,00,00,00,70,ff,ff,ff,ff,ff,ff,ff,ff,12,80,10,24,00,00,00,60
REG
    expect "the seeded list" "$(reg_value "$DEVICE" DALRestrictedModesBCD)" "$list"
    start_app
    wait_main
    drv click "$MAIN" OK || fail "cannot click OK: $DRV_ERR"
    app_ended 30 || fail "the program did not end after OK$(on_screen)"
    expect "the list after OK" "$(reg_value "$DEVICE" DALRestrictedModesBCD)" "$list"
    verdict
}

LIST_DIALOG="class:TNonStRes"
EDITOR="class:TNonStResAdd"
# The list dialog's Add, by its place, in any language.
ADD=id:1002

# add_resolution W H BPP HZ: Add in the list dialog, the four fields typed,
# the editor's OK.
add_resolution() {
    drv click "$LIST_DIALOG" "$ADD" -- wait-window "$EDITOR" -- type "$EDITOR" Edit#0 "$1" -- \
        type "$EDITOR" Edit#1 "$2" -- type "$EDITOR" Edit#2 "$3" -- type "$EDITOR" Edit#3 "$4" -- \
        click "$EDITOR" OK -- wait-gone "$EDITOR" || fail "cannot add $1x$2: $DRV_ERR$(on_screen)"
}

# Two extra resolutions written by the list dialog's OK reach the driver's
# list as the exact records; the main window's OK then offers the restart
# the driver needs to read them.
scenario_resolutions() {
    setup resolutions demo KelvaneDemo
    start_app
    wait_main
    drv menu "$MAIN" Resolutions -- wait-window "$LIST_DIALOG" || fail "no list dialog: $DRV_ERR$(on_screen)"
    add_resolution 1280 1024 any Any
    add_resolution 1152 648 Any 75
    drv items "$LIST_DIALOG" ListBox#0 || fail "$DRV_ERR"
    expect "the list" "$DRV_OUT" "1280 x 1024 x Any BPP x Any Refresh
1152 x   648 x Any BPP x 75"
    drv click "$LIST_DIALOG" OK -- wait-gone "$LIST_DIALOG" || fail "the list dialog's OK: $DRV_ERR$(on_screen)"
    expect "the driver's extra modes" "$(reg_value "$DEVICE" DALNonStandardModesBCD)" 12801024000000001152064800000075
    local i
    for i in 1 2 3; do
        reg_value "$DEVICE" "DALNonStandardModesBCD$i" >/dev/null ||
            S_PROBLEMS+=("no empty DALNonStandardModesBCD$i")
    done
    drv click "$MAIN" OK || fail "$DRV_ERR"
    drv msgbox 20 -- msgbox-caption || fail "no question after OK$(on_screen)"
    expect "the question after OK" "$DRV_OUT" $'The changes take effect only when Windows restarts. Restart now?\nRestart needed'
    drv answer No || fail "$DRV_ERR"
    app_ended 15 || fail "the program did not end after OK"
    # The list written first is undone by Restore like any change of the run.
    iconv -f UTF-16 -t UTF-8 "$S_DIR/app/lastknowngood.dat" 2>/dev/null | grep -q DALNonStandardModesBCD &&
        S_PROBLEMS+=("lastknowngood.dat holds the list written in this run")
    verdict
}

# The adapter dialog's choice to ignore the monitor is written to the
# driver and the main window reads everything again in place: without the
# monitor's word there is no Autoconfig.
scenario_adapter_dialog() {
    setup adapter_dialog demo KelvaneDemo
    start_app
    wait_main
    drv state "$MAIN" Autoconfig || fail "$DRV_ERR"
    expect "Autoconfig before" "$DRV_OUT" "visible enabled"
    drv menu "$MAIN" Adapter -- wait-window "Select Adapter" || fail "no adapter dialog: $DRV_ERR$(on_screen)"
    drv items "Select Adapter" ListBox#0 || fail "$DRV_ERR"
    expect "the adapters" "$DRV_OUT" "RADEON 9800 PRO"
    drv click "Select Adapter" "Ignore monitor capabilities" -- click "Select Adapter" OK -- \
        wait-gone "Select Adapter" || fail "$DRV_ERR$(on_screen)"
    expect PruningMode "$(reg_value "$DEVICE" PruningMode)" 0x0
    drv state "$MAIN" Autoconfig -- value "$MAIN" "Chip:" || fail "$DRV_ERR"
    expect "Autoconfig and the chip after the adapter dialog" "$DRV_OUT" "visible disabled
RADEON 9800 PRO"
    drv covered "$MAIN" || S_PROBLEMS+=("after the adapter dialog: $DRV_ERR")
    verdict
}

# The clean lists the ATI driver's branches by the rules (lower-case "ati"
# names and sections only; a boot driver unchecked), exports each checked
# one beside the program and deletes exactly those, deep keys and all.
scenario_clean() {
    setup clean demo KelvaneDemo
    local svc='HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services'
    # Disk controllers: Wine's display set-up renumbers the display class.
    local cls='HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Class\{4D36E96A-E325-11CE-BFC1-08002BE10318}'
    local vid
    reg_import <<EOF
REGEDIT4

[HKEY_LOCAL_MACHINE\SOFTWARE\ATI Technologies\CDS]
"Version"="1"

[$svc\ati2mtag\Device0\Deep\Deeper]
"x"=dword:00000001

[$svc\atiboot]
"Start"=dword:00000000

[$svc\ATIUPPER]
"Start"=dword:00000003

[$cls\0007]
"InfSection"="ati2mtag_R300"

[$cls\0008]
"InfSection"="ATI2MTAG_R300"
EOF
    start_app
    wait_main
    # Wine makes its video devices anew for each session, under a key that
    # takes no lasting subkeys: Wine's own adapter gets the ATI driver's
    # value in the running session.
    vid=$("$WINE" reg query 'HKLM\SYSTEM\CurrentControlSet\Control\Video' 2>>"$S_LOG" | tr -d '\r' |
        grep -m1 '^HKEY_LOCAL_MACHINE.*\\Video\\{') || fail "Wine lists no video device"
    "$WINE" reg add "$vid\\0000" /v drv /d ati2dvag /f >>"$S_LOG" 2>&1 || fail "cannot mark the video device"
    drv menu "$MAIN" CleanRegistry -- wait-window "Kelvane - Registry Clean..." -- \
        checks "Kelvane - Registry Clean..." ListBox#0 || fail "no clean dialog: $DRV_ERR$(on_screen)"
    local lines=$DRV_OUT
    grep -qxF '[x] HKLM\SOFTWARE\ATI Technologies' <<<"$lines" || S_PROBLEMS+=("no checked ATI Technologies line")
    grep -qxF '[x] HKLM\SYSTEM\CurrentControlSet\Services\ati2mtag' <<<"$lines" ||
        S_PROBLEMS+=("no checked ati2mtag line")
    grep -q '^\[ \] HKLM\\SYSTEM\\CurrentControlSet\\Services\\atiboot' <<<"$lines" ||
        S_PROBLEMS+=("the boot driver is not listed unchecked")
    grep -qi 'ATIUPPER\|\\0008' <<<"$lines" && S_PROBLEMS+=("an upper-case name is listed")
    grep -qxF '[x] HKLM\SYSTEM\CurrentControlSet\Control\Class\{4D36E96A-E325-11CE-BFC1-08002BE10318}\0007' \
        <<<"$lines" || S_PROBLEMS+=("no class instance line")
    grep -qixF "[x] HKLM${vid#HKEY_LOCAL_MACHINE}\\0000" <<<"$lines" || S_PROBLEMS+=("no video device line")
    screenshot clean.png "Kelvane - Registry Clean..."
    # The user keeps the ATI software's branch.
    drv toggle "Kelvane - Registry Clean..." ListBox#0 'HKLM\SOFTWARE\ATI Technologies' -- \
        checks "Kelvane - Registry Clean..." ListBox#0 || fail "$DRV_ERR"
    grep -qxF '[ ] HKLM\SOFTWARE\ATI Technologies' <<<"$DRV_OUT" || S_PROBLEMS+=("the line did not uncheck")
    drv click "Kelvane - Registry Clean..." OK -- msgbox 60 || fail "no message after the clean$(on_screen)"
    grep -q 'restart' <<<"$DRV_OUT" || S_PROBLEMS+=("the message does not ask for a restart: $DRV_OUT")
    local told=$DRV_OUT
    drv answer OK || fail "$DRV_ERR"
    app_ended 15 || fail "the program did not end after the clean"
    local k
    for k in "$svc\\ati2mtag" "$cls\\0007"; do
        "$WINE" reg query "$k" >>"$S_LOG" 2>&1 && S_PROBLEMS+=("$k is still there")
    done
    # Wine may keep its live video device's key; then the message says so.
    if "$WINE" reg query "$vid\\0000" >>"$S_LOG" 2>&1; then
        grep -qF "Not deleted:\n    HKLM${vid#HKEY_LOCAL_MACHINE}\\0000 - " <<<"$told" ||
            S_PROBLEMS+=("the video device's key is still there and the message does not say so")
    fi
    for k in 'HKEY_LOCAL_MACHINE\SOFTWARE\ATI Technologies\CDS' "$svc\\atiboot" "$svc\\ATIUPPER" "$cls\\0008"; do
        "$WINE" reg query "$k" >>"$S_LOG" 2>&1 || S_PROBLEMS+=("$k was deleted")
    done
    local export=$S_DIR/app/clean_SYSTEM_CurrentControlSet_Services_ati2mtag.reg
    iconv -f UTF-16 -t UTF-8 "$export" 2>/dev/null | tr -d '\r' | grep -qxF "[$svc\\ati2mtag\\Device0\\Deep\\Deeper]" ||
        S_PROBLEMS+=("no whole export of ati2mtag beside the program")
    [ -e "$S_DIR/app/clean_SOFTWARE_ATI Technologies.reg" ] && S_PROBLEMS+=("the unchecked branch was exported")
    verdict
}

# Uninstall puts back what the start found, though it changed since, and
# takes the program's settings out of the registry.
scenario_uninstall() {
    setup uninstall demo KelvaneDemo
    start_app
    wait_main
    # The start's copy, which Uninstall puts in place once it is whole.
    wait_file "$S_DIR/app/firstrun.dat.new" '"PruningMode"=dword:00000001' 20 || fail "no firstrun.dat$(on_screen)"
    "$WINE" reg add "$DEVICE" /v PruningMode /t REG_DWORD /d 0 /f >>"$S_LOG" 2>&1 || fail "cannot change a value"
    drv menu "$MAIN" Uninstall || fail "$DRV_ERR"
    drv msgbox 20 || fail "no question$(on_screen)"
    expect "the question" "$DRV_OUT" "Are you sure you want to uninstall Kelvane?"
    drv answer Yes || fail "$DRV_ERR"
    drv msgbox 60 || fail "no message after Yes$(on_screen)"
    expect "the message" "$DRV_OUT" "The driver's settings were put back from firstrun.dat, and Kelvane's own settings were deleted; both take effect when Windows restarts. Kelvane deleted no files: to remove it, delete the folder $(winpath "$S_DIR/app")."
    drv answer OK || fail "$DRV_ERR"
    app_ended 15 || fail "the program did not end after uninstall"
    expect PruningMode "$(reg_value "$DEVICE" PruningMode)" 0x1
    "$WINE" reg query 'HKLM\SOFTWARE\Tessaly\Kelvane' >>"$S_LOG" 2>&1 && S_PROBLEMS+=("the settings key is still there")
    "$WINE" reg query 'HKLM\SOFTWARE\Tessaly' >>"$S_LOG" 2>&1 || S_PROBLEMS+=("the settings key's parent went too")
    verdict
}

# Uninstall while a change awaits its check puts back the settings from
# before the change, not those of the latest start, which hold it; the
# restart the user makes afterwards runs no check.
scenario_uninstall_before_restart() {
    setup uninstall_before_restart demo KelvaneDemo
    apply_change_no_restart
    start_app
    wait_main
    drv menu "$MAIN" Uninstall -- msgbox 20 || fail "no question$(on_screen)"
    drv answer Yes || fail "$DRV_ERR"
    drv msgbox 60 || fail "no message after Yes$(on_screen)"
    expect "the message" "$DRV_OUT" "The driver's settings were put back from beforechange.dat, and Kelvane's own settings were deleted; both take effect when Windows restarts. Kelvane deleted no files: to remove it, delete the folder $(winpath "$S_DIR/app")."
    drv answer OK || fail "$DRV_ERR"
    app_ended 15 || fail "the program did not end after uninstall"
    if reg_value "$RUNONCE" "Kelvane - test resolution" >/dev/null; then
        S_PROBLEMS+=("the one-shot check is still pending after Uninstall")
    fi
    # The user's restart, as Windows' restart runs in Wine: the session
    # ends and what RunOnce holds runs.
    release_session
    "$WINE" wineboot --end-session >>"$S_LOG" 2>&1
    timeout 30 "$WINESERVER" -w || fail "Wine's session did not end after the restart$(on_screen)"
    local list
    if list=$(reg_value "$DEVICE" DALRestrictedModesBCD); then S_PROBLEMS+=("after the restart the list $list stayed"); fi
    verdict
}

# A start between a change and its check, closed with Cancel, leaves the
# settings from before the change where the check finds them: unanswered,
# it puts them back and restarts.
scenario_fallback_after_another_start() {
    setup fallback_after_another_start demo KelvaneDemo
    apply_change_no_restart
    start_app
    wait_main
    drv click "$MAIN" Cancel || fail "cannot click Cancel: $DRV_ERR"
    app_ended 15 || fail "the second start did not end at Cancel$(on_screen)"
    release_session
    local command list
    command=$(reg_value "$RUNONCE" "Kelvane - test resolution") || fail "the second start took the check away"
    "$WINE" reg delete "$RUNONCE" /v "Kelvane - test resolution" /f >>"$S_LOG" 2>&1
    start_command "$command"
    check_handed_over
    drv wait-text "$CHECK" Static#0 'The lowest refresh rate is now selected. If you can read this message, click "OK".' 20 ||
        fail "the mode check did not fall back to the lowest rate: $DRV_ERR"
    copy_ended 25 || fail "the fallback did not end the program for the restart$(on_screen)"
    timeout 20 "$WINESERVER" -w || fail "Wine's session did not end after the restart"
    if list=$(reg_value "$DEVICE" DALRestrictedModesBCD); then S_PROBLEMS+=("after the fallback the list $list stayed"); fi
    verdict
}

# Every line the issues dialog can show: an old version, native modes, a
# minimum rate, a whole resolution and a rate restricted, and a mode in a
# continuation list.
seed_every_issue() {
    reg_import <<'EOF'
REGEDIT4

[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Services\ati2mtag\Device0]
"DALRULE_ADDNATIVEMODESTOMODETABLE"=dword:00000001
"DALOPTION_MinResBCD"=hex:06,40,04,80,00,08,00,75
"DALRestrictedModesBCD"=hex:16,00,12,00,00,00,00,00,00,00,00,00,00,00,00,43
"DALRestrictedModesBCD1"=hex:08,00,06,00,00,00,00,60
EOF
}

# windows_fit LANGUAGE DPI CANCEL: one start in the language at the size, the
# issues dialog first, then the main window's pages and every window it
# opens, and two message boxes; then the check after a restart in both its
# phases. CANCEL is the language's caption of Cancel.
# countdown_at LANGUAGE N PREFIX [TRIES]: waits for the check's count-down to
# show N, takes its picture at once and notes its line in countdown.txt;
# false when it did not come.
countdown_at() {
    local at
    for ((at = 0; at < ${4:-60}; at++)); do
        drv text class:TForm5 Static#1 || return 1
        if [[ " $DRV_OUT " =~ [^0-9]$2[^0-9] ]]; then
            local line=$DRV_OUT
            screenshot "$3-check-$2s.png" class:TForm5
            printf '%s, %s s: %s\n' "$1" "$2" "$line" >>"$KV_WORK/countdown.txt"
            return
        fi
        sleep 0.2
    done
    return 1
}

windows_fit() {
    local lang=$1 dpi=$2 cancel=$3 file=""
    local at=${lang,,}-$dpi
    [ "$lang" = English ] || file=$lang.lng
    "$WINE" reg add 'HKLM\SOFTWARE\Tessaly\Kelvane' /v LangFileName /d "$file" /f >>"$S_LOG" 2>&1 ||
        fail "cannot choose $lang"
    # An old version's error again, whichever start stamped the version.
    "$WINE" reg add 'HKLM\SOFTWARE\Tessaly\Kelvane' /v Version /d 0.7 /f >>"$S_LOG" 2>&1 ||
        fail "cannot record an old version"
    seed_every_issue
    set_dpi "$dpi"
    "$WINESERVER" -w
    start_app
    drv wait-window class:TfFirstRun 30 || fail "no issues dialog in $lang at $dpi DPI$(on_screen)"
    fits class:TfFirstRun "$at-issues"
    # With an error in the list its close box is Cancel: the start ends and
    # nothing is stamped. Without one it is Ignore, and the start goes on.
    drv close class:TfFirstRun || fail "$DRV_ERR"
    app_ended 15 || fail "closing the issues dialog with an error did not end the start$(on_screen)"
    expect "the exit code of the issues dialog's close box" "$APP_RC" 1
    local device='HKLM\System\CurrentControlSet\Services\ati2mtag\Device0'
    "$WINE" reg add 'HKLM\SOFTWARE\Tessaly\Kelvane' /v Version /d 0.9.9.6 /f >>"$S_LOG" 2>&1 &&
        "$WINE" reg delete "$device" /v DALRULE_ADDNATIVEMODESTOMODETABLE /f >>"$S_LOG" 2>&1 &&
        "$WINE" reg delete "$device" /v DALRestrictedModesBCD1 /f >>"$S_LOG" 2>&1 || fail "cannot take the errors away"
    "$WINESERVER" -w
    start_app
    drv wait-window class:TfFirstRun 30 -- close class:TfFirstRun || fail "no warnings to close: $DRV_ERR"
    wait_main
    shots_of "$at-main"

    drv menu "$MAIN" Resolutions -- wait-window "$LIST_DIALOG" || fail "no list dialog: $DRV_ERR"
    add_resolution 800 600 Any 85
    fits "$LIST_DIALOG" "$at-resolutions"
    drv click "$LIST_DIALOG" "$ADD" -- wait-window "$EDITOR" || fail "$DRV_ERR"
    # The editor is modal to its list: the list takes no input.
    drv dump "$LIST_DIALOG" || fail "$DRV_ERR"
    expect "the list dialog while the editor is open" "$(head -n 1 <<<"$DRV_OUT" | awk '{print $NF}')" disabled
    fits "$EDITOR" "$at-editor"
    drv close "$EDITOR" -- wait-gone "$EDITOR" -- close "$LIST_DIALOG" -- wait-gone "$LIST_DIALOG" || fail "$DRV_ERR"
    local menu win
    for menu in Adapter:TForm4 CleanRegistry:TFRegClean Language:TForm3 About:TForm2; do
        win=class:${menu#*:}
        drv menu "$MAIN" "${menu%%:*}" -- wait-window "$win" || fail "no window $win: $DRV_ERR$(on_screen)"
        fits "$win" "$at-${menu%%:*}"
        drv close "$win" -- wait-gone "$win" || fail "$DRV_ERR"
    done
    # A rate being tried: the first row's, as no rate box has the focus.
    drv menu "$MAIN" TryRate -- wait-window class:TTryRate || fail "no try window: $DRV_ERR$(on_screen)"
    fits class:TTryRate "$at-try"
    drv close class:TTryRate -- wait-gone class:TTryRate || fail "$DRV_ERR"

    # A rate that is no number, and the question of Uninstall.
    drv type "$MAIN" beside:640x480 x -- click "$MAIN" OK -- msgbox 20 || fail "no message for a bad rate$(on_screen)"
    fits class:#32770 "$at-message"
    drv answer OK -- menu "$MAIN" Uninstall -- msgbox 20 || fail "no question of Uninstall$(on_screen)"
    fits class:#32770 "$at-question"
    drv answer No || fail "$DRV_ERR"
    # The report: the "Wait..." window while it is made, then its message.
    drv menu "$MAIN" CreateReport -- wait-window class:TForm6 20 || fail "no \"Wait...\" window: $DRV_ERR$(on_screen)"
    fits class:TForm6 "$at-wait"
    drv msgbox 60 || fail "no message after the report$(on_screen)"
    fits class:#32770 "$at-report"
    # A profile naming what this machine lacks: it is listed in one message.
    printf '[Kelvane Profile]\r\nVersion=1\r\n[Rates]\r\n1024x768=87\r\n[Options]\r\nNoSuchValue=1\r\n' \
        >"$S_DIR/app/lab.ini"
    drv answer OK -- type "$MAIN" beside:640x480 60 -- menu "$MAIN" LoadProfile -- file-dialog class:#32770 "$(winpath "$S_DIR/app")\\lab.ini" -- \
        msgbox 20 || fail "no message after Load Profile: $DRV_ERR$(on_screen)"
    fits class:#32770 "$at-profile"
    # A change saved, its restart declined: its check comes next.
    drv answer OK -- type "$MAIN" beside:640x480 75 -- click "$MAIN" OK -- msgbox 30 -- answer No ||
        fail "cannot save a change: $DRV_ERR$(on_screen)"
    app_ended 15 || fail "the program did not end in $lang at $dpi DPI$(on_screen)"

    start_command "$(winpath "$S_DIR/app")\\Kelvane.exe /CHECK"
    drv wait-window class:TForm5 30 || fail "no check after the restart in $lang at $dpi DPI$(on_screen)"
    # The count-down's first second, if the window is caught in it.
    [ "$dpi" != 96 ] || countdown_at "$lang" 15 "$at" 3 || true
    fits class:TForm5 "$at-check"
    if [ "$dpi" = 96 ]; then
        # Its last seconds, in words of the language; then the first phase
        # runs out by itself, as it does for nobody there.
        local first tick n
        drv text class:TForm5 Static#0 || fail "$DRV_ERR"
        first=$DRV_OUT
        for n in 2 1; do
            countdown_at "$lang" "$n" "$at" || S_PROBLEMS+=("$lang: the count-down never showed $n: \"$DRV_OUT\"")
        done
        for ((tick = 0; tick < 25; tick++)); do
            drv text class:TForm5 Static#0 && [ "$DRV_OUT" != "$first" ] && break
            sleep 0.2
        done
        [ "$DRV_OUT" != "$first" ] || fail "the first phase did not run out in $lang"
    else
        drv click class:TForm5 "$cancel" -- sleep 500 || fail "$DRV_ERR"
    fi
    fits class:TForm5 "$at-check-second"
    drv click class:TForm5 OK -- wait-gone class:TForm5 -- wait-window "$MAIN" -- close "$MAIN" || fail "$DRV_ERR"
    copy_ended 15 || fail "the check's program did not end in $lang at $dpi DPI$(on_screen)"
}

# A rate tried on the shipped program, on a display with real CRT modes: the
# display shows it while the try window counts down, and the very mode from
# before (not the one Windows stored) comes back by itself after fifteen
# seconds, or at once when the rate is kept. Nothing is stored.
scenario_try_rate() {
    setup try_rate base Kelvane
    # Wine's programs learn of a mode another one set only when they start.
    local before="1024x768 32 70" stored depth=32
    drv set-mode 1024 768 32 70 -- current-mode -- stored-mode || fail "cannot set the display's mode: $DRV_ERR"
    expect "the mode before the try" "$(sed -n 2p <<<"$DRV_OUT")" "$before"
    stored=$(sed -n 3p <<<"$DRV_OUT")
    start_app
    wait_main
    # As a user would: a right-click on the row's rate box, and its item.
    drv type "$MAIN" beside:640x480 75 -- right-click "$MAIN" beside:640x480 -- choose 1 -- \
        wait-window class:TTryRate 10 || fail "no try window: $DRV_ERR$(on_screen)"
    drv current-mode || fail "$DRV_ERR"
    expect "the mode during the try" "$DRV_OUT" "640x480 $depth 75"
    drv text class:TTryRate Static#0 || S_PROBLEMS+=("no text in the try window: $DRV_ERR")
    [[ $DRV_OUT == *"640x480 at 75 Hz"* ]] || S_PROBLEMS+=("the try window says \"$DRV_OUT\"")
    screenshot try-rate.png class:TTryRate
    drv rect class:TTryRate || fail "$DRV_ERR"
    local x y w h
    read -r x y w h <<<"$DRV_OUT"
    (( ${x:-0} >= 0 && ${y:-0} >= 0 && (2 * x + w - 640) ** 2 <= 4 && (2 * y + h - 480) ** 2 <= 4 )) ||
        S_PROBLEMS+=("the try window lies at $DRV_OUT, not in the middle of the 640x480 screen")
    drv wait-gone class:TTryRate 25 || fail "the try window did not close by itself$(on_screen)"
    drv current-mode || fail "$DRV_ERR"
    expect "the mode after the count-down" "$DRV_OUT" "$before"
    drv text "$MAIN" beside:640x480 || fail "$DRV_ERR"
    expect "the rate in the grid after the count-down" "$DRV_OUT" 60

    # From the row's label, and from the menu, which tries the first row when
    # no rate box has the focus.
    drv right-click "$MAIN" 640x480 -- choose 1 -- wait-window class:TTryRate 10 -- close class:TTryRate -- \
        wait-gone class:TTryRate || fail "no try window from the label: $DRV_ERR$(on_screen)"
    drv type "$MAIN" beside:640x480 85 -- menu "$MAIN" TryRate -- wait-window class:TTryRate 10 ||
        fail "no try window from the menu: $DRV_ERR$(on_screen)"
    drv current-mode || fail "$DRV_ERR"
    expect "the mode during the second try" "$DRV_OUT" "640x480 $depth 85"
    drv click class:TTryRate "Keep this rate" -- wait-gone class:TTryRate 5 ||
        fail "Keep did not close the try window: $DRV_ERR"
    drv current-mode || fail "$DRV_ERR"
    expect "the mode after Keep" "$DRV_OUT" "$before"
    drv text "$MAIN" beside:640x480 || fail "$DRV_ERR"
    expect "the rate kept in the grid" "$DRV_OUT" 85
    drv stored-mode || fail "$DRV_ERR"
    expect "the mode stored in the registry" "$DRV_OUT" "$stored"
    drv close "$MAIN" || fail "$DRV_ERR"
    verdict
}

# The demo machine's CRT declares 30-96 kHz, 50-160 Hz and 200 MHz: in the
# grid 1600x1200 at 75 Hz (202.5 MHz) carries the mark, Autoconfig stops at
# 70 Hz, and OK and Try Rate ask before they use 75 Hz, No being the
# default. Pictures of the row in each language.
to_last_rows() {
    drv click "$MAIN" 6 -- click "$MAIN" 6 -- click "$MAIN" 6 || fail "the grid does not scroll: $DRV_ERR"
}

scenario_monitor() {
    setup monitor demo KelvaneDemo
    put_languages
    start_app
    wait_main
    to_last_rows
    drv items "$MAIN" beside:1600x1200 || fail "no 1600x1200 row: $DRV_ERR"
    expect "the rates of 1600x1200" "$(paste -sd'|' <<<"$DRV_OUT")" "60|65|70|75 !"
    drv text "$MAIN" beside:1920x1440 || fail "$DRV_ERR"
    expect "the rate shown for 1920x1440" "$DRV_OUT" "60 !"
    # Autoconfig shows the grid from the top again.
    drv click "$MAIN" Autoconfig || fail "$DRV_ERR"
    to_last_rows
    drv text "$MAIN" beside:1600x1200 || fail "$DRV_ERR"
    expect "Autoconfig's rate for 1600x1200" "$DRV_OUT" 70

    local before
    before=$(reg_value "$DEVICE" DALRestrictedModesBCD || echo none)
    drv type "$MAIN" beside:1600x1200 "75 !" -- click "$MAIN" OK -- msgbox 10 || fail "no question on OK$(on_screen)"
    [[ $DRV_OUT == *"1600x1200 at 75 Hz: needs 202.5 MHz; the monitor declares at most 200 MHz"* ]] ||
        S_PROBLEMS+=("OK asks \"$DRV_OUT\"")
    screenshot monitor-ok-question.png "class:#32770"
    drv answer No || fail "$DRV_ERR"
    expect "the list after No" "$(reg_value "$DEVICE" DALRestrictedModesBCD || echo none)" "$before"
    drv right-click "$MAIN" beside:1600x1200 -- choose 1 -- msgbox 10 || fail "no question on Try Rate$(on_screen)"
    [[ $DRV_OUT == *"1600x1200 at 75 Hz"*"Try it all the same?"* ]] || S_PROBLEMS+=("Try Rate asks \"$DRV_OUT\"")
    drv answer No || fail "$DRV_ERR"
    drv sleep 500 -- exists class:TTryRate && S_PROBLEMS+=("a rate was tried after No")
    drv close "$MAIN" || fail "$DRV_ERR"
    app_ended 15 || fail "the program did not end"

    # The Monitor row and a marked rate in English and each shipped language.
    local lng lang file
    for lng in English "$ROOT"/lang/*.lng; do
        lang=$(basename "$lng" .lng)
        file=""
        [ "$lang" = English ] || file=$lang.lng
        "$WINE" reg add 'HKLM\SOFTWARE\Tessaly\Kelvane' /v LangFileName /d "$file" /f >>"$S_LOG" 2>&1
        start_app
        wait_main
        to_last_rows
        drv clipped "$MAIN" || S_PROBLEMS+=("$lang: $DRV_ERR: $(paste -sd';' <<<"$DRV_OUT")")
        screenshot "monitor-$lang.png"
        drv close "$MAIN" || fail "$DRV_ERR"
        app_ended 15 || fail "the program did not end"
    done
    verdict
}

# Every window in English and each shipped language at normal and large
# fonts: nothing cut off, nothing hidden under another control, and pictures
# of each for the developers to look at.
scenario_every_window_fits() {
    setup every_window_fits demo KelvaneDemo
    put_languages
    # The cabinet tool takes its time, so that the "Wait..." window stands
    # long enough to be looked at.
    cp "$KV_BIN/makecab.exe" "$WINEPREFIX/drive_c/windows/system32/packcab.exe"
    printf '@"%s" sleep 3000\r\n@packcab.exe %%*\r\n' "$(winpath "$KV_BIN/kvdriver.exe")" \
        >"$WINEPREFIX/drive_c/windows/system32/makecab.bat"
    local dpi lng
    for dpi in 96 120; do
        windows_fit English "$dpi" Cancel
        # Entry 7 is Cancel.
        for lng in "$ROOT"/lang/*.lng; do
            windows_fit "$(basename "$lng" .lng)" "$dpi" "$(lng_lines "$lng" | sed -n 9p)"
        done
    done
    verdict
}

# The report end to end, started from Windows' own folder as the one-shot
# start after a restart is: every piece lies in the program's folder, and
# Kelvane.rpt is a cabinet holding the log, then the eight exports, each
# after a line of twelve hyphens. Wine has no makecab: the prefix gets the
# stand-in built on the cabinet library.
scenario_report() {
    setup report demo KelvaneDemo
    cp "$KV_BIN/makecab.exe" "$WINEPREFIX/drive_c/windows/system32/makecab.exe"
    start_app
    wait_main
    drv close "$MAIN" || fail "$DRV_ERR"
    app_ended 15 || fail "the first start did not end"
    # An old report must not pass for this one.
    printf 'MSCF an old report' >"$S_DIR/app/Kelvane.rpt"
    local before
    before=$(cd "$WINEPREFIX/drive_c/windows" && find . -maxdepth 1 -type f | sort)
    start_command "$(winpath "$S_DIR/app")\\Kelvane.exe"
    wait_main
    drv menu "$MAIN" CreateReport || fail "$DRV_ERR"
    drv msgbox 120 || fail "no message after the report$(on_screen)"
    expect "the message" "$DRV_OUT" "Report saved in Kelvane.rpt"
    drv answer OK -- close "$MAIN" || fail "$DRV_ERR"
    app_ended 15 || fail "the program did not end"

    local cab=$S_DIR/unpacked
    mkdir -p "$cab"
    gcab -x -C "$cab" "$S_DIR/app/Kelvane.rpt" >>"$S_LOG" 2>&1 || fail "Kelvane.rpt is no cabinet gcab can open"
    [ -f "$cab/Kelvane.rpt" ] || fail "the cabinet holds $(ls "$cab" | paste -sd, -), not Kelvane.rpt"
    local text=$S_DIR/report.txt
    grep -q $'\032' "$cab/Kelvane.rpt" && S_PROBLEMS+=("the report holds a ^Z of a text join")
    tr -d '\r' <"$cab/Kelvane.rpt" >"$text"
    expect "the first line" "$(head -n 1 "$text")" "Kelvane Version 0.9.9.6 report file [Lang:0()]"
    expect "the lines of twelve hyphens" "$(grep -cx -- '------------' "$text")" 8
    # The log, then each export followed by a line of hyphens: the first
    # line of each piece, none for a branch the machine does not have (ati2mtaa
    # and three other services).
    local got want
    got=$(awk '/^------------$/ { n++; first = 1; next } NR == 1 || first { print n + 0 ": " $0; first = 0 }' "$text" |
        paste -sd'|' -)
    want="0: Kelvane Version 0.9.9.6 report file [Lang:0()]|1: Windows Registry Editor Version 5.00"
    want+="|5: Windows Registry Editor Version 5.00|6: Windows Registry Editor Version 5.00"
    want+="|7: Windows Registry Editor Version 5.00"
    expect "the pieces between the lines of hyphens" "$got" "$want"
    grep -q '^\[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\ati2mtag\\Device0\]$' "$text" ||
        S_PROBLEMS+=("the driver's device key is not in the report")
    grep -qP '\x00' "$cab/Kelvane.rpt" && S_PROBLEMS+=("the report holds 16-bit text")
    grep -q '^ML2:$' "$text" || S_PROBLEMS+=("no raw mode list in the log")
    expect "Windows' version in the log" "$(sed -n 's/^WinVer: //p' "$text")" "$S_WINVER"
    expect "the monitor in the log" "$(sed -n 's/^Monitor: \([^\\]*\) SYSTEM.*/\1/p' "$text")" "KELVANE CRT19"
    expect "the monitor's range in the log" "$(sed -n 's/^Range: //p' "$text")" "50-160 Hz, 30-96 kHz, 200 MHz"
    expect "the verdict of 1920x1440 in the log" "$(sed -n 's/^1920x1440 60: //p' "$text")" \
        "outside (90.0 kHz, 234.0 MHz)"
    grep -q '^00 FF FF FF FF FF FF 00 ' "$text" || S_PROBLEMS+=("no EDID bytes in the log")
    # The desktop options' boxes as read from the driver's key for them,
    # which lies elsewhere on XP than on 2000: OpenGL and Direct3D on,
    # Projector and Rotation unset.
    expect "the desktop options' boxes in the log" "$(awk '/^CB:/ { print $6, $7, $8, $9 }' "$text")" \
        "TRUE TRUE FALSE FALSE"
    local left
    left=$(cd "$S_DIR/app" && ls Kelvane.txt cpall.bat 0.tmp 1.tmp ./*.reg 2>/dev/null | paste -sd, -)
    expect "pieces left in the program's folder" "$left" ""
    expect "files in Windows' folder" "$(cd "$WINEPREFIX/drive_c/windows" && find . -maxdepth 1 -type f | sort)" "$before"
    verdict
}

# Help starts the help viewer with the help file's full path, quoted, from a
# folder with a blank in its name; the viewer here only notes how it was
# started. About shows the version.
scenario_help_and_about() {
    setup help_and_about demo KelvaneDemo
    mv "$S_DIR/app" "$S_DIR/my app"
    start_in() {
        (cd "$S_DIR/my app" && exec "$WINE" Kelvane.exe) >>"$S_LOG" 2>&1 &
        APP_PID=$!
    }
    local viewer
    for viewer in windows/hh.exe windows/system32/hh.exe; do
        cp "$KV_BIN/recorder.exe" "$WINEPREFIX/drive_c/$viewer"
    done
    # Wine runs its own viewer from the system folder unless told otherwise.
    "$WINE" reg add 'HKCU\Software\Wine\DllOverrides' /v hh.exe /d native /f >>"$S_LOG" 2>&1 ||
        fail "cannot make Wine run the stand-in viewer"
    set_dpi 120
    "$WINESERVER" -w
    start_in
    wait_main
    drv click "$MAIN" Help || fail "$DRV_ERR"
    local i log=""
    for ((i = 0; i < 50; i++)); do
        log=$(cat "$WINEPREFIX"/drive_c/windows/hh.exe.log "$WINEPREFIX"/drive_c/windows/system32/hh.exe.log 2>/dev/null)
        [ -n "$log" ] && break
        sleep 0.2
    done
    [ -n "$log" ] || fail "Help started no help viewer$(on_screen)"
    # The command line, up to the tab before the viewer's folder.
    local started=${log%%$'\t'*} help
    help="\"$(winpath "$S_DIR/my app")\\KelvaneEn.chm\""
    [[ "$started" == *" $help" ]] || S_PROBLEMS+=("the help viewer was started as $started, not with $help")

    local dpi
    for dpi in 120 96; do
        drv menu "$MAIN" About -- wait-window "About Kelvane" || fail "no About box: $DRV_ERR"
        drv dump "About Kelvane" || fail "$DRV_ERR"
        grep -q '"Version 0.9.9.6"' <<<"$DRV_OUT" || S_PROBLEMS+=("About does not show \"Version 0.9.9.6\": $(paste -sd';' <<<"$DRV_OUT")")
        drv clipped "About Kelvane" || S_PROBLEMS+=("About at $dpi DPI: $DRV_ERR: $(paste -sd';' <<<"$DRV_OUT")")
        screenshot "about-$dpi.png" "About Kelvane"
        drv click "About Kelvane" OK -- wait-gone "About Kelvane" -- close "$MAIN" || fail "$DRV_ERR"
        app_ended 15 || fail "the program did not end"
        [ "$dpi" = 96 ] && break
        set_dpi 96
        "$WINESERVER" -w
        start_in
        wait_main
    done
    verdict
}

# The desktop options' key of the demo machine: on Windows 2000 the driver
# keeps them under its device key.
desktop_key() {
    if [ "${KV_WINDOWS:-xp}" = 2000 ]; then
        echo "$DEVICE\\Desktop"
    else
        echo 'HKLM\SOFTWARE\ATI Technologies\Desktop\{6C5A1F3E-2B8D-4E7A-9F10-3D4C5B6A7E80}'
    fi
}

# reg_set ENTRY...: merges values into the device key and the desktop
# options' key; an entry is "device:" or "desktop:" and a .reg line.
reg_set() {
    local entry device="" desktop=""
    for entry in "$@"; do
        case $entry in
            device:*) device+=${entry#device:}$'\n' ;;
            desktop:*) desktop+=${entry#desktop:}$'\n' ;;
        esac
    done
    printf 'Windows Registry Editor Version 5.00\n\n[%s]\n%s\n[%s]\n%s' "${DEVICE/HKLM/HKEY_LOCAL_MACHINE}" "$device" \
        "$(desktop_key | sed 's/^HKLM/HKEY_LOCAL_MACHINE/')" "$desktop" | reg_import
}

# The driver's values, one line each as "KEY: NAME TYPE DATA", sorted; an
# empty list reads as no list, as the driver reads it.
driver_values() {
    local key
    for key in "$DEVICE" "$(desktop_key)"; do
        "$WINE" reg query "$key" /s 2>>"$S_LOG"
    done | tr -d '\r' | awk '/^HKEY/ { key = $0; next } /^ / && !/REG_BINARY *$/ { sub(/^ +/, ""); print key ": " $0 }' |
        sort -u
}

# Every key and value of the machine's registry files, read once Wine's
# session has ended: not the times they were written, nor the date Wine
# gives its display driver at each start.
registry_values() {
    sed -e '/^#time=/d' -e '/^"DriverDateData"=/d' -e 's/^\(\[.*\]\) [0-9]*$/\1/' "$WINEPREFIX/system.reg" "$WINEPREFIX/user.reg"
}

# A profile made with /SAVE on one demo machine and applied with /APPLY on
# another, set otherwise, by a start-up script: afterwards the second
# holds the first one's driver values. Applied again it has nothing to do,
# and a profile with a bad line is refused: neither writes anything. The
# script's transcript and log land in build/wine-tests for a reader.
scenario_profiles() {
    setup profiles demo KelvaneDemo
    local app=$S_DIR/app deploy='C:\deploy' lab before after problem
    # The lab machine: 640x480 from 75 Hz, 800x600 from 72 Hz, no 16-bit
    # colour, tiling off, no OpenGL, and a custom mode.
    reg_set "device:\"DALRestrictedModesBCD\"=hex:06,40,04,80,00,00,00,60,06,40,04,80,00,00,00,70,06,40,04,80,00,00,00,72,\
08,00,06,00,00,00,00,56,08,00,06,00,00,00,00,60,08,00,06,00,00,00,00,70,00,00,00,00,00,16,00,00" \
        'device:"DisableTiling"=dword:00000001' 'device:"DALNonStandardModesBCD"=hex:12,80,09,60,00,32,00,85' \
        'desktop:"OpenGL"=dword:00000000'
    mkdir -p "$WINEPREFIX/drive_c/deploy"
    (cd "$app" && exec "$WINE" Kelvane.exe /SAVE "$deploy\\lab.ini") >>"$S_LOG" 2>&1
    expect "/SAVE's exit code" "$?" 0
    cp "$WINEPREFIX/drive_c/deploy/lab.ini" "$S_DIR/lab.ini" 2>/dev/null || fail "/SAVE wrote no $deploy\\lab.ini"
    local line
    for line in '[Kelvane Profile]' '[Rates]' 640x480=75 800x600=72 1024x768=60 '[Colour Depths]' 16=0 32=1 \
        '[Options]' DisableTiling=1 OpenGL=0 DisableDMACopy=default '[Custom Resolutions]' 1=1280x960x32@85; do
        tr -d '\r' <"$S_DIR/lab.ini" | grep -qxF "$line" || S_PROBLEMS+=("the profile lacks the line $line")
    done
    lab=$(driver_values)
    mv "$app/Kelvane.log" "$S_DIR/lab-Kelvane.log"

    # Another machine: 1024x768 from 75 Hz, DMA copy off, no Direct3D and
    # another custom mode. Its start-up script applies the profile.
    new_machine
    mkdir -p "$WINEPREFIX/drive_c/deploy"
    cp "$S_DIR/lab.ini" "$WINEPREFIX/drive_c/deploy/lab.ini"
    reg_set 'device:"DALRestrictedModesBCD"=hex:10,24,07,68,00,00,00,60,10,24,07,68,00,00,00,70,10,24,07,68,00,00,00,72' \
        'device:"DisableDMACopy"=dword:00000001' 'device:"DALNonStandardModesBCD"=hex:12,80,08,00,00,00,00,60' \
        'desktop:"D3D"=dword:00000000'
    before=$(driver_values)
    [ "$before" != "$lab" ] || fail "the second machine is set as the lab machine"
    printf '%s\r\n' "cd /d $deploy" "start \"\" /wait \"$(winpath "$app")\\Kelvane.exe\" /APPLY lab.ini /LOG $deploy\\lab.log" \
        'echo exit code %ERRORLEVEL%' >"$WINEPREFIX/drive_c/deploy/apply.cmd"
    local transcript
    transcript=$( (cd "$WINEPREFIX/drive_c/windows" && exec "$WINE" cmd /c "$deploy\\apply.cmd") 2>&1 | tr -d '\r')
    printf '%s\n' "$transcript" >>"$S_LOG"
    grep -qx 'exit code 0' <<<"$transcript" || S_PROBLEMS+=("the start-up script says \"$(paste -sd' ' <<<"$transcript")\"")
    after=$(driver_values)
    [ "$after" = "$lab" ] ||
        S_PROBLEMS+=("after /APPLY the driver's values differ from the lab machine's: $(diff <(echo "$lab") <(echo "$after") | grep '^[<>]' | paste -sd';' -)")
    local log
    log=$(tr -d '\r' <"$app/Kelvane.log" 2>/dev/null)
    for line in 'Changed: 640x480: 75 Hz (was 60 Hz)' 'Changed: 1024x768: 60 Hz (was 75 Hz)' \
        'Changed: DisableDMACopy: default (was 1)' 'Changed: the custom resolutions: 1280x960x32@85 (was 1280x800@60)' \
        'Exit code 0: applied; Windows must restart to use it'; do
        grep -qxF -- "$line" <<<"$log" || S_PROBLEMS+=("Kelvane.log lacks \"$line\"")
    done
    line="Snapshot: $(winpath "$app")\\lastknowngood.dat holds ${DEVICE/HKLM/HKEY_LOCAL_MACHINE}"
    grep -qF -- "$line" <<<"$log" || S_PROBLEMS+=("Kelvane.log lacks \"$line\"")
    cmp -s "$app/Kelvane.log" "$WINEPREFIX/drive_c/deploy/lab.log" || S_PROBLEMS+=("the /LOG file is not Kelvane.log")
    {
        echo "C:\\deploy>type apply.cmd"
        tr -d '\r' <"$WINEPREFIX/drive_c/deploy/apply.cmd"
        printf '\nC:\\deploy>cmd /c apply.cmd\n%s\n\nKelvane.log:\n%s\n' "$transcript" "$log"
    } >"$KV_WORK/profile-startup-script${S_NAME#profiles}.txt"

    # Nothing to do, then refused: neither run writes to the registry.
    "$WINESERVER" -w
    registry_values >"$S_DIR/registry.before"
    (cd "$app" && exec "$WINE" Kelvane.exe /APPLY "$deploy\\lab.ini") >>"$S_LOG" 2>&1
    expect "the second /APPLY's exit code" "$?" 1
    sed 's/^\[Rates\]\r$/&\ngarbage\r/' "$S_DIR/lab.ini" >"$WINEPREFIX/drive_c/deploy/garbage.ini"
    sed 's/^640x480=75\r$/640x480=abc\r/' "$S_DIR/lab.ini" >"$WINEPREFIX/drive_c/deploy/abc.ini"
    # Each file's name and its bad line.
    local bad n
    for bad in garbage:garbage abc:640x480=abc; do
        (cd "$app" && exec "$WINE" Kelvane.exe /APPLY "$deploy\\${bad%%:*}.ini") >>"$S_LOG" 2>&1
        expect "the exit code of ${bad%%:*}.ini" "$?" 2
        n=$(tr -d '\r' <"$WINEPREFIX/drive_c/deploy/${bad%%:*}.ini" | grep -nxF "${bad#*:}" | cut -d: -f1)
        grep -qF "Refused: $deploy\\${bad%%:*}.ini cannot be used as a profile: line $n (${bad#*:}):" "$app/Kelvane.log" ||
            S_PROBLEMS+=("Kelvane.log does not say why ${bad%%:*}.ini was refused at line $n")
    done
    "$WINESERVER" -w
    problem=$(registry_values | diff "$S_DIR/registry.before" - | grep '^[<>]' | head -n 4 | paste -sd';' -)
    [ -z "$problem" ] || S_PROBLEMS+=("the registry changed: $problem")
    verdict
}

# Save Profile writes what the window shows, a rate not yet saved among
# them, where Windows' Save dialog says; Load Profile puts a profile back
# into the grid, and nothing reaches the driver's key before OK.
scenario_profile_window() {
    setup profile_window demo KelvaneDemo
    local file='C:\My Profiles\desk.ini' before
    mkdir -p "$WINEPREFIX/drive_c/My Profiles"
    start_app
    wait_main
    wait_file "$S_DIR/app/backup.dat.new" '"Device Description"="RADEON 9800 PRO"' 15 ||
        fail "no backup.dat with the device's values$(on_screen)"
    before=$(driver_values)
    drv type "$MAIN" beside:640x480 75 -- menu "$MAIN" SaveProfile -- file-dialog "Save Profile..." "$file" -- msgbox 10 ||
        fail "cannot save the profile: $DRV_ERR$(on_screen)"
    expect "the message after Save" "${DRV_OUT##*$'\n'}" "The profile was saved as $file."
    drv answer OK || fail "$DRV_ERR"
    tr -d '\r' <"$WINEPREFIX/drive_c/My Profiles/desk.ini" 2>/dev/null | grep -qxF 640x480=75 ||
        S_PROBLEMS+=("the saved profile lacks the line 640x480=75")

    drv type "$MAIN" beside:640x480 85 -- menu "$MAIN" LoadProfile -- file-dialog "Load Profile..." "$file" -- \
        text "$MAIN" beside:640x480 || fail "cannot load the profile: $DRV_ERR$(on_screen)"
    expect "the rate shown for 640x480 after Load" "${DRV_OUT##*$'\n'}" 75
    if drv msgbox 0; then S_PROBLEMS+=("Load says \"$DRV_OUT\""); fi
    [ "$(driver_values)" = "$before" ] || S_PROBLEMS+=("Load wrote to the driver's keys before OK")
    drv click "$MAIN" OK -- msgbox 20 || fail "no question after OK$(on_screen)"
    expect "the question after OK" "${DRV_OUT##*$'\n'}" "The changes take effect only when Windows restarts. Restart now?"
    drv answer No || fail "$DRV_ERR"
    app_ended 15 || fail "the program did not end after OK$(on_screen)"
    expect "the restricted list after OK" "$(reg_value "$DEVICE" DALRestrictedModesBCD)" "$BELOW_75"
    verdict
}

# Run again on Windows 2000 after all the others, each as NAME_2000: one
# change with its check unanswered and answered, the restores of Restore and
# Cancel, Uninstall, the clean, the report and a profile saved and applied.
ON_2000="road_of_one_change close_mode_check restore_then_restart cancel_restores uninstall clean report profiles"

name=${1:-}
if [[ $name == *_2000 ]]; then
    export KV_WINDOWS=2000
    name=${name%_2000}
fi
if [ "$name" = --list ]; then
    echo startup adapter_info tabs page_painted install_dir backup missing_pci real_exe real_grid try_rate \
        demo_state road_of_one_change cancel_restores restore_then_restart two_starts close_mode_check check_cut_short \
        check_first large_fonts language language_cp1251 issues resolutions adapter_dialog clean uninstall \
        uninstall_before_restart fallback_after_another_start monitor every_window_fits ff_record \
        report help_and_about profiles profile_window
    printf '%s_2000 ' $ON_2000
    echo
elif declare -F "scenario_$name" >/dev/null; then
    "scenario_$name"
else
    echo "usage: $0 --list | NAME | NAME_2000" >&2
    exit 2
fi
