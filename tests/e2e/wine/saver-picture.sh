#!/usr/bin/env bash
# /s over a known desktop: a full-screen topmost window, mostly black, with lit spots that show
# the desktop's relief, the caption at the bottom left and the clock at the top left in the
# overlay's red, and a picture that moves.
# shellcheck source-path=SCRIPTDIR source=lib.sh
. "$(dirname "$0")/lib.sh"
desktop=$(e2e_desktop_picture)
e2e_session --wallpaper "$desktop"

saver_stage
saver_begin 0 0 /s
info=$(drv info --title "$SAVER_TITLE")
expect_eq "$(field "$info" class)" "$SAVER_TITLE" "the window's class"
expect_eq "$(field "$info" rect)" "0,0,1024,768" "the window covers the screen"
expect_eq "$(( $(field "$info" style) & 0x80000000 ))" $((0x80000000)) "it is a pop-up"
expect_eq "$(( $(field "$info" exstyle) & 0x8 ))" 8 "it is topmost"

sleep 0.5
first=$(shot frame-1)
sleep 1
second=$(shot frame-2)
for frame in "$first" "$second"; do
    name=$(basename "$frame" .png)
    expect_float "$(picture dark "$frame")" '>=' 0.6 "$name: mostly black"
    # Three cyan spots by default (they may overlap): red stays 0 under a cyan mask.
    spots=$(picture blobs "$frame" --min 0,24,24 --max 12,255,255 --rect 0,64,1024,664)
    expect_ge "$(head -n 1 <<<"$spots")" 1 "$name: lit cyan spots"
    expect_float "$(picture emboss "$frame" "$desktop" | sed 's/.*ratio=//')" '>=' 2.0 \
        "$name: the lit parts follow the desktop's edges"
    # The overlay's red, 0xCC2222 where a glyph is solid.
    overlay=(--min "120,10,10" --max "255,70,70")
    expect_ge "$(picture count "$frame" --rect 0,728,600,40 "${overlay[@]}")" 300 \
        "$name: the caption at the bottom left"
    expect_ge "$(picture count "$frame" --rect 0,0,240,64 "${overlay[@]}")" 100 \
        "$name: the clock and date at the top left"
done
expect_ge "$(picture diff "$first" "$second" --level 16)" 2000 \
    "two screenshots a second apart differ"

key space
saver_expect_ends "a key ends the saver"
