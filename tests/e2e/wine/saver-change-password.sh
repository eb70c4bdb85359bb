#!/usr/bin/env bash
# /a: the change-password routine of the system's router (doubles of MPR.DLL beside the saver,
# loaded in place of Wine's own with mpr=n,b), and the two messages when it cannot be reached.
# shellcheck source-path=SCRIPTDIR source=lib.sh
. "$(dirname "$0")/lib.sh"
e2e_session
native_mpr="$WINEDLLOVERRIDES;mpr=n,b"

# The routine is called with the provider name and the parent window from the command line.
for parent in 4321 ""; do
    saver_stage --mpr
    mpr_double_log
    # shellcheck disable=SC2086  # no word at all when there is no parent
    WINEDLLOVERRIDES=$native_mpr saver_start /a $parent
    saver_expect_ends "/a $parent returns"
    call=$(cat "$MPR_LOG")
    expect_eq "$(field "$call" provider)/$(field "$call" window)/$(field "$call" flags)" \
        "SCRSAVE/${parent:-0}/0" "/a $parent: PwdChangePasswordA(\"SCRSAVE\", ${parent:-0}, 0, ...)"
    expect_match "$(field "$call" reserved)" '^(0+|\(nil\))$' \
        "/a $parent: ... and a null last argument"
done

# expect_error_box TEXT OWNER: the message box the saver shows, found from X by its title and
# read from inside the prefix; OK closes it and the saver ends.
expect_error_box() {
    wait_x_window Error 15 "$SAVER_PID"
    local box
    box=$(drv msgbox --title Error) || fail "the driver finds no message box"
    expect_eq "$(field "$box" text)" "$1" "the message box says '$1'"
    expect_eq "$(field "$box" owner)" "$2" "its owner window"
    drv msgbox --title Error --ok >/dev/null || fail "OK does not close the box"
    saver_expect_ends "after OK the program ends"
}

# A router without the entry, with a real window as the parent.
spawn PARENT_PID wine "$E2E_DRIVER" show-window --title "Display Properties" --ms 30000
parent=$(drv find --title "Display Properties") || fail "no parent window"
saver_stage --mpr-without-change
WINEDLLOVERRIDES=$native_mpr saver_start /a "$parent"
expect_error_box "Can't get PwdChangePassword" "$parent"
kill "$PARENT_PID" 2>/dev/null

# No router at all.
saver_stage
WINEDLLOVERRIDES="$WINEDLLOVERRIDES;mpr=" saver_start /a
expect_error_box "Can't load MPR.DLL" 0
