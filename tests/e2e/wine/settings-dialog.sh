#!/usr/bin/env bash
# /c: the settings dialog over the stored settings; what OK, Cancel, Escape, Default and the
# close store; the logo and the link button opening the maker's pages in the browser; a system
# without Direct3D. A picture of the dialog is kept as dialog.png.
# shellcheck source-path=SCRIPTDIR source=lib.sh
. "$(dirname "$0")/lib.sh"
# A desktop of no common size, so that the resolution text cannot be a constant.
e2e_session --size 1152x864
TITLE="3D Tavrel Screensaver Settings"
settings_key='HKCU\Control Panel\Desktop\3D Tavrel Screensaver'
dialog=(--title "$TITLE")

# store NAME=VALUE...: the settings key holds exactly these DWORD values.
store() {
    reg_delete_key "$settings_key"
    local pair
    for pair in "$@"; do reg_set "$settings_key" "${pair%=*}" REG_DWORD "${pair#*=}"; done
}
# stored: the key's values as "NAME=DATA" in byte order, on one line.
stored() {
    reg_values "$settings_key" | awk -F '|' '{ print $1 "=" $3 }' | LC_ALL=C sort | paste -sd ' '
}

# dialog_open: starts /c and waits for the dialog; DUMP is its controls.
dialog_open() {
    saver_stage
    saver_start /c
    wait_x_window "$TITLE" 20 "$SAVER_PID"
    dialog_read
}
dialog_read() {
    DUMP=$(drv dump "${dialog[@]}") || fail "the driver cannot read the dialog"
    printf '%s\n' "$DUMP" >"$E2E_OUT/dialog-$SAVER_RUNS.txt"
}
# shows ID KEY: the field KEY of control ID as the dialog shows it.
shows() { field "$(control "$DUMP" "$1")" "$2"; }
# selected ID: the text of the list entry selected in control ID.
selected() {
    local sel
    sel=$(shows "$1" sel)
    shows "$1" items | tr '|' '\n' | sed -n "$((sel + 1))p"
}

# --- The stored settings as the dialog shows them -----------------------------------------------
store '[bTnL]=1' '[bTime]=0' '[bFps]=1' '[Prominent]=9' '[Light Speed]=80' '[Num Lights]=4' \
    '[Color Light]=3'
before=$(stored)
browser_double
dialog_open
pass "the dialog '$TITLE' is up"
expect_eq "$(shows 102 text)" "1152 x 864 x 32" "the resolution text: the desktop's size and depth"
# Wine's adapter always reports hardware transform and lighting.
expect_eq "$(shows 103 enabled)/$(shows 103 check)" 1/1 "Use TnL offered and ticked"
expect_eq "$(shows 104 check)/$(shows 105 check)" 0/1 "Show Time off, Show FPS on"
expect_eq "$(shows 106 items) $(selected 106)" "1|2|3|4|5 5" "the light counts, 5 selected"
expect_eq "$(shows 107 items) $(selected 107)" \
    "White|Red|Green|Blue|Yellow|Purple|Cyan|Random Blue" "the colours, Blue selected"
expect_eq "$(shows 108 pos)/$(shows 108 min)/$(shows 108 max)" 80/0/100 \
    "the speed at 80 on a slider of 0 to 100"
expect_eq "$(shows 109 bitmap)" 1 "the logo control holds a picture"
expect_eq "$(field "$(head -n 1 <<<"$DUMP")" focus)" "$(shows 2 hwnd)" \
    "the keyboard focus is on Cancel"
expect_eq "$(tail -n +2 <<<"$DUMP" | cut -f 2 | sed 's/^id=//' | paste -sd ' ')" \
    "98 98 98 102 99 103 104 105 99 106 99 107 99 108 109 110 101 111 2 1" \
    "the controls in the template's tab order"
for id in 101 111 2 1; do
    expect_eq "$(( $(shows "$id" style) & 0xF ))" 0 "button $id is no default button"
done

# The browser is the recording double, started with the command's program cut after ".exe" and
# the address alone. The link button, clicked from X:
browser=$(winpath "$E2E_BROWSER")
IFS=, read -r left top right bottom <<<"$(shows 111 rect)"
click_at $(( (left + right) / 2 )) $(( (top + bottom) / 2 ))
wait_for 10 lines_at_least "$BROWSER_LOG" 1 || fail "the link button opened nothing"
expect_eq "$(sed -n 1p "$BROWSER_LOG")" \
    "\"$browser\" http://www.lumenwright.example/Desktop/Screen-Savers/" \
    "the link button opens the catalogue page"
# The logo, a picture the dialog itself watches clicks over: its bounds count, one pixel beside
# it does not.
IFS=, read -r left top right bottom <<<"$(shows 109 rect)"
click_at $((left - 1)) "$top"
sleep 1
expect_eq "$(wc -l <"$BROWSER_LOG")" 1 "a click one pixel left of the logo opens nothing"
click_at "$right" "$bottom"
wait_for 10 lines_at_least "$BROWSER_LOG" 2 \
    || fail "a click on the logo's corner opened nothing"
expect_eq "$(sed -n 2p "$BROWSER_LOG")" "\"$browser\" http://www.lumenwright.example/" \
    "a click at the logo's right bottom corner opens the home page"
# A command whose program ends in another spelling of ".exe" is not cut: the system's own
# handler for the address runs, with the command as the registry has it.
odd=${browser%.exe}.Exe
wine reg add 'HKCR\http\shell\open\command' /ve /t REG_SZ /d "\"$odd\" -osint -url \"%1\"" /f \
    >/dev/null 2>&1 || fail "cannot change the browser command"
