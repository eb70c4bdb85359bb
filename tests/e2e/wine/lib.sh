# shellcheck shell=bash
# Shared by the wine tests: sourced by each script in this folder. A test script reads
#
#     . "$(dirname "$0")/lib.sh"
#     e2e_session --wallpaper "$(e2e_desktop_picture)"    # options of tools/wine-session
#     saver_stage
#     saver_begin 0 0 /s          # pointer to (0, 0), start, wait for the first frame
#     key a
#     saver_expect_ends "a key press ends the saver"
#
# e2e_session runs the script again inside tools/wine-session (its own Xvfb and a copy of the
# prefix template), with a time limit, and returns there. The script then runs from top to bottom
# and stops at the first failed expectation; on the way out (also after a failure or a timeout) it
# ends the processes it started, by process id, and wine-session ends the rest of the session.
#
# Environment (set by the CTest registration; all optional for a run by hand):
#   TAVREL_WINDOWS_BUILD_DIR  the windows preset's build folder (default build/windows)
#   TAVREL_WINE_TEMPLATE      a prefix made by `tools/wine-session --init-template` (default: boot
#                             a new prefix, about 10 s)
#   TAVREL_E2E_OUT            where screenshots and logs are kept (default /tmp/tavrel-e2e/NAME)
#   TAVREL_E2E_SAVER          a program to test in place of tavrel.scr
#   E2E_TIMEOUT               seconds the whole script may take inside its session (default 240)

set -uo pipefail

E2E_LIB_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
E2E_ROOT=$(cd "$E2E_LIB_DIR/../../.." && pwd)
E2E_NAME=$(basename "$0" .sh)
E2E_OUT=${TAVREL_E2E_OUT:-${TMPDIR:-/tmp}/tavrel-e2e/$E2E_NAME}
E2E_PICTURE=$E2E_LIB_DIR/picture.py
: "${TAVREL_WINDOWS_BUILD_DIR:=$E2E_ROOT/build/windows}"
: "${E2E_TIMEOUT:=240}"
E2E_BUILD_HINT="build the windows preset first (cmake --build --preset windows)"
# The title and class of the saver's window.
SAVER_TITLE="Quarlin Screensaver"

E2E_PIDS=()
E2E_STARTED_NS=$(date +%s%N)
# A fresh output folder for each run, made before the script makes its pictures there.
if [ -z "${WINE_SESSION_DIR:-}" ]; then
    rm -rf -- "$E2E_OUT"
    mkdir -p -- "$E2E_OUT"
fi

e2e_ms() { echo $(( ($(date +%s%N) - E2E_STARTED_NS) / 1000000 )); }
# Progress goes to stderr, so that functions whose output is captured can still report.
log() { local ms; ms=$(e2e_ms); printf '[%d.%03ds] %s\n' $((ms / 1000)) $((ms % 1000)) "$*" >&2; }
pass() { log "ok: $*"; }
fail() {
    log "FAIL: $*"
    if [ -n "${DISPLAY:-}" ] && [ -n "${WINE_SESSION_DIR:-}" ]; then
        import -window root "$E2E_OUT/at-failure.png" 2>/dev/null \
            && log "the screen at the failure: $E2E_OUT/at-failure.png"
    fi
    exit 1
}
expect_eq() {  # ACTUAL EXPECTED WHAT
    [ "$1" = "$2" ] || fail "$3: expected '$2', got '$1'"
    pass "$3 ($1)"
}
expect_ge() {  # ACTUAL MINIMUM WHAT (integers)
    [ "$1" -ge "$2" ] 2>/dev/null || fail "$3: expected at least $2, got '$1'"
    pass "$3 ($1 >= $2)"
}
expect_le() {  # ACTUAL MAXIMUM WHAT (integers)
    [ "$1" -le "$2" ] 2>/dev/null || fail "$3: expected at most $2, got '$1'"
    pass "$3 ($1 <= $2)"
}
expect_match() {  # TEXT EXTENDED-REGEX WHAT
    [[ $1 =~ $2 ]] || fail "$3: '$1' does not match /$2/"
    pass "$3"
}
# A real-number comparison, e.g. expect_float 0.81 '>=' 0.6 "mostly black".
expect_float() {  # ACTUAL OP LIMIT WHAT
    awk -v a="$1" -v b="$3" -v op="$2" \
        'BEGIN { exit !((op == ">=" && a >= b) || (op == "<=" && a <= b)) }' \
        || fail "$4: expected $2 $3, got '$1'"
    pass "$4 ($1 $2 $3)"
}

