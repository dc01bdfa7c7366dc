#!/usr/bin/env bash
# clang-tidy with the checks in .clang-tidy over the .cpp files in src/,
# tools/ and bench/, from the compile database of a built folder (default
# build). Any finding fails; the files with findings are listed at the end.
# A file whose input is unchanged since a clean run is skipped (see
# scripts/tidy-cache.py): results are kept in ~/.cache/bootline-tidy, or in
# BOOTLINE_TIDY_CACHE; BOOTLINE_TIDY_CACHE=off checks every file.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

if ! command -v clang-tidy-14 >/dev/null || ! command -v clang++-14 >/dev/null; then
    echo "clang-tidy-14 or clang++-14 is missing (Debian packages clang-tidy-14, clang-14):" \
         "static checks skipped" >&2
    exit 0
fi

log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
python3 scripts/tidy-cache.py "$build" "^$PWD/(src|tools|bench)/.*\.cpp$" >"$log" || status=$?
sed -i -E 's/\x1b\[[0-9;]*m//g' "$log"
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
