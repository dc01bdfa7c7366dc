#!/usr/bin/env bash
# Starts Bootline from the build folder given as the first argument. With no
# board aliased as COM3 (the window's default port), a simulated board plays
# COM3 until the window is closed.
set -euo pipefail
build_dir=${1:-build}
alias_file="${XDG_CONFIG_HOME:-$HOME/.config}/bootline/ports/COM3"

if [ -e "$alias_file" ]; then
    exec "$build_dir/bin/bootline"
fi

echo "No board aliased as COM3 ($alias_file): a simulated board plays COM3."
echo "Press Open Port, then \"Open File and  Download\" and pick examples/blink.hex."
"$build_dir/bin/bootline-sim" --com 3 --quiet &
simulator=$!
trap 'kill "$simulator" 2>/dev/null || true; wait "$simulator" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
    [ -e "$alias_file" ] && break
    kill -0 "$simulator" 2>/dev/null || { echo "The simulated board did not start." >&2; exit 1; }
    sleep 0.1
done
"$build_dir/bin/bootline"
