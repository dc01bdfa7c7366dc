#!/usr/bin/env bash
# Starts Bootline from the build folder given as the first argument.
set -euo pipefail
build_dir=${1:-build}
exec "$build_dir/bin/bootline"