drv click "${dialog[@]}" --id 111
wait_for 10 lines_at_least "$BROWSER_LOG" 3 || fail "the link button opened nothing"
expect_eq "$(sed -n 3p "$BROWSER_LOG")" \
    "\"$odd\" -osint -url \"http://www.lumenwright.example/Desktop/Screen-Savers/\"" \
    "a command not ending in .exe or .EXE: the address opened by the system's handler"

# Changes, then Cancel: nothing stored.
drv check "${dialog[@]}" --id 105 --value 0
drv select "${dialog[@]}" --id 107 --value 0
drv slider "${dialog[@]}" --id 108 --value 10
drv click "${dialog[@]}" --id 2
saver_expect_ends "Cancel ends the dialog"
expect_eq "$(stored)" "$before" "Cancel stores nothing"

# --- Default, then OK: the six defaults, [Prominent] as it was ----------------------------------
dialog_open
drv click "${dialog[@]}" --id 101
slider_at() { dialog_read && [ "$(shows 108 pos)" = "$1" ]; }
wait_for 5 slider_at 50 || fail "Default did not move the slider"
expect_eq "$(shows 103 check)$(shows 104 check)$(shows 105 check) $(selected 106) $(selected 107)" \
    "010 3 Cyan" "Default shows Use TnL off, Show Time on, Show FPS off, 3 lights, Cyan"
expect_eq "$(field "$(head -n 1 <<<"$DUMP")" focus)" "$(shows 2 hwnd)" "the focus is back on Cancel"
shot_window "$TITLE" "$E2E_OUT/dialog.png"
expect_eq "$(identify -format %wx%h "$E2E_OUT/dialog.png")" \
    "$(field "$(head -n 1 <<<"$DUMP")" size)" \
    "the dialog's picture has the dialog's size"
# The logo is drawn at its own size in the middle of its control, pixel for pixel.
IFS=, read -r dleft dtop _ _ <<<"$(field "$(head -n 1 <<<"$DUMP")" rect)"
IFS=, read -r left top right bottom <<<"$(shows 109 rect)"
logo=$E2E_ROOT/resources/logo.bmp
read -r lw lh <<<"$(identify -format '%w %h' "$logo")"
best=
for dx in 0 1; do
    for dy in 0 1; do
        x=$((left - dleft + (right - left - lw) / 2 + dx))
        y=$((top - dtop + (bottom - top - lh) / 2 + dy))
        convert "$E2E_OUT/dialog.png" -crop "${lw}x${lh}+$x+$y" +repage "$E2E_OUT/logo-seen.png"
        ae=$(compare -metric AE "$E2E_OUT/logo-seen.png" "$logo" null: 2>&1)
        if [ -z "$best" ] || [ "$ae" -lt "$best" ]; then best=$ae; fi
    done
done
expect_eq "$best" 0 "the picture shows the logo exactly (pixels differing)"
drv click "${dialog[@]}" --id 1
saver_expect_ends "OK ends the dialog"
expect_eq "$(stored)" "[Color Light]=0x6 [Light Speed]=0x32 [Num Lights]=0x2 [Prominent]=0x9 \
[Version]=1.0 [bFps]=0x0 [bTime]=0x1 [bTnL]=0x0" \
    "Default then OK stores the six defaults and keeps [Prominent]"

# --- Values outside the lists, then Random and OK -----------------------------------------------
store '[Num Lights]=9' '[Color Light]=12'
dialog_open
expect_eq "$(selected 106) $(selected 107)" "5 Cyan" \
    "stored 9 lights and colour 12 show as the saver draws them: 5, Cyan"
drv select "${dialog[@]}" --id 107 --value 7
drv click "${dialog[@]}" --id 1
saver_expect_ends "OK ends the dialog"
expect_eq "$(stored)" "[Color Light]=0x7 [Light Speed]=0x32 [Num Lights]=0x4 [Prominent]=0x1 \
[Version]=1.0 [bFps]=0x0 [bTime]=0x1 [bTnL]=0x0" "Random stores 7; five lights store as 4"

# --- Escape and the close button store nothing --------------------------------------------------
before=$(stored)
dialog_open
drv check "${dialog[@]}" --id 105 --value 1
key Escape
saver_expect_ends "Escape ends the dialog"
dialog_open
drv check "${dialog[@]}" --id 105 --value 1
drv post "${dialog[@]}" WM_SYSCOMMAND SC_CLOSE || fail "cannot close the dialog"
saver_expect_ends "the close command ends the dialog"
expect_eq "$(stored)" "$before" "Escape and the close command store nothing"

# --- No Direct3D: the probe fails, the dialog says so and ends ----------------------------------
reg_delete_key "$settings_key"
saver_stage --d3d8-null
WINEDLLOVERRIDES="$WINEDLLOVERRIDES;d3d8=n" saver_start /c
wait_x_window Error 20 "$SAVER_PID"
box=$(drv msgbox --title Error) || fail "the driver finds no message box"
expect_eq "$(field "$box" text)/$(field "$box" owner)" "Can't create Direct3D/0" \
    "the message box 'Can't create Direct3D', with no owner"
expect_eq "$(xdotool search --onlyvisible --name "^$TITLE\$" | wc -l)" 0 "no dialog shows"
drv msgbox --title Error --ok >/dev/null || fail "OK does not close the box"
saver_expect_ends "after OK the program ends"
expect_eq "$(reg_values "$settings_key" | wc -l)" 0 "nothing stored"
