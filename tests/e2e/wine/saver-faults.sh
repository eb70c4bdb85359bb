#!/usr/bin/env bash
# Without Direct3D the saver says why and ends cleanly, with the pointer where it was and nothing
# stored; a program deeper than its path buffers runs as anywhere else.
# shellcheck source-path=SCRIPTDIR source=lib.sh
. "$(dirname "$0")/lib.sh"
e2e_session
settings_key='HKCU\Control Panel\Desktop\3D Tavrel Screensaver'

# expect_failure_box TEXT: the saver's message box, then a clean end after OK, the pointer where
# it stood and no value stored (a start that fails never reaches the close, which stores them).
expect_failure_box() {
    wait_x_window Error 20 "$SAVER_PID"
    local box
    box=$(drv msgbox --title Error) || fail "the driver finds no message box"
    expect_eq "$(field "$box" text)" "$1" "the message box says '$1'"
    expect_eq "$(field "$box" owner)" "$(drv find --class "$SAVER_TITLE")" \
        "it belongs to the saver's window"
    drv msgbox --title Error --ok >/dev/null || fail "OK does not close the box"
    saver_expect_ends "after OK the saver ends"
    expect_pointer 400 300 "the pointer is where it stood"
    expect_eq "$(reg_values "$settings_key" | wc -l)" 0 "no settings stored"
}

# A device that cannot be made: Wine's Direct3D without a renderer.
reg_set 'HKCU\Software\Wine\Direct3D' renderer REG_SZ no3d
reg_delete_key "$settings_key"
saver_stage
mouse_to 400 300
pointer_settled 400 300
saver_start /s
expect_failure_box "CreateDevice FAILED"
wine reg delete 'HKCU\Software\Wine\Direct3D' /v renderer /f >/dev/null 2>&1

# No Direct3D 8: no d3d8.dll at all (Wine's own turned off), and one whose Direct3DCreate8 gives
# nothing.
for d3d8 in missing null; do
    reg_delete_key "$settings_key"
    if [ "$d3d8" = null ]; then saver_stage --d3d8-null; else saver_stage; fi
    mouse_to 400 300
    pointer_settled 400 300
    if [ "$d3d8" = null ]; then
        WINEDLLOVERRIDES="$WINEDLLOVERRIDES;d3d8=n" saver_start /s
    else
        WINEDLLOVERRIDES="$WINEDLLOVERRIDES;d3d8=" saver_start /s
    fi
    expect_failure_box "_imp__Direct3DCreate8@4 FAILED"
done

# stage_deep LENGTH: the staged program moved down nested folders until its Windows path
# (Z:\...\tavrel.scr) is LENGTH characters long.
stage_deep() {
    local dir=$SAVER_DIR name=tavrel.scr part
    local rest=$(($1 - ${#name} - 1 - $(winpath "$dir" | wc -c) + 1))
    while [ "$rest" -gt 0 ]; do
        part=$((rest - 1 < 200 ? rest - 1 : 200))
        # A last folder of no name cannot be: leave it two characters.
        [ $((rest - 1 - part)) -ne 1 ] || part=$((part - 1))
        dir=$dir/$(head -c "$part" /dev/zero | tr '\0' 'd')
        rest=$((rest - 1 - part))
    done
    mkdir -p -- "$dir"
    mv -- "$SAVER" "$dir/$name"
    SAVER=$dir/$name
    expect_eq "$(winpath "$SAVER" | tr -d '\n' | wc -c)" "$1" "a module path of $1 characters"
}

# 1023 characters fill the 1024-byte buffers with their terminator; 1024 and more do not fit.
for length in 1023 1024 1600; do
    reg_delete_key "$settings_key"
    saver_stage
    stage_deep "$length"
    saver_begin 400 300
    key a
    saver_expect_ends "path of $length: a key ends the saver"
    expect_pointer 400 300 "path of $length: the pointer is back"
    expect_eq "$(reg_values "$settings_key" | wc -l)" 8 "path of $length: the settings stored"
done
