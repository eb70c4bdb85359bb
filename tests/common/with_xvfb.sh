#!/usr/bin/env bash
# Runs a command against a private virtual X server. The server picks a free display number
# itself (-displayfd), so parallel runs on one machine cannot race for the same one. -noreset:
# otherwise the server resets when a test closes its last connection and refuses the next one.
set -euo pipefail
dir=$(mktemp -d)
trap 'kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; rm -rf "$dir"' EXIT
mkfifo "$dir/display"
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp -noreset 3>"$dir/display" >"$dir/log" 2>&1 &
server=$!
if ! read -r -t 30 number <"$dir/display"; then
    echo "with_xvfb.sh: Xvfb did not start" >&2
    cat "$dir/log" >&2
    exit 1
fi
DISPLAY=":$number" "$@"
