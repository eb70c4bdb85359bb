#!/usr/bin/env bash
# The end of the saver goes through the system's password module (a double beside the saver).
# shellcheck source-path=SCRIPTDIR source=lib.sh
. "$(dirname "$0")/lib.sh"
e2e_session
desktop_key='HKCU\Control Panel\Desktop'

# Refused, then accepted. The double runs a message loop while it "asks", as the real dialog
# does: input that reaches the saver meanwhile must not ask again.
saver_stage --password
reg_set "$desktop_key" ScreenSaveUsePassword REG_DWORD 1
pwd_double 0,1 2000
saver_begin 0 0
saver_window=$(drv find --class "$SAVER_TITLE") || fail "no saver window for the driver"
key a
wait_for 10 grep -q '^call=1' "$PWD_LOG" || fail "a key did not ask for the password"
key b
click 1
wait_for 10 lines_at_least "$PWD_LOG" 1 || fail "the password double left no log"
sleep 2.5
call=$(pwd_call 1)
expect_eq "$(field "$call" owner)" "$saver_window" "the password module is given the saver window"
expect_eq "$(field "$call" owner_class)/$(field "$call" owner_visible)" "$SAVER_TITLE/1" \
    "the owner is the visible saver window"
expect_eq "$(pwd_calls)" 1 "input during the check asks nothing more"
saver_expect_runs "a refused password keeps the saver running"
# Drawing goes on with a new device.
first=$(shot after-refusal-1)
sleep 1
second=$(shot after-refusal-2)
expect_ge "$(picture count "$second" --min 0,24,24 --max 12,255,255)" 500 \
    "lit spots after the refusal"
expect_ge "$(picture diff "$first" "$second" --level 16)" 2000 "the picture moves after the refusal"
key c
saver_expect_ends "an accepted password ends the saver" 15
expect_eq "$(pwd_calls)" 2 "the second request asked once more"
expect_eq "$(field "$(pwd_call 2)" answer)" 1 "and was accepted"

# The password flag as the registry may hold it: [type data | - for absent] and whether it asks.
while read -r type data asks what; do
    saver_stage --password
    wine reg delete "$desktop_key" /v ScreenSaveUsePassword /f >/dev/null 2>&1
    [ "$type" = - ] || reg_set "$desktop_key" ScreenSaveUsePassword "$type" "$data"
    pwd_double 1
    saver_begin 0 0
    key a
    saver_expect_ends "$what: the saver ends"
    expect_eq "$(pwd_calls)" "$asks" "$what: password asked $asks time(s)"
done <<'CASES'
REG_DWORD 0 0 no password in use (0)
- - 0 no ScreenSaveUsePassword value
REG_SZ 0 1 the text 0 (0x30, not zero)
REG_BINARY 0102030405 0 five bytes of data (too long to read)
CASES