# --- the session -------------------------------------------------------------------------------

# e2e_session [wine-session options]: outside a session, runs this script again inside one;
# inside, loads the windows build's list of artifacts and sets up the exit handling.
e2e_session() {
    if [ -z "${WINE_SESSION_DIR:-}" ]; then
        local template=()
        if [ -n "${TAVREL_WINE_TEMPLATE:-}" ]; then
            [ -f "$TAVREL_WINE_TEMPLATE/system.reg" ] \
                || fail "no prefix $TAVREL_WINE_TEMPLATE (the wine_prefix_template test makes it)"
            template=(--template "$TAVREL_WINE_TEMPLATE")
        fi
        exec "$E2E_ROOT/tools/wine-session" "${template[@]}" --timeout "$E2E_TIMEOUT" "$@" \
            -- bash "$0"
    fi
    mkdir -p -- "$E2E_OUT"
    trap e2e_on_exit EXIT
    trap 'exit 143' TERM
    trap 'exit 130' INT
    local artifacts=$TAVREL_WINDOWS_BUILD_DIR/e2e-artifacts.env
    [ -f "$artifacts" ] || fail "no $artifacts: $E2E_BUILD_HINT"
    # shellcheck source=/dev/null
    . "$artifacts"
    e2e_require E2E_DRIVER
    log "session on $DISPLAY, ${WINE_SESSION_SIZE:-?}, prefix $WINEPREFIX; output in $E2E_OUT"
    desktop_hold
}

# desktop_hold: brings the Wine desktop up and keeps it up (Wine ends it a moment after the last
# program of the session, and starts it again with the next one, wallpaper and all). The driver
# process that holds it has no window, so it takes no input and activates nothing.
desktop_hold() {
    spawn DESKTOP_HOLD_PID wine "$E2E_DRIVER" hold
    wait_for 30 grep -q '^desktop=' "$E2E_OUT/DESKTOP_HOLD_PID.log" \
        || fail "the Wine desktop did not start"
    if [ "${WINE_SESSION_VIRTUAL_DESKTOP:-1}" = 1 ]; then
        timeout 20 xdotool search --sync --onlyvisible --name 'Wine desktop$' >/dev/null \
            || fail "the Wine desktop window did not show"
    fi
    log "desktop up"
}

# e2e_require VAR...: each names a file of the windows build that must exist.
e2e_require() {
    local var
    for var in "$@"; do
        local file=${!var:-}
        if [ -z "$file" ] || [ ! -f "$file" ]; then
            fail "$var: '${file}' is missing: $E2E_BUILD_HINT"
        fi
    done
}

e2e_on_exit() {
    local rc=$?
    local pid
    for pid in "${E2E_PIDS[@]}"; do
        kill -0 "$pid" 2>/dev/null || continue
        [ "$pid" = "${DESKTOP_HOLD_PID:-}" ] || log "ending pid $pid, still running"
        kill -TERM "$pid" 2>/dev/null
    done
    for pid in "${E2E_PIDS[@]}"; do
        for _ in 1 2 3 4 5 6 7 8 9 10; do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -KILL "$pid" 2>/dev/null
    done
    if [ "$rc" = 0 ]; then log "passed"; else log "failed (status $rc); evidence in $E2E_OUT"; fi
    exit "$rc"
}

# spawn VAR COMMAND...: runs COMMAND in the background, its output appended to $E2E_OUT/VAR.log;
# VAR gets its process id, which the exit handling ends if it is still running then.
spawn() {
    local var=$1
    shift
    "$@" >>"$E2E_OUT/$var.log" 2>&1 &
    printf -v "$var" '%s' "$!"
    E2E_PIDS+=("$!")
}

