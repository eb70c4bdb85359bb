#!/bin/sh
# The desktop entry through which MATE's screensaver lists Tavrel, as `cmake --install` writes it
# for the /usr prefix (the package's) and for /usr/local: valid under desktop-file-validate,
# with the keys Debian's entry for each XScreenSaver display mode has (compared with one that
# is installed, when there is one), the program named by its path below the prefix.
#
# check_desktop_entry.sh CMAKE BUILD_DIR
set -eu
cmake=$1 build=$2

work=$(mktemp -d "${TMPDIR:-/tmp}/tavrel-desktop-XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
keys() { sed -n 's/^\([A-Za-z]*\)=.*/\1/p' "$1" | sort; }

for prefix in /usr /usr/local; do
    stage=$work/stage$(echo "$prefix" | tr / -)
    DESTDIR=$stage "$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 ||
        { cat "$work/install.log" >&2; exit 1; }
    entry=$stage$prefix/share/applications/screensavers/tavrel.desktop
    [ -f "$entry" ] || { fail "cmake --install --prefix $prefix wrote no $entry"; continue; }
    # Hints (a category that is no main one, as every screensaver's) are no faults.
    if ! desktop-file-validate "$entry" >"$work/validate" 2>&1 ||
        grep -Eq 'error:|warning:' "$work/validate"; then
        fail "desktop-file-validate $prefix: $(cat "$work/validate")"
    fi
    program=$prefix/libexec/xscreensaver/tavrel
    for line in '[Desktop Entry]' "Exec=$program --root" "TryExec=$program" 'Type=Application' \
        'Categories=Screensaver;' 'OnlyShowIn=MATE;' 'Name=Tavrel' 'Terminal=false'; do
        grep -Fqx "$line" "$entry" || fail "$prefix: no line '$line' in the entry"
    done
    [ -x "$stage$program" ] || fail "$prefix: no program at $program"
done

# The keys of Debian's own entries for XScreenSaver's display modes.
debian=/usr/share/applications/screensavers/bumps.desktop
if [ -f "$debian" ]; then
    keys "$debian" >"$work/debian-keys"
    keys "$work/stage-usr/usr/share/applications/screensavers/tavrel.desktop" >"$work/our-keys"
    diff "$work/debian-keys" "$work/our-keys" >&2 || fail "the keys differ from those of $debian"
else
    echo "no $debian (xscreensaver-data-extra): its keys not compared"
fi

[ "$failures" -eq 0 ] || exit 1
echo "tavrel.desktop: valid, for /usr and /usr/local"
