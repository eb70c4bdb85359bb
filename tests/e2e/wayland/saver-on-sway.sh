#!/usr/bin/env bash
# The Linux program on a headless sway of its own, one case a run:
#   saver-on-sway.sh picture|picture-scale-2|gl|gl-missing|key|pointer|click|swayidle|window|
#                    hidden|hidden-gl|outputs|outputs-gl|tiny|lost|lost-gl|stopped|no-compositor
# TAVREL names the program, VIRTUAL_POINTER the pointer helper. sway runs as nobody (it will
# not run as root), the saver and the tools as the caller; everything started here is ended by
# its process id, and the folder made here goes at the end.
set -euo pipefail
case_name=$1
py=/usr/bin/python3  # the system's, which has PIL
# GCC 12's leak checker reads a dynamic TLS block 16 bytes into a page (llvmpipe's LLVM makes
# one) as glibc 2.19 laid them out, and crashes; glibc's own pointers keep them reachable.
export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}intercept_tls_get_addr=0
width=800
height=500

work=$(mktemp -d /tmp/tavrel-wayland.XXXXXX)
chmod 755 "$work"
mkdir "$work/home"
settings="$work/home/.config/tavrel/settings.reg"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL ($case_name): $*" >&2
    [ -s "$work/err" ] && sed 's/^/  saver: /' "$work/err" >&2
    exit 1
}

# picture diff A B...: the least mean difference per channel, summed, of A and any B (0 for
# equal ones); picture lit A: the share of pixels with a channel above 200; picture max A;
# picture size A.
picture() { "$py" "$work/pictures.py" "$@"; }
cat >"$work/pictures.py" <<'PY'
import sys
from PIL import Image, ImageChops, ImageStat
a = Image.open(sys.argv[2]).convert('RGB')
if sys.argv[1] == 'lit':
    print(sum(1 for p in a.getdata() if max(p) > 200) / (a.width * a.height))
elif sys.argv[1] == 'max':
    print(max(high for low, high in a.getextrema()))
elif sys.argv[1] == 'size':
    print('%dx%d' % a.size)
else:
    def diff(path):
        b = Image.open(path).convert('RGB')
        return sum(ImageStat.Stat(ImageChops.difference(a, b)).mean) if a.size == b.size else 999
    print(min(diff(path) for path in sys.argv[3:]))
PY
above() { "$py" -c "import sys; sys.exit(0 if float('$1') > float('$2') else 1)"; }

# Grey with window-like boxes and lines of "text": edges for the spots to light.
make_wallpaper() {
    "$py" - "$work/wall.png" "$width" "$height" <<'PY'
import sys
from PIL import Image, ImageDraw
w, h = int(sys.argv[2]), int(sys.argv[3])
im = Image.new('RGB', (w, h), (90, 110, 140))
d = ImageDraw.Draw(im)
for i in range(6):
    d.rectangle([40 + i * 120, 60, 130 + i * 120, 200], fill=(230, 230, 220), outline=(20, 20, 20), width=3)
for y in range(260, 460, 18):
    d.rectangle([60, y, 740, y + 6], fill=(15, 15, 15))
im.save(sys.argv[1])
PY
    chmod 644 "$work/wall.png"
}

# start_sway [SCALE]: on an output of width x height, the wallpaper made for it.
start_sway() {
    local rt="$work/rt"
    make_wallpaper
    mkdir "$rt"
    chown nobody:nogroup "$rt"
    chmod 700 "$rt"
    printf 'output HEADLESS-1 resolution %dx%d scale %s bg %s fill\n%s\n' "$width" "$height" \
        "${1:-1}" "$work/wall.png" "${config_line:-}" >"$rt/config"
    env -i PATH=/usr/bin:/bin HOME="$rt" XDG_RUNTIME_DIR="$rt" WLR_BACKENDS=headless \
        WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
        setpriv --reuid=nobody --regid=nogroup --clear-groups sway -c "$rt/config" \
        >"$work/sway.log" 2>&1 &
    sway_pid=$!
    pids+=("$sway_pid")
    export XDG_RUNTIME_DIR="$rt"
    unset DISPLAY WAYLAND_DISPLAY
    for _ in $(seq 100); do
        [ -S "$rt/wayland-1" ] && break
        sleep 0.1
    done
    [ -S "$rt/wayland-1" ] || fail "sway made no socket: $(tail -3 "$work/sway.log")"
    export WAYLAND_DISPLAY=wayland-1 SWAYSOCK
    SWAYSOCK=$(ls "$rt"/sway-ipc.*.sock)
    # swaybg draws the wallpaper a moment later; the saver must find it there.
    for _ in $(seq 50); do
        grim "$work/now.png" 2>/dev/null && [ "$(picture diff "$work/now.png" "$work/wall.png")" = 0.0 ] &&
            return 0
        sleep 0.1
    done
    fail "the wallpaper never showed"
}

