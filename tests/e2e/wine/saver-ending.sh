#!/usr/bin/env bash
# What ends the saver in /s and what does not, each case a run of its own. The pointer starts at
# (0, 0) where mouse moves are counted: the saver parks the cursor there, so the only start-up
# move counts nothing. Elsewhere the start-up moves count, and the pointer must come back.
# shellcheck source-path=SCRIPTDIR source=lib.sh
. "$(dirname "$0")/lib.sh"
e2e_session

# Moves that change only x: five are five counted changes, the sixth ends it.
saver_stage
saver_begin 0 0
for x in 10 20 30 40 50; do saver_move "$x" 0; done
saver_expect_runs "five moves along x do not end the saver"
mouse_to 60 0
saver_expect_ends "the sixth move along x ends it"

# Moves that change both: two are four changes, the third ends it.
saver_stage
saver_begin 0 0
saver_move 10 10
saver_move 20 20
saver_expect_runs "two diagonal moves do not end the saver"
mouse_to 30 30
saver_expect_ends "the third diagonal move ends it"

saver_stage
saver_begin 300 200
key a
saver_expect_ends "a key press ends the saver"
expect_pointer 300 200 "after a key, the pointer is back where it stood"

saver_stage
saver_begin 700 500
click 1
saver_expect_ends "a click ends the saver"
expect_pointer 700 500 "after a click, the pointer is back where it stood"

# Keys with Alt held and the four system commands are not the user's end request; a suspend
# broadcast is.
saver_stage
saver_begin 0 0
key alt+x
saver_expect_runs "Alt+X (WM_SYSKEYDOWN) does not end the saver"
for command in SC_CLOSE SC_SCREENSAVE SC_NEXTWINDOW SC_PREVWINDOW; do
    drv post --title "$SAVER_TITLE" WM_SYSCOMMAND "$command" || fail "cannot post $command"
done
saver_expect_runs "SC_CLOSE, SC_SCREENSAVE, SC_NEXTWINDOW and SC_PREVWINDOW are swallowed"
drv post --title "$SAVER_TITLE" WM_POWERBROADCAST PBT_APMSUSPEND || fail "cannot post the broadcast"
saver_expect_ends "a suspend broadcast ends the saver"

# Another program's window becoming active.
saver_stage
saver_begin 0 0
spawn OTHER_PID wine "$E2E_DRIVER" show-window --title "Another Program" --ms 3000
saver_expect_ends "another program becoming active ends the saver"
wait_exit "$OTHER_PID" 10 || fail "the other program did not finish"
