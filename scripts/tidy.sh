#!/usr/bin/env bash
# clang-tidy with the checks in .clang-tidy over the .cpp files in src/,
# tools/ and bench/, from the compile database of a built folder (default
# build). Any finding fails; the files with findings are listed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

if ! command -v run-clang-tidy-14 >/dev/null; then
    echo "run-clang-tidy-14 is missing (Debian package clang-tidy-14): static checks skipped" >&2
    exit 0
fi

log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
run-clang-tidy-14 -p "$build" -j 2 -quiet -clang-tidy-binary clang-tidy-14 \
    "^$PWD/(src|tools|bench)/.*\.cpp$" >"$log" 2>&1 || status=$?
sed -i -E 's/\x1b\[[0-9;]*m//g' "$log" # run-clang-tidy always asks for colour
grep -v -e '^Running clang-tidy' -e 'warnings generated' -e '^Suppressed' \
    -e '^Use -header-filter' -e 'treated as errors' -e '^clang-tidy-14 ' "$log" || true

findings=$(grep -oE "^$PWD/[^:]+:[0-9]+:[0-9]+: (warning|error):" "$log" |
    sed -E "s|^$PWD/||; s|:.*||" | sort | uniq -c || true)
if [ -n "$findings" ]; then
    echo "clang-tidy findings, per file:"
    echo "$findings"
fi
[ "$status" -eq 0 ] && echo "clang-tidy: clean"
exit "$status"