# wait_exit PID SECONDS: 0 once PID has ended (its status in E2E_STATUS), 1 if it still runs.
wait_exit() {
    local pid=$1 deadline=$(( $(date +%s%N) + $2 * 1000000000 ))
    while kill -0 "$pid" 2>/dev/null; do
        [ "$(date +%s%N)" -lt "$deadline" ] || return 1
        sleep 0.05
    done
    wait "$pid" 2>/dev/null
    E2E_STATUS=$?
    return 0
}

# wait_for SECONDS COMMAND...: polls COMMAND every 0.1 s until it succeeds; 1 after SECONDS.
# COMMAND runs anew each time, but a "$(...)" among its words is expanded once, before: poll a
# function that does the reading (lines_at_least, pointer_is, ...).
wait_for() {
    local deadline=$(( $(date +%s%N) + $1 * 1000000000 ))
    shift
    until "$@"; do
        [ "$(date +%s%N)" -lt "$deadline" ] || return 1
        sleep 0.1
    done
}

# lines_at_least FILE N: FILE (a log) has N lines or more.
lines_at_least() { [ "$(wc -l <"$1" 2>/dev/null || echo 0)" -ge "$2" ]; }

# Windows path of a Unix path (drive Z: is the Unix root).
winpath() {
    local p
    p=$(realpath -m -- "$1")
    echo "Z:${p//\//\\}"
}

# The known desktop picture (screen size), made the same on every run.
e2e_desktop_picture() {
    local size=${1:-1024x768} out
    out=$E2E_OUT/desktop-$size.png
    [ -f "$out" ] || { mkdir -p -- "$E2E_OUT" && "$E2E_PICTURE" make-desktop "$out" "$size"; } \
        || fail "cannot make the desktop picture"
    echo "$out"
}

# --- the saver ---------------------------------------------------------------------------------

# saver_stage [--password] [--mpr | --mpr-without-change] [--d3d8-null]: a folder of its own
# holding tavrel.scr and the doubles asked for, as a user's system folder would; SAVER is the
# program's path there. The program is $TAVREL_E2E_SAVER when set.
SAVER_STAGES=0
saver_stage() {
    SAVER_STAGES=$((SAVER_STAGES + 1))
    SAVER_DIR=$WINE_SESSION_DIR/saver-$SAVER_STAGES
    mkdir -p -- "$SAVER_DIR"
    local program=${TAVREL_E2E_SAVER:-${TAVREL_SCR:-}}
    if [ -z "$program" ] || [ ! -f "$program" ]; then
        fail "the saver '${program}' is missing: $E2E_BUILD_HINT"
    fi
    SAVER=$SAVER_DIR/tavrel.scr
    cp -- "$program" "$SAVER"
    while [ $# -gt 0 ]; do
        case $1 in
            --password) stage_double E2E_PASSWORD_CPL PASSWORD.CPL ;;
            --mpr) stage_double E2E_MPR_DLL MPR.DLL ;;
            --mpr-without-change) stage_double E2E_MPR_DLL_WITHOUT_CHANGE MPR.DLL ;;
            --d3d8-null) stage_double E2E_D3D8_NULL_DLL d3d8.dll ;;
            *) fail "saver_stage: unknown option $1" ;;
        esac
        shift
    done
}

# stage_double VAR NAME: the windows build's file VAR, as NAME beside the staged program.
stage_double() {
    e2e_require "$1"
    cp -- "${!1}" "$SAVER_DIR/$2"
}

# saver_start ARGS...: starts the staged program with ARGS (e.g. /s); SAVER_PID is its process,
# SAVER_LOG its output (Wine's own messages included). WINEDLLOVERRIDES may be given for this one
# start: WINEDLLOVERRIDES=... saver_start /a
SAVER_RUNS=0
saver_start() {
    [ -n "${SAVER:-}" ] || fail "saver_start before saver_stage"
    SAVER_RUNS=$((SAVER_RUNS + 1))
    SAVER_LOG=$E2E_OUT/saver-$SAVER_RUNS.log
    wine "$SAVER" "$@" >"$SAVER_LOG" 2>&1 &
    SAVER_PID=$!
    E2E_PIDS+=("$SAVER_PID")
    log "started $(basename "$SAVER") $* (pid $SAVER_PID, output in $(basename "$SAVER_LOG"))"
}