start_saver() {
    env HOME="$work/home" "$TAVREL" "$@" 2>"$work/err" &
    saver_pid=$!
    pids+=("$saver_pid")
}

# Until the output shows something other than the wallpaper.
wait_covered() {
    for _ in $(seq 50); do
        grim "$work/now.png" && above "$(picture diff "$work/now.png" "$work/wall.png")" 20 && return 0
        kill -0 "$saver_pid" 2>/dev/null || fail "the saver ended before it covered the output"
        sleep 0.1
    done
    fail "the saver never covered the output"
}

# status: the saver's exit status, or "running" when it has not ended within $1 seconds.
wait_saver() {
    status=running
    for _ in $(seq $(($1 * 10))); do
        if ! kill -0 "$saver_pid" 2>/dev/null; then
            status=0
            wait "$saver_pid" || status=$?
            return
        fi
        sleep 0.1
    done
}

expect_end() {
    wait_saver 5
    [ "$status" = "$1" ] || fail "exit status $status, expected $1"
}

# The home is new: a settings file after the end is one the end stored.
no_settings_yet() {
    [ ! -e "$settings" ] || fail "settings stored before the end"
}
expect_settings() {
    grep -q 'Light Speed' "$settings" 2>/dev/null || fail "the settings were not stored at the end"
}

# The gl cases force OpenGL, which Mesa's llvmpipe serves on Wayland without a GPU.
renderer=cpu
gl_args=()
[[ "$case_name" = *gl ]] && renderer=gl gl_args=(-renderer gl)

case "$case_name" in
picture | picture-scale-2 | gl)
    # The same seed and frame time headless over the wallpaper file, drawn by the back end that
    # draws on Wayland: one of its frames is what the output shows, so the saver covered it
    # with the embossed wallpaper that screencopy gave, in every pixel of the output whatever
    # its scale.
    start_sway "$([ "$case_name" = picture-scale-2 ] && echo 2 || echo 1)"
    args=(-seed 1,2 -frame-time 0.028 -no-time -lights 5)
    start_saver "${args[@]}" "${gl_args[@]}"
    wait_covered
    grim "$work/shot.png"
    no_settings_yet
    if [ "$renderer" = gl ]; then wtype -s 300 x; else kill -TERM "$saver_pid"; fi
    expect_end 0
    expect_settings
    grep -q 'demo desktop' "$work/err" && fail "screencopy was not used"
    grep -q 'on the processor' "$work/err" && fail "OpenGL did not draw"
    above "$(picture lit "$work/shot.png")" 0.01 || fail "the spots light nothing"
    env -u WAYLAND_DISPLAY HOME="$work/home" "$TAVREL" "${args[@]}" -image "$work/wall.png" \
        -renderer "$renderer" -frames 80 -render "$work/frame-%03d.png"
    best=$(picture diff "$work/shot.png" "$work"/frame-*.png)
    above 0.05 "$best" || fail "no frame drawn headless is what the output shows (best $best)"
    ;;
key)
    start_sway
    start_saver
    wait_covered
    grim "$work/one.png"
    sleep 0.5
    grim "$work/two.png"
    above "$(picture diff "$work/one.png" "$work/two.png")" 0.2 || fail "the spots did not move"
    no_settings_yet
    wtype -s 300 x
    expect_end 0
    expect_settings
    ;;
pointer)
    # Along one axis each move changes one coordinate: the sixth ends the saver.
    start_sway
    start_saver
    wait_covered
    no_settings_yet
    "$VIRTUAL_POINTER" wait:300 move:10,0 wait:50 move:10,0 wait:50 move:10,0 wait:50 \
        move:10,0 wait:50 move:10,0
    wait_saver 1
    [ "$status" = running ] || fail "five pointer moves ended the saver"
    "$VIRTUAL_POINTER" wait:100 move:10,0
    expect_end 0
    expect_settings
    ;;
click)
    start_sway
    start_saver
    wait_covered
    "$VIRTUAL_POINTER" wait:300 click
    expect_end 0
    ;;
swayidle)
    # README's line for the sway configuration, with a timeout of one second: sway starts
    # swayidle, which starts the saver, as sway's own user (a copy of the program it can read).
    cp "$TAVREL" "$work/tavrel"
    config_line="exec swayidle -w timeout 1 '$work/tavrel'"
    start_sway
    # sway starts what its configuration runs apart from itself (its parent is init): they are
    # found by the copy of the program, this test's own; "ours saver" is the saver itself.
    ours() {
        local entry args
        for entry in /proc/[0-9]*; do
            { mapfile -d '' args <"$entry/cmdline"; } 2>/dev/null || continue
            [[ "${args[*]}" == *"$work/tavrel"* ]] || continue
            [ -z "${1:-}" ] || [ "${args[0]}" = "$work/tavrel" ] && echo "${entry#/proc/}"
        done
        true
    }
    for _ in $(seq 50); do
        saver_pid=$(ours saver)
        [ -n "$saver_pid" ] && break
        sleep 0.1
    done
    [ -n "$saver_pid" ] || fail "swayidle did not start the saver"
    started=$(ours)
    wait_covered
    wtype -s 300 x
    for _ in $(seq 50); do
        [ -d "/proc/$saver_pid" ] || break
        sleep 0.1
    done
    [ -d "/proc/$saver_pid" ] && fail "a key did not end the saver swayidle started"
    grep -q 'Light Speed' "$work/rt/.config/tavrel/settings.reg" ||
        fail "the saver swayidle started stored no settings"
    # With sway go swayidle and whatever saver it started again; they are waited for.
    kill "$sway_pid"
    wait "$sway_pid" || true
    for _ in $(seq 50); do
        left=""
        for pid in $started $(ours); do [ -d "/proc/$pid" ] && left=$pid; done
        [ -z "$left" ] && break
        sleep 0.1
    done
    ;;
