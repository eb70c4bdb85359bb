#!/usr/bin/env bash
# Without Direct3D the saver says why and ends cleanly, with the pointer where it was.
# shellcheck source-path=SCRIPTDIR source=lib.sh
. "$(dirname "$0")/lib.sh"
e2e_session

# expect_failure_box TEXT: the saver's message box, then a clean end after OK.
expect_failure_box() {
    wait_x_window Error 20 "$SAVER_PID"
    local box
    box=$(drv msgbox --title Error) || fail "the driver finds no message box"
    expect_eq "$(field "$box" text)" "$1" "the message box says '$1'"
    drv msgbox --title Error --ok >/dev/null || fail "OK does not close the box"
    saver_expect_ends "after OK the saver ends"
    expect_pointer 400 300 "the pointer is where it stood"
}

# A device that cannot be made: Wine's Direct3D without a renderer.
reg_set 'HKCU\Software\Wine\Direct3D' renderer REG_SZ no3d
saver_stage
mouse_to 400 300
pointer_settled 400 300
saver_start /s
expect_failure_box "CreateDevice FAILED"
wine reg delete 'HKCU\Software\Wine\Direct3D' /v renderer /f >/dev/null 2>&1

# No Direct3D 8 at all: a d3d8.dll whose Direct3DCreate8 gives nothing.
saver_stage --d3d8-null
mouse_to 400 300
pointer_settled 400 300
WINEDLLOVERRIDES="$WINEDLLOVERRIDES;d3d8=n" saver_start /s
expect_failure_box "_imp__Direct3DCreate8@4 FAILED"
