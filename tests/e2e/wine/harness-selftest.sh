#!/usr/bin/env bash
# The harness on its own, with harness-probe.exe in place of the saver: when this passes and a
# saver test fails, the fault is in the saver. Covers the session (wallpaper, screenshots, input,
# pointer), the registry helpers, each test double and every command of the driver.
# shellcheck source-path=SCRIPTDIR source=lib.sh
. "$(dirname "$0")/lib.sh"
desktop=$(e2e_desktop_picture)
e2e_session --wallpaper "$desktop"
e2e_require E2E_PROBE
export TAVREL_E2E_SAVER=$E2E_PROBE

# The desktop is the known picture, pixel for pixel.
ae=$(compare -metric AE "$(shot desktop)" "$desktop" null: 2>&1)
expect_eq "$ae" 0 "the Wine desktop shows the wallpaper exactly"

# A full-screen run: window, frames, pointer parked and put back, mouse counting, registry.
saver_stage
saver_begin 0 0
info=$(drv info --title "$SAVER_TITLE")
expect_eq "$(field "$info" rect)" "0,0,1024,768" "the probe's window covers the screen"
expect_eq "$(( $(field "$info" exstyle) & 0x8 ))" 8 "it is topmost"
expect_eq "$(( $(field "$info" style) & 0x80000000 ))" $((0x80000000)) "it is a pop-up"
expect_pointer 0 0 "the parked pointer is clamped to the corner"
first=$(shot probe-1)
sleep 1
second=$(shot probe-2)
expect_ge "$(picture diff "$first" "$second")" 1000 "two screenshots a second apart differ"
expect_ge "$(picture count "$first" --rect 0,728,1024,40 --min 150,0,0 --max 255,80,80)" 200 \
    "the caption's red is read from the screenshot"
for x in 10 20 30 40 50; do mouse_to "$x" 0; done
saver_expect_runs "five moves along x are five counted changes"
mouse_to 60 0
saver_expect_ends "the sixth change ends the probe"

saver_stage
saver_begin 300 200
key a
saver_expect_ends "a key ends the probe"
expect_pointer 300 200 "the pointer is back where it stood"
probe_key='Control Panel\Desktop\Harness Probe'
expect_eq "$(reg_get "HKCU\\$probe_key" Runs)" "REG_DWORD 0x2" "reg query reads the probe's count"
expect_eq "$(user_reg_section "$probe_key" | grep -F '"Runs"')" '"Runs"=dword:00000002' \
    "user.reg holds it after the server wrote it"

# The password double: refuses, then accepts; a key during its message loop reaches the window
# but the probe does not ask again.
saver_stage --password
reg_set 'HKCU\Control Panel\Desktop' ScreenSaveUsePassword REG_DWORD 1
pwd_double 0,1 1500
saver_begin 0 0
probe_window=$(drv find --class "$SAVER_TITLE")
key a
wait_for 10 grep -q answer "$PWD_LOG" || fail "the password double was not called"
key b
saver_expect_runs "a refused password keeps the probe running" 2
expect_eq "$(pwd_calls)" 1 "a key during the check does not ask again"
expect_eq "$(field "$(pwd_call 1)" owner)" "$probe_window" "the double was given the probe's window"
expect_eq "$(field "$(pwd_call 1)" owner_class)" "$SAVER_TITLE" "its owner's class"
key c
saver_expect_ends "an accepted password ends the probe" 15
expect_eq "$(field "$(pwd_call 2)" answer)" 1 "the second call accepted"
reg_set 'HKCU\Control Panel\Desktop' ScreenSaveUsePassword REG_DWORD 0

# The router double, with and without the entry; the message box read and closed by the driver.
saver_stage --mpr
mpr_double_log
WINEDLLOVERRIDES="$WINEDLLOVERRIDES;mpr=n,b" saver_start /a 4321
saver_expect_ends "/a returns"
expect_match "$(cat "$MPR_LOG")" $'provider=SCRSAVE\twindow=4321\t' \
    "the router double logged its arguments"