window)
    start_sway
    start_saver -window -geometry 400x300
    wait_covered  # sway tiles it over the whole output
    swaymsg -t get_tree | grep -q '"app_id": "tavrel"' || fail "no toplevel of app id tavrel"
    wtype -s 300 x
    expect_end 0
    ;;
outputs | outputs-gl)
    # An output added is covered, black. (sway 1.7 cannot take a headless output away: its
    # "output NAME disable" fails to commit.)
    start_sway
    start_saver "${gl_args[@]}"
    wait_covered
    swaymsg -q create_output
    sleep 1
    grim -o HEADLESS-2 "$work/second.png" || fail "no second output"
    [ "$(picture max "$work/second.png")" = 0 ] || fail "the second output is not covered black"
    # The output the scene is on changes its size: the scene follows.
    # The spots keep wandering over the whole desktop picture, so one may be off the smaller
    # output for a moment: look for a while.
    swaymsg -q output HEADLESS-1 resolution 640x400
    lit=0
    for _ in $(seq 16); do
        sleep 0.5
        grim -o HEADLESS-1 "$work/smaller.png"
        [ "$(picture size "$work/smaller.png")" = 640x400 ] || continue
        above "$(picture lit "$work/smaller.png")" 0.01 && lit=1 && break
    done
    [ "$(picture size "$work/smaller.png")" = 640x400 ] || fail "the output kept its size"
    [ "$lit" = 1 ] || fail "nothing lit at the new size"
    kill -0 "$saver_pid" || fail "the saver ended"
    ;;
hidden | hidden-gl)
    # On a workspace not shown the window gets no frame callbacks: nothing is drawn.
    start_sway
    start_saver -window -lights 5 "${gl_args[@]}"
    wait_covered
    ticks() { awk '{ print $14 + $15 }' "/proc/$saver_pid/stat"; }
    before=$(ticks)
    sleep 2
    shown=$(($(ticks) - before))
    swaymsg -q workspace 2
    sleep 0.3
    before=$(ticks)
    sleep 2
    hidden=$(($(ticks) - before))
    [ "$shown" -ge 3 ] && [ "$hidden" -le 1 ] ||
        fail "processor ticks in 2 s: $shown shown, $hidden hidden"
    swaymsg -q workspace 1
    wtype -s 300 x
    expect_end 0
    ;;
gl-missing)
    # Without OpenGL for Wayland (here: no EGL vendor) the processor draws, and one line says so.
    start_sway
    __EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent.json start_saver -renderer gl
    wait_covered
    wtype -s 300 x
    expect_end 0
    [ "$(wc -l <"$work/err")" = 1 ] && grep -q 'on the processor' "$work/err" || fail "not one line"
    ;;
tiny)
    # An output smaller than a light spot.
    width=48 height=32 start_sway
    start_saver
    wait_covered
    wtype -s 300 x
    expect_end 0
    ;;
lost | lost-gl)
    start_sway
    start_saver "${gl_args[@]}"
    wait_covered
    no_settings_yet
    kill "$sway_pid"
    expect_end 2
    expect_settings
    [ "$(wc -l <"$work/err")" = 1 ] || fail "more than one line on stderr"
    grep -q 'lost the connection' "$work/err" || fail "no line about the lost compositor"
    ;;
stopped)
    # A compositor that takes the connection and never answers.
    start_sway
    kill -STOP "$sway_pid"
    start_saver
    wait_saver 8
    kill -CONT "$sway_pid"
    [ "$status" = 2 ] || fail "exit status $status, expected 2"
    [ "$(wc -l <"$work/err")" = 1 ] && grep -q 'does not answer' "$work/err" || fail "not one line why"
    ;;
no-compositor)
    export XDG_RUNTIME_DIR="$work"
    unset DISPLAY
    export WAYLAND_DISPLAY="$work/none"
    start_saver
    expect_end 2
    [ "$(wc -l <"$work/err")" = 1 ] || fail "not one line on stderr"
    grep -q 'no Wayland compositor' "$work/err" || fail "the line does not say why"
    ;;
*) fail "no case $case_name" ;;
esac
echo "PASS ($case_name)"
