#!/usr/bin/env bash
# The saver's processor time beside XScreenSaver's bumps hack, in one run on a private Xvfb of
# 1920x1080: each in a window of the screen's size, five lights for the saver, measured after a
# settling time from /proc (user and system time of the program and of the X server, which does
# the presenting). The saver is measured on each drawing path named (-renderer cpu: the
# processor and the MIT-SHM presenter; -renderer gl: OpenGL, here Mesa's software rasteriser;
# auto: its own choice). Prints milliseconds of processor time per second of running with the
# peak resident memory, and the time from the saver's start to its first frame on each path,
# over the screen grab and over a picture file (-image). Screenshots of all go to the
# output folder: bumps shows "Loading..." when its picture helper failed, and its figure then
# means nothing.
#
#   bench/cpu_vs_bumps.sh [SECONDS [PATHS]]   (defaults 10 and "auto cpu gl"; needs the `linux`
#                                              preset built)
#
# LP_NUM_THREADS=1 makes Mesa's software rasteriser single-threaded, for the OpenGL figure
# without the rasteriser's thread overhead.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-10}"
paths="${2:-auto cpu gl}"
settle=3
width=1920
height=1080
tavrel="$root/build/linux/src/host/linux/tavrel"
first_frame="$root/build/linux/bench/x11_first_frame"
bumps=/usr/libexec/xscreensaver/bumps

for needed in "$tavrel" "$first_frame"; do
    [ -x "$needed" ] || { echo "cpu_vs_bumps: build the linux preset first ($needed)" >&2; exit 2; }
done
[ -x "$bumps" ] || { echo "cpu_vs_bumps: no $bumps (package xscreensaver-data-extra)" >&2; exit 2; }
command -v Xvfb >/dev/null || { echo "cpu_vs_bumps: no Xvfb (package xvfb)" >&2; exit 2; }

out="$(mktemp -d "${TMPDIR:-/tmp}/cpu-vs-bumps-XXXXXX")"
server=""
program=""
cleanup() {
    [ -n "$program" ] && kill "$program" 2>/dev/null && wait "$program" 2>/dev/null
    [ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
    true
}
trap cleanup EXIT

mkfifo "$out/display"
Xvfb -displayfd 3 -screen 0 "${width}x${height}x24" -nolisten tcp -noreset \
    3>"$out/display" >"$out/xvfb.log" 2>&1 &
server=$!
read -r -t 30 number <"$out/display" || { echo "cpu_vs_bumps: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$number"
# Settings, caches and XScreenSaver's own files stay in the output folder.
export HOME="$out/home" XDG_CONFIG_HOME="$out/home/.config" XDG_CACHE_HOME="$out/home/.cache"
mkdir -p "$HOME"
printf 'grabDesktopImages: True\ngrabVideoFrames: False\nchooseRandomImages: False\n' \
    >"$HOME/.xscreensaver"
export PATH="/usr/libexec/xscreensaver:$PATH"

# A desktop with edges to emboss, of the screen's size.
convert -size "${width}x${height}" tile:logo: "$out/desktop.png"
# It sets the picture, and exits with status 1 all the same.
display -window root "$out/desktop.png" || true

ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
hz=$(getconf CLK_TCK)

# Milliseconds of processor time per second, of the program and of the server, over $seconds.
measure() {
    local name=$1
    shift
    "$@" >"$out/$name.out" 2>"$out/$name.err" &
    program=$!
    sleep "$settle"
    if ! kill -0 "$program" 2>/dev/null; then
        echo "cpu_vs_bumps: $name ended early:" >&2
        cat "$out/$name.err" >&2
        exit 1
    fi
    local p0 s0 p1 s1 peak
    p0=$(ticks "$program")
    s0=$(ticks "$server")
    sleep "$seconds"
    p1=$(ticks "$program")
    s1=$(ticks "$server")
    peak=$(awk '/^VmHWM:/ { print $2 }' "/proc/$program/status")
    import -window root "$out/$name.png"
    kill "$program"
    wait "$program" 2>/dev/null || true
    program=""
    awk -v n="$name" -v p=$((p1 - p0)) -v s=$((s1 - s0)) -v t="$seconds" -v hz="$hz" \
        -v kb="$peak" 'BEGIN {
        own = p * 1000 / hz / t; x = s * 1000 / hz / t
        printf "%-11s %8.1f %10.1f %8.1f %9.1f\n", n, own, x, own + x, kb / 1024 }'
}

echo "$width x $height, $seconds s after $settle s of settling; LP_NUM_THREADS=${LP_NUM_THREADS:-(all)}"
echo "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"
echo
echo "CPU in ms per second of running (10 ms = 1 % of one core)"
printf "%-11s %8s %10s %8s %9s\n" "" "program" "X server" "total" "peak MB"
for path in $paths; do
    measure "tavrel-$path" "$tavrel" -window -geometry "${width}x${height}+0+0" -lights 5 \
        -renderer "$path"
done
measure bumps "$bumps" -window -geometry "${width}x${height}+0+0"

for path in $paths; do
    for source in grab image; do
        picture=()
        [ "$source" = image ] && picture=(-image "$out/desktop.png")
        echo
        echo "First frame on $path over the $source in a ${width}x${height} window (ms), five runs:"
        for run in 1 2 3 4 5; do
            "$first_frame" "$tavrel" "$width" "$height" -lights 5 -renderer "$path" \
                "${picture[@]}" 2>>"$out/first-frame.err" || true
        done | tr '\n' ' '
        echo
    done
done
echo
echo "Screenshots and logs: $out"