# saver_crashed: the last started program died of an exception. Its exit status does not tell:
# after Wine's debugger has printed the crash it is sometimes 0.
saver_crashed() { grep -q '^wine: Unhandled' "$SAVER_LOG" 2>/dev/null; }
# saver_ending: how the last saver ended (after wait_exit), for messages.
saver_ending() {
    echo "status $E2E_STATUS$(if saver_crashed; then echo ", crashed"; fi)"
}

saver_running() { kill -0 "$SAVER_PID" 2>/dev/null; }

# wait_x_window TITLE SECONDS [PID]: waits until a window of that exact title is mapped; X_WINDOW
# is its X id. Fails after SECONDS, or as soon as PID (the program that should show it) ends.
wait_x_window() {
    local title=$1 deadline=$(( $(date +%s%N) + $2 * 1000000000 )) pid=${3:-}
    while :; do
        X_WINDOW=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -n 1)
        [ -z "$X_WINDOW" ] || return 0
        if [ -n "$pid" ] && ! kill -0 "$pid" 2>/dev/null; then
            wait_exit "$pid" 1
            fail "no window '$title': its program ended first ($(saver_ending))"
        fi
        [ "$(date +%s%N)" -lt "$deadline" ] || fail "no window '$title' within $2 s"
        sleep 0.1
    done
}

# saver_wait_window: waits until the saver's window is mapped.
saver_wait_window() {
    wait_x_window "$SAVER_TITLE" 20 "$SAVER_PID"
    pass "window '$SAVER_TITLE' is up (X id $X_WINDOW)"
}

# saver_wait_frame: the window being up does not mean a frame is drawn: waits until
# the screen is mostly black.
saver_wait_frame() {
    local deadline=$(( $(date +%s%N) + 20 * 1000000000 )) dark
    while :; do
        if ! saver_running; then
            wait_exit "$SAVER_PID" 1
            fail "the saver ended before drawing ($(saver_ending))"
        fi
        dark=$(screen_dark_fraction)
        if awk -v d="$dark" 'BEGIN { exit !(d >= 0.6) }'; then
            pass "a frame is on the screen ($dark of it black)"
            return 0
        fi
        [ "$(date +%s%N)" -lt "$deadline" ] || fail "no saver frame on the screen within 20 s"
        sleep 0.2
    done
}

# saver_wait_lit: the black window shows before the first frame does: waits (up to 20 s) until
# light of any colour shows between the overlay's corners (above the caption, below the clock),
# and says how long that took.
saver_wait_lit() {
    local started deadline tmp=$E2E_OUT/.probe.png lit
    started=$(date +%s%N)
    deadline=$((started + 20 * 1000000000))
    while :; do
        if ! saver_running; then
            wait_exit "$SAVER_PID" 1
            fail "the saver ended before its light showed ($(saver_ending))"
        fi
        lit=0
        import -window root "$tmp" 2>/dev/null \
            && lit=$("$E2E_PICTURE" lit "$tmp" --rect 0,64,1024,664)
        if [ "${lit:-0}" -ge 500 ]; then
            pass "light on the screen ($lit pixels, $(( ($(date +%s%N) - started) / 1000000 )) ms)"
            return 0
        fi
        [ "$(date +%s%N)" -lt "$deadline" ] || fail "no light on the screen within 20 s"
        sleep 0.2
    done
}

# saver_begin X Y [ARGS...]: the pointer to (X, Y), then the staged saver started with ARGS
# (default /s) and waited for until its first lit frame is on the screen.
saver_begin() {
    local x=$1 y=$2
    shift 2
    mouse_to "$x" "$y"
    pointer_settled "$x" "$y"
    saver_start "${@:-/s}"
    saver_wait_window
    saver_wait_frame
    saver_wait_lit
    # The full-screen saver parked the pointer. On a busy machine Wine's desktop may take that
    # move in only after the saver has put the pointer back at its end, and then moves the
    # pointer to the corner again: wait until it has.
    if [ "${1:-/s}" = /s ]; then pointer_settled 0 0; fi
}

# saver_expect_ends WHAT [SECONDS]: the saver process ends within SECONDS (default 10), status 0.
saver_expect_ends() {
    wait_exit "$SAVER_PID" "${2:-10}" || fail "$1: the saver still runs after ${2:-10} s"
    if saver_crashed; then fail "$1: the saver crashed: $(grep '^wine: Unhandled' "$SAVER_LOG")"; fi
    [ "$E2E_STATUS" = 0 ] || fail "$1: the saver ended with status $E2E_STATUS"
    pass "$1 (ended, status 0)"
}

