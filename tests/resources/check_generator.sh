#!/bin/sh
# Draws the pictures afresh and compares them with the committed files. Exits 77 (skipped) when
# Debian's python3 is missing; the generator itself does so without python3-pil or the fonts.
if [ ! -x /usr/bin/python3 ]; then
    echo "check_generator: /usr/bin/python3 not installed, skipped"
    exit 77
fi
exec /usr/bin/python3 "$1/tools/make_resources.py" --check
