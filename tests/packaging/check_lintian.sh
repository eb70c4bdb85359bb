#!/bin/sh
# Debian's lintian on the Debian package, made by CPack from the same configuration as
# `cpack --preset linux` (into a temporary folder, since ctest runs before tools/test's cpack).
# Any error or warning fails, but initial-upload-closes-no-bugs: a package whose changelog
# closes no bug in Debian's tracker always carries it. Prints lintian's whole report.
#
# check_lintian.sh CPACK BUILD_DIR PACKAGE_FILE_NAME
set -eu
cpack=$1 build=$2 name=$3

work=$(mktemp -d "${TMPDIR:-/tmp}/tavrel-lintian-XXXXXX")
trap 'rm -rf "$work"' EXIT
if ! "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log" >&2
    exit 1
fi
deb=$work/out/$name
if [ ! -f "$deb" ]; then
    echo "FAIL: no $name; CPack made: $(ls "$work/out")" >&2
    exit 1
fi

# Every level shown, so that the log tells all; only errors and warnings count.
status=0
lintian --display-info --pedantic --info "$deb" >"$work/report" 2>&1 || status=$?
grep -v '^running with root privileges' "$work/report" >"$work/tags" || true
echo "lintian $(lintian --version | sed 's/^Lintian v//') on $name:"
cat "$work/tags"
if grep -E '^[EW]: ' "$work/tags" | grep -qv ' initial-upload-closes-no-bugs '; then
    echo "FAIL: lintian reports errors or warnings (above)" >&2
    exit 1
fi
if [ "$status" -ne 0 ] && ! grep -q '^[EW]: ' "$work/tags"; then
    echo "FAIL: lintian ended with status $status" >&2
    exit 1
fi
echo "no error and no warning but initial-upload-closes-no-bugs"
