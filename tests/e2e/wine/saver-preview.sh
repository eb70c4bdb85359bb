#!/usr/bin/env bash
# /p HWND: the saver as a child of a preview area that the driver hosts (Wine shows no Direct3D
# pixels in a child window, so the window, its size and its life are what is checked).
# shellcheck source-path=SCRIPTDIR source=lib.sh
. "$(dirname "$0")/lib.sh"
e2e_session

# host_preview NAME: the driver hosts the staged saver; HOST_LOG is its report, CHILD the line
# of the saver's child window once it is there.
host_preview() {
    HOST_STOP=$WINE_SESSION_DIR/stop-$1
    HOST_LOG=$E2E_OUT/$1.log
    spawn "$1" wine "$E2E_DRIVER" preview-host --saver "$(winpath "$SAVER")" \
        --stop-file "$(winpath "$HOST_STOP")" --ms 60000
    HOST_PID=${!1}
    wait_for 20 grep -q '^child' "$HOST_LOG" || fail "no preview child window within 20 s"
    CHILD=$(grep '^child' "$HOST_LOG")
    CHILD_HWND=$(field "$CHILD" child)
}

saver_stage
host_preview preview
expect_eq "$(field "$CHILD" class)" "$SAVER_TITLE" "the child's class"
expect_eq "$(field "$CHILD" parent_is_area)" 1 "it is a child of the preview area"
expect_eq "$(field "$CHILD" rect)" "$(field "$CHILD" area_rect)" "it fills the area"
expect_eq "$(field "$CHILD" size)" 152x112 "its size"

# Input that ends the full-screen saver changes nothing here: sent to the child itself, and from X
# over the host's area.
for message in "WM_KEYDOWN 0x41" "WM_LBUTTONDOWN 1 0" "WM_RBUTTONDOWN 2 0" "WM_MBUTTONDOWN 16 0" \
    "WM_ACTIVATEAPP 0" "WM_SYSCOMMAND SC_SCREENSAVE" "WM_SYSCOMMAND SC_NEXTWINDOW" \
    "WM_SYSCOMMAND SC_PREVWINDOW"; do
    # shellcheck disable=SC2086  # the message and its parameters are separate words
    drv post --hwnd "$CHILD_HWND" $message || fail "cannot post $message"
done
for xy in 1 2 3 4 5 6 7 8; do
    drv post --hwnd "$CHILD_HWND" WM_MOUSEMOVE 0 $(( (xy * 9) | (xy * 7) << 16 ))
done
IFS=, read -r left top _ _ <<<"$(field "$CHILD" area_rect)"
for step in 1 2 3 4 5 6 7; do mouse_to $((left + step * 12)) $((top + step * 9)); done
click 1
key a
sleep 1
drv info --hwnd "$CHILD_HWND" >/dev/null || fail "the preview child went after the input"
if grep -q '^child_gone\|^saver_exit' "$HOST_LOG"; then
    fail "the preview ended after the input: $(cat "$HOST_LOG")"
fi
pass "keys, clicks, mouse moves, activation and system commands leave the preview running"

touch "$HOST_STOP"
wait_exit "$HOST_PID" 20 || fail "the preview host did not finish"
expect_match "$(grep '^saver_exit' "$HOST_LOG")" $'code=0\twhile=destroyed' \
    "the saver ends with its parent, status 0"

# A suspend broadcast is the one request that ends the preview.
saver_stage
host_preview suspend
drv post --hwnd "$CHILD_HWND" WM_POWERBROADCAST PBT_APMSUSPEND || fail "cannot post the broadcast"
wait_for 10 grep -q '^saver_exit' "$HOST_LOG" || fail "the preview still runs 10 s after a suspend"
expect_match "$(grep '^saver_exit' "$HOST_LOG")" $'code=0\twhile=hosted' \
    "a suspend ends the preview, status 0"
touch "$HOST_STOP"
wait_exit "$HOST_PID" 20 || fail "the preview host did not finish"

# A handle that is no window, and none at all.
saver_stage
saver_start /p 1234567
saver_expect_ends "/p with a handle that is no window ends cleanly"
saver_start /p
saver_expect_ends "/p without a handle ends cleanly"