saver_stage --mpr-without-change
WINEDLLOVERRIDES="$WINEDLLOVERRIDES;mpr=n,b" saver_start /a
wait_x_window Error 10 "$SAVER_PID"
box=$(drv msgbox --ok)
expect_eq "$(field "$box" text)" "Can't get PwdChangePassword" "the driver reads the box's text"
saver_expect_ends "pressing OK ends the program"

# A dialog driven through its controls; its link starts the browser double.
saver_stage
browser_double
saver_start /c
dump=$(drv dump --title "Harness Probe Settings") || fail "no settings dialog"
printf '%s\n' "$dump" >"$E2E_OUT/dialog-dump.txt"
colors="White|Red|Green|Blue|Yellow|Purple|Cyan|Random"
expect_eq "$(field "$(control "$dump" 107)" items)" "$colors" \
    "list items read whole across processes"
slider=$(control "$dump" 108)
expect_eq "$(field "$slider" pos)/$(field "$slider" max)" 50/100 "slider position and range"
expect_eq "$(field "$(control "$dump" 104)" check)" 1 "check box state"
dialog=(--title "Harness Probe Settings")
drv check "${dialog[@]}" --id 104 --value 0
drv select "${dialog[@]}" --id 107 --value 7
drv slider "${dialog[@]}" --id 108 --value 90
# The link by a click from X at the button's middle, the dialog's picture by its X window.
IFS=, read -r left top right bottom <<<"$(field "$(control "$dump" 111)" rect)"
click_at $(( (left + right) / 2 )) $(( (top + bottom) / 2 ))
shot_window "Harness Probe Settings" "$E2E_OUT/dialog.png"
dialog_size=$(field "$(head -n 1 <<<"$dump")" size)
expect_eq "$(identify -format %wx%h "$E2E_OUT/dialog.png")" "$dialog_size" \
    "the dialog's picture has the dialog's size"
wait_for 10 test -s "$BROWSER_LOG" || fail "the browser double was not started"
expect_match "$(cat "$BROWSER_LOG")" \
    'record-args\.exe" http://www\.lumenwright\.example/Desktop/Screen-Savers/$' \
    "the browser double got the address"
drv click "${dialog[@]}" --id 1
saver_expect_ends "OK ends the dialog"
expect_eq "$(reg_values "HKCU\\$probe_key" | grep -v Runs | tr '\n' ' ')" \
    "Color|REG_DWORD|0x7 Speed|REG_DWORD|0x5a Time|REG_DWORD|0x0 " \
    "the values set through the driver were stored"

# The preview host: the probe's child in the host's area, alive under input, gone with the host.
saver_stage
stop=$WINE_SESSION_DIR/stop-preview
spawn HOST_PID wine "$E2E_DRIVER" preview-host --saver "$(winpath "$SAVER")" \
    --stop-file "$(winpath "$stop")" --ms 60000
host_log=$E2E_OUT/HOST_PID.log
wait_for 20 grep -q '^child' "$host_log" || fail "no preview child within 20 s"
child=$(grep '^child' "$host_log")
expect_eq "$(field "$child" class)/$(field "$child" size)/$(field "$child" parent_is_area)" \
    "$SAVER_TITLE/152x112/1" "the probe's child fills the preview area"
drv post --hwnd "$(field "$child" child)" WM_KEYDOWN 0x41
sleep 0.5
drv info --hwnd "$(field "$child" child)" >/dev/null || fail "the preview child went after a key"
touch "$stop"
wait_exit "$HOST_PID" 20 || fail "the preview host did not finish"
expect_match "$(grep '^saver_exit' "$host_log")" $'code=0\twhile=destroyed' \
    "the probe ended with its host, status 0"

# A crash ends the program (no crash dialog to hang on), and is told apart from a clean end
# although its status is sometimes 0.
saver_stage
saver_start /crash
wait_exit "$SAVER_PID" 30 || fail "a crashing program is still there after 30 s"
saver_crashed || fail "the crash is not seen in the program's output"
pass "a crash ends the program (status $E2E_STATUS) and shows in its output"