# saver_expect_runs WHAT [SECONDS]: the saver is still running SECONDS (default 1) later.
saver_expect_runs() {
    sleep "${2:-1}"
    if ! saver_running; then
        wait_exit "$SAVER_PID" 1
        fail "$1: the saver ended ($(saver_ending))"
    fi
    pass "$1 (still running)"
}

# saver_stop: ends a saver that a failed step left running, by its process id.
saver_stop() {
    saver_running || return 0
    kill -TERM "$SAVER_PID" 2>/dev/null
    wait_exit "$SAVER_PID" 5 || kill -KILL "$SAVER_PID" 2>/dev/null
}

# --- input and the screen ----------------------------------------------------------------------

# Wine needs a moment between input events, or it merges moves and loses clicks.
mouse_to() { xdotool mousemove "$1" "$2"; sleep 0.15; }
key() { xdotool key "$@"; sleep 0.15; }
click() { xdotool click "${1:-1}"; sleep 0.15; }
# saver_move X Y: the pointer to (X, Y), then waits until the saver has handled the move. A saver
# busy with a frame when two moves arrive gets them as one message (Wine merges the moves still
# waiting), which would count one change where the user made two.
saver_move() {
    mouse_to "$1" "$2"
    drv sync --class "$SAVER_TITLE" || fail "the saver does not answer"
}
# pointer: the X pointer's position, "X Y".
pointer() {
    # shellcheck disable=SC2034  # set by the eval, not needed
    local X Y SCREEN WINDOW
    eval "$(xdotool getmouselocation --shell)"
    echo "$X $Y"
}
# pointer_is X Y: the X pointer is at (X, Y).
pointer_is() { [ "$(pointer)" = "$1 $2" ]; }
# expect_pointer X Y WHAT: the pointer is at (X, Y), allowing a moment for a warp to land.
expect_pointer() {
    wait_for 2 pointer_is "$1" "$2"
    expect_eq "$(pointer)" "$1 $2" "$3"
}
# pointer_settled X Y: waits until Wine, not only X, has the pointer at (X, Y), so that a program
# started now finds it there (the desktop may still be reading the pointer events of a moment ago).
wine_cursor_is() { [ "$(drv cursor 2>/dev/null)" = "$1 $2" ]; }
pointer_settled() {
    wait_for 5 wine_cursor_is "$1" "$2" \
        || fail "Wine has the cursor at $(drv cursor), not at $1 $2"
}

# shot NAME: a screenshot of the whole X screen into $E2E_OUT/NAME.png; prints the path.
shot() {
    local file=$E2E_OUT/$1.png
    import -window root "$file" || fail "screenshot $1 failed"
    echo "$file"
}
# shot_window TITLE FILE: a picture of one window (found by its exact title) into FILE, e.g. a
# dialog for the documentation.
shot_window() {
    wait_x_window "$1" 10
    import -window "$X_WINDOW" "$2" || fail "cannot take a picture of '$1'"
}
# click_at X Y [BUTTON]: a click at a screen point, e.g. a control's edge from the driver's rect.
click_at() { mouse_to "$1" "$2"; click "${3:-1}"; }
picture() { "$E2E_PICTURE" "$@" || fail "picture.py $* failed"; }
screen_dark_fraction() {
    local tmp=$E2E_OUT/.probe.png
    import -window root "$tmp" 2>/dev/null || { echo 0; return; }
    "$E2E_PICTURE" dark "$tmp"
}

# --- the registry ------------------------------------------------------------------------------

