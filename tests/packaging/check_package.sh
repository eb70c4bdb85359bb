#!/bin/sh
# The Debian package, made by CPack into a temporary folder: its name, control fields and files;
# unpacked into a throwaway root (dpkg -x, nothing is installed on this machine), the program
# there is stripped, answers -help and renders a frame, the manual page and the changelog are
# the sources compressed. Also `cmake --install` staged under DESTDIR for the /usr/local prefix.
# (Debian's lintian judges the package in check_lintian.sh.)
#
# check_package.sh CPACK CMAKE BUILD_DIR VERSION DESCRIPTION_XML PACKAGING_DIR
set -eu
cpack=$1 cmake=$2 build=$3 version=$4 description=$5 packaging=$6

work=$(mktemp -d "${TMPDIR:-/tmp}/tavrel-package-XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

if ! "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log" >&2
    exit 1
fi
deb=$work/out/tavrel_${version}_amd64.deb
if [ ! -f "$deb" ]; then
    echo "FAIL: no tavrel_${version}_amd64.deb; CPack made: $(ls "$work/out")" >&2
    exit 1
fi

# Control fields.
field() { dpkg-deb --field "$deb" "$1"; }
expect_field() {
    [ "$(field "$1")" = "$2" ] || fail "$1 is '$(field "$1")', not '$2'"
}
expect_field Package tavrel
expect_field Version "$version"
expect_field Architecture amd64
expect_field Section x11
expect_field Suggests "xscreensaver | mate-screensaver"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
depends=$(field Depends)
# Found by dpkg-shlibdeps: each library with the lowest version of its symbols used.
for library in libc6 libstdc++6 libx11-6 libegl1 libstb0; do
    echo "$depends" | tr ',' '\n' | sed 's/^ *//; s/ .*//' | grep -Fqx "$library" ||
        fail "Depends '$depends' lacks $library"
done
echo "$depends" | grep -Eq "libc6 \(>= [0-9.]+\)" || fail "Depends '$depends': libc6 without a version"
case "$depends" in *xscreensaver*) fail "xscreensaver is a Depends: '$depends'" ;; esac
summary=$(field Description | head -n 1)
long=$(field Description | tail -n +2)
[ -n "$summary" ] && [ ${#summary} -le 80 ] || fail "short description '$summary'"
echo "$long" | grep -q "XScreenSaver" || fail "long description: '$long'"

# Exactly these files, root's, with these modes.
dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ { print $1, $2, $6 }' | sort >"$work/files"
cat >"$work/expected" <<EOF
-rw-r--r-- root/root ./usr/share/applications/screensavers/tavrel.desktop
-rw-r--r-- root/root ./usr/share/doc/tavrel/README.Debian
-rw-r--r-- root/root ./usr/share/doc/tavrel/changelog.Debian.gz
-rw-r--r-- root/root ./usr/share/doc/tavrel/copyright
-rw-r--r-- root/root ./usr/share/man/man6/tavrel.6x.gz
-rw-r--r-- root/root ./usr/share/xscreensaver/config/tavrel.xml
-rwxr-xr-x root/root ./usr/libexec/xscreensaver/tavrel
EOF
sort -o "$work/expected" "$work/expected"
diff "$work/expected" "$work/files" >&2 || fail "the package's files differ from the expected ones"

# Unpacked, as dpkg would install it.
root=$work/root
dpkg-deb -x "$deb" "$root"
program=$root/usr/libexec/xscreensaver/tavrel
cmp -s "$description" "$root/usr/share/xscreensaver/config/tavrel.xml" ||
    fail "the packaged tavrel.xml is not $description"
head -n 1 "$root/usr/share/doc/tavrel/copyright" |
    grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
    fail "the copyright file is not in the machine-readable format"
! readelf -S "$program" | grep -Eq '\.symtab|\.comment|\.debug' || fail "the program is not stripped"
# Debian's hardening: bound at start, read-only relocations, position-independent.
readelf -d "$program" | grep -Eq 'BIND_NOW|FLAGS.*NOW' || fail "the program is not linked -z now"
readelf -l "$program" | grep -q GNU_RELRO || fail "the program has no read-only relocations"
readelf -h "$program" | grep -q 'DYN (' || fail "the program is not position-independent"
doc=$root/usr/share/doc/tavrel
for pair in "$doc/changelog.Debian.gz $packaging/changelog.Debian" \
    "$root/usr/share/man/man6/tavrel.6x.gz $packaging/tavrel.6x"; do
    set -- $pair
    gzip -dc "$1" | cmp -s - "$2" || fail "$1 is not $2 compressed"
done

"$program" -help >"$work/help.txt" 2>&1 || fail "tavrel -help: status $?"
grep -q '^Usage: tavrel' "$work/help.txt" || fail "tavrel -help: $(head -n 3 "$work/help.txt")"
status=0
env -u DISPLAY -u XSCREENSAVER_WINDOW XDG_CONFIG_HOME="$work/config" \
    "$program" -render "$work/frame.png" -size 64x40 -lights 5 >"$work/render.txt" 2>&1 || status=$?
[ "$status" -eq 0 ] || fail "tavrel -render: status $status: $(cat "$work/render.txt")"
[ "$(head -c 8 "$work/frame.png" 2>/dev/null | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] ||
    fail "tavrel -render wrote no PNG"

# cmake --install for /usr/local into a staging folder: the same layout, nothing else.
DESTDIR=$work/stage "$cmake" --install "$build" --prefix /usr/local >"$work/install.log" 2>&1 ||
    { cat "$work/install.log" >&2; fail "cmake --install"; }
(cd "$work/stage" && find . -type f | sort) >"$work/staged"
sed 's,.* \./usr/,./usr/local/,' "$work/expected" | sort >"$work/expected-staged"
diff "$work/expected-staged" "$work/staged" >&2 || fail "cmake --install put other files"

if [ "$failures" -ne 0 ]; then
    exit 1
fi
echo "$(basename "$deb"): $(field Depends); Suggests: $(field Suggests)"
