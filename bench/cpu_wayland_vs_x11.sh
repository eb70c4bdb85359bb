#!/usr/bin/env bash
# The full-screen saver's processor time on Wayland beside the same run on X11, at 1920x1080
# with five lights, drawn on the processor and by OpenGL (Mesa's llvmpipe where there is no
# GPU) on each: on a headless sway (run as nobody, its software renderer pixman; the wallpaper
# a picture with edges) the program and the compositor, on a private Xvfb with the same picture
# as its root the program and the X server. Measured from /proc after a settling time; prints
# milliseconds of processor time per second of running, and leaves a screenshot of each in the
# output folder.
#
#   bench/cpu_wayland_vs_x11.sh [SECONDS]   (default 10; needs the `linux` preset built, and
#                                            run as root for sway's unprivileged user)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-10}"
settle=3
width=1920
height=1080
tavrel="$root/build/linux/src/host/linux/tavrel"
[ -x "$tavrel" ] || { echo "cpu_wayland_vs_x11: build the linux preset first" >&2; exit 2; }
for tool in sway grim Xvfb convert display import setpriv; do
    command -v "$tool" >/dev/null || { echo "cpu_wayland_vs_x11: no $tool (tools/setup)" >&2; exit 2; }
done

out="$(mktemp -d "${TMPDIR:-/tmp}/cpu-wayland-vs-x11-XXXXXX")"
chmod 755 "$out"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT
export HOME="$out/home"
mkdir -p "$HOME"
convert -size "${width}x${height}" tile:logo: "$out/desktop.png"
chmod 644 "$out/desktop.png"

ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
hz=$(getconf CLK_TCK)

# measure NAME HOST_PID SHOT: the saver started as the rest of the arguments; SHOT FILE takes
# the screenshot.
measure() {
    local name=$1 host=$2 shot=$3
    shift 3
    "$@" >"$out/$name.out" 2>"$out/$name.err" &
    local program=$!
    pids+=("$program")
    sleep "$settle"
    kill -0 "$program" 2>/dev/null || { cat "$out/$name.err" >&2; exit 1; }
    local p0 s0 p1 s1
    p0=$(ticks "$program")
    s0=$(ticks "$host")
    sleep "$seconds"
    p1=$(ticks "$program")
    s1=$(ticks "$host")
    $shot "$out/$name.png"
    kill "$program"
    wait "$program" 2>/dev/null || true
    awk -v n="$name" -v p=$((p1 - p0)) -v s=$((s1 - s0)) -v t="$seconds" -v hz="$hz" 'BEGIN {
        own = p * 1000 / hz / t; h = s * 1000 / hz / t
        printf "%-10s %8.1f %10.1f %8.1f\n", n, own, h, own + h }'
}

echo "$width x $height, five lights, $seconds s after $settle s of settling"
grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'
echo
echo "CPU in ms per second of running (10 ms = 1 % of one core)"
printf "%-10s %8s %10s %8s\n" "" "program" "display" "total"

# Wayland: sway's own socket and IPC in a runtime folder of its user.
rt="$out/rt"
mkdir "$rt"
chown nobody:nogroup "$rt"
chmod 700 "$rt"
printf 'output HEADLESS-1 resolution %dx%d bg %s fill\n' "$width" "$height" "$out/desktop.png" \
    >"$rt/config"
env -i PATH=/usr/bin:/bin HOME="$rt" XDG_RUNTIME_DIR="$rt" WLR_BACKENDS=headless \
    WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
    setpriv --reuid=nobody --regid=nogroup --clear-groups sway -c "$rt/config" \
    >"$out/sway.log" 2>&1 &
sway=$!
pids+=("$sway")
for _ in $(seq 100); do
    [ -S "$rt/wayland-1" ] && break
    sleep 0.1
done
sleep 1  # the wallpaper
shot_wayland() { XDG_RUNTIME_DIR="$rt" WAYLAND_DISPLAY=wayland-1 grim "$1"; }
for renderer in cpu gl; do
    measure "wayland-$renderer" "$sway" shot_wayland env -u DISPLAY XDG_RUNTIME_DIR="$rt" \
        WAYLAND_DISPLAY=wayland-1 "$tavrel" -lights 5 -renderer "$renderer"
done

# X11: the same picture as the root window's.
mkfifo "$out/display"
Xvfb -displayfd 3 -screen 0 "${width}x${height}x24" -nolisten tcp -noreset \
    3>"$out/display" >"$out/xvfb.log" 2>&1 &
server=$!
pids+=("$server")
read -r -t 30 number <"$out/display" || { echo "cpu_wayland_vs_x11: Xvfb did not start" >&2; exit 1; }
DISPLAY=":$number" display -window root "$out/desktop.png" || true
shot_x11() { DISPLAY=":$number" import -window root "$1"; }
for renderer in cpu gl; do
    measure "x11-$renderer" "$server" shot_x11 env -u WAYLAND_DISPLAY DISPLAY=":$number" "$tavrel" \
        -lights 5 -renderer "$renderer"
done
echo
echo "Screenshots and logs: $out"
