#!/usr/bin/env bash
# The Windows download as a user gets it: tavrel-<version>-windows.zip holds tavrel.scr and
# INSTALL.txt at its top and nothing else; the program is this build's, stripped, with its
# manifest; the text has Windows line ends and says where the program goes and where the settings
# live.
#   check-windows-zip.sh ZIP BUILT_SCR VERSION
set -euo pipefail
zip=$1 built=$2 version=$3
fail() { echo "FAIL: $*" >&2; exit 1; }
[ -f "$zip" ] || fail "no $zip: cmake --build --preset windows --target package"
[ -f "$built" ] || fail "no $built: cmake --build --preset windows"

work=$(mktemp -d)
trap 'rm -rf -- "$work"' EXIT
entries=$(cmake -E tar tf "$zip" | LC_ALL=C sort | paste -sd ' ')
[ "$entries" = "INSTALL.txt tavrel.scr" ] || fail "the zip holds '$entries'"
(cd "$work" && cmake -E tar xf "$zip")

# The built program without its symbols, byte for byte but for the two header fields a strip
# writes anew (time stamp, checksum): a zip made from an older build fails.
x86_64-w64-mingw32-strip -o "$work/expected.scr" "$built"
cp -- "$work/tavrel.scr" "$work/packaged.scr"
for file in "$work/expected.scr" "$work/packaged.scr"; do
    header=$(od -An -tu4 -j 60 -N 4 "$file" | tr -d ' ')
    for field in $((header + 8)) $((header + 88)); do
        printf '\0\0\0\0' | dd of="$file" bs=1 seek="$field" conv=notrunc status=none
    done
done
cmp -s "$work/packaged.scr" "$work/expected.scr" || fail "tavrel.scr is not this build's, stripped"
x86_64-w64-mingw32-objdump -f "$work/tavrel.scr" | grep -q 'file format pei-x86-64' \
    || fail "tavrel.scr is no 64-bit Windows program"
if x86_64-w64-mingw32-objdump -h "$work/tavrel.scr" | grep -q '\.debug'; then
    fail "tavrel.scr carries debug sections"
fi
# Its manifest, kept in the resources as text: aware of each monitor's scale.
grep -qa '<dpiAwareness[^>]*>PerMonitorV2, PerMonitor</dpiAwareness>' "$work/tavrel.scr" \
    || fail "tavrel.scr carries no manifest asking for per-monitor DPI awareness"

text=$work/INSTALL.txt
lines=$(wc -l <"$text")
crlf=$(grep -c $'\r$' "$text" || true)
if [ "$lines" = 0 ] || [ "$crlf" != "$lines" ]; then
    fail "INSTALL.txt: $crlf of $lines lines end in CR LF"
fi
for words in "3D Tavrel Screensaver $version for Windows" \
    'Right-click tavrel.scr and choose "Install"' 'C:\Windows\System32' 'C:\Windows\SysWOW64' \
    'HKEY_CURRENT_USER\Control Panel\Desktop\3D Tavrel Screensaver'; do
    grep -qF -- "$words" "$text" || fail "INSTALL.txt does not say '$words'"
done
echo "ok: $(basename "$zip"): tavrel.scr ($(wc -c <"$work/tavrel.scr") bytes, stripped) and" \
    "INSTALL.txt ($lines lines)"
