#!/usr/bin/env bash
# The settings in the registry: a run writes back all eight values, and stored values are
# honoured by the picture.
# shellcheck source-path=SCRIPTDIR source=lib.sh
. "$(dirname "$0")/lib.sh"
desktop=$(e2e_desktop_picture)
e2e_session --wallpaper "$desktop"
key_path='Control Panel\Desktop\3D Tavrel Screensaver'
settings_key="HKCU\\$key_path"

# A first run with no key at all stores the defaults, with their types.
reg_delete_key "$settings_key"
saver_stage
saver_begin 0 0
key a
saver_expect_ends "a first run ends"
# In byte order, whatever the locale's collation.
defaults="[Color Light]|REG_DWORD|0x6 [Light Speed]|REG_DWORD|0x32 [Num Lights]|REG_DWORD|0x2"
defaults+=" [Prominent]|REG_DWORD|0x1 [Version]|REG_SZ|1.0"
defaults+=" [bFps]|REG_DWORD|0x0 [bTime]|REG_DWORD|0x1 [bTnL]|REG_DWORD|0x0"
expect_eq "$(reg_values "$settings_key" | LC_ALL=C sort | paste -sd ' ')" "$defaults" \
    "the key holds the eight values with their defaults and types"
# Wine stores a string of three characters without its terminator as hex(1); with one (which it
# adds when the byte after the data is zero) as "1.0". Either way a REG_SZ reading 1.0.
version=$(user_reg_section "$key_path" | grep -F '"[Version]"=')
expect_match "$version" '^"\[Version\]"=("1\.0"|hex\(1\):31,00,2e,00,30,00)$' \
    "user.reg stores [Version] as the string 1.0"

# Stored values are honoured: one light, red, no clock; [Prominent] survives untouched.
reg_set "$settings_key" "[Num Lights]" REG_DWORD 0
reg_set "$settings_key" "[Color Light]" REG_DWORD 1
reg_set "$settings_key" "[bTime]" REG_DWORD 0
reg_set "$settings_key" "[Prominent]" REG_DWORD 7
saver_stage
saver_begin 0 0
for n in 1 2; do
    sleep 0.7
    frame=$(shot red-$n)
    spots=$(picture blobs "$frame" --min 24,0,0 --max 255,12,12 --rect 0,0,1024,728)
    expect_eq "$(head -n 1 <<<"$spots")" 1 "red-$n: one red spot"
    read -r _ _ w h _ <<<"$(sed -n 2p <<<"$spots" | tr ',' ' ')"
    expect_le "$(( w > h ? w : h ))" 272 "red-$n: the size of one spot"
    # Green or blue anywhere above the caption would be another colour's light or the clock.
    expect_le "$(picture count "$frame" --rect 0,0,1024,728 --min 0,20,0 --max 255,255,255)" 20 \
        "red-$n: no green in the picture"
    expect_le "$(picture count "$frame" --rect 0,0,1024,728 --min 0,0,20 --max 255,255,255)" 20 \
        "red-$n: no blue in the picture"
    expect_le "$(picture count "$frame" --rect 0,0,300,64 --min 120,10,10 --max 255,70,70)" 5 \
        "red-$n: no clock"
    expect_ge "$(picture count "$frame" --rect 0,728,600,40 --min 120,10,10 --max 255,70,70)" 300 \
        "red-$n: the caption is still drawn"
done
key a
saver_expect_ends "the run ends"
expect_eq "$(reg_get "$settings_key" "[Prominent]")/$(reg_get "$settings_key" "[Num Lights]")" \
    "REG_DWORD 0x7/REG_DWORD 0x0" "the stored values are written back unchanged"