# A `reg add` on a busy machine has been seen to fail once, with the server just restarted; its
# output goes to the log and it is tried again before the test gives up.
reg_set() {  # KEY NAME TYPE DATA
    local attempt output
    for attempt in 1 2 3; do
        output=$(wine reg add "$1" /v "$2" /t "$3" /d "$4" /f 2>&1) && return 0
        log "reg add $1 $2, attempt $attempt: $(tr -d '\r' <<<"$output" | tail -n 3)"
        sleep 0.5
    done
    fail "reg add $1 $2 failed"
}
reg_delete_key() { wine reg delete "$1" /f >/dev/null 2>&1; return 0; }
# reg_get KEY NAME: prints "TYPE DATA" as `wine reg query` shows it (a DWORD as 0x...); status 1
# when the value is absent.
reg_get() {
    local line
    line=$(wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | grep -F -- "    $2    ") \
        || return 1
    line=${line#    "$2"    }
    echo "${line/    / }"
}
# reg_values KEY: every value of KEY, one "NAME|TYPE|DATA" line each, sorted by name.
reg_values() {
    wine reg query "$1" 2>/dev/null | tr -d '\r' \
        | awk -F '    ' 'NF >= 3 && $1 == "" { print $2 "|" $3 "|" $4 }'
}
# user_reg_section KEY-PATH: the lines of the prefix's user.reg for a key under HKCU, given as
# `reg` spells it ('Control Panel\Desktop'), exactly as Wine stores them. The server writes the
# file when it stops, so this stops it (and every Wine program of the session) and starts a new
# one with the desktop.
user_reg_section() {
    wineserver -k
    wineserver -w
    local name=${1//\\/\\\\}
    KEY="[$name]" awk '
        index($0, ENVIRON["KEY"]) == 1 { inside = 1; next }
        /^\[/ { inside = 0 }
        inside && NF' "$WINEPREFIX/user.reg"
    wineserver -p60
    desktop_hold
}

# --- the driver inside the prefix --------------------------------------------------------------

# drv ARGS...: runs e2e-driver.exe (see its source's head for the commands).
drv() { wine "$E2E_DRIVER" "$@"; }
# field LINE KEY: the value of KEY in a tab-separated line of the driver.
field() {
    printf '%s\n' "$1" | tr '\t' '\n' \
        | awk -v k="$2=" 'index($0, k) == 1 { print substr($0, length(k) + 1); exit }'
}
# control DUMP ID: the dump's line of the first control with that id.
control() {
    printf '%s\n' "$1" | awk -v id="id=$2" -F '\t' '$2 == id { print; exit }'
}

# --- the doubles -------------------------------------------------------------------------------

# pwd_double ANSWERS [WAIT_MS]: the password double answers ANSWERS ("0,1": refuse, then accept),
# each call after running a message loop for WAIT_MS; its log is PWD_LOG. Turns the password on.
PWD_LOG=
pwd_double() {
    PWD_LOG=$WINE_SESSION_DIR/password-$SAVER_STAGES.log
    : >"$PWD_LOG"
    export PWD_DOUBLE_ANSWERS=$1 PWD_DOUBLE_LOG
    PWD_DOUBLE_LOG=$(winpath "$PWD_LOG")
    if [ -n "${2:-}" ]; then export PWD_DOUBLE_WAIT_MS=$2; else unset PWD_DOUBLE_WAIT_MS; fi
}
pwd_calls() { wc -l <"$PWD_LOG" | tr -d ' '; }
# pwd_call N: the N-th call's log line.
pwd_call() { sed -n "${1}p" "$PWD_LOG"; }

# mpr_double_log: the change-password double's log (created empty); exported to the double.
mpr_double_log() {
    MPR_LOG=$WINE_SESSION_DIR/mpr-$SAVER_STAGES.log
    : >"$MPR_LOG"
    MPR_DOUBLE_LOG=$(winpath "$MPR_LOG")
    export MPR_DOUBLE_LOG
}

# browser_double: makes the recording browser double the system's web browser (for the http
# command of the registry); its log is BROWSER_LOG.
browser_double() {
    e2e_require E2E_BROWSER
    BROWSER_LOG=$WINE_SESSION_DIR/browser.log
    : >"$BROWSER_LOG"
    BROWSER_DOUBLE_LOG=$(winpath "$BROWSER_LOG")
    export BROWSER_DOUBLE_LOG
    local exe
    exe=$(winpath "$E2E_BROWSER")
    wine reg add 'HKCR\http\shell\open\command' /ve /t REG_SZ /d "\"$exe\" -osint -url \"%1\"" /f \
        >/dev/null 2>&1 || fail "cannot name the browser double in the registry"
}
