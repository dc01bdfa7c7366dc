#!/usr/bin/env bash
# Whether the programs' sources in src/ compile for Windows: each one through
# Debian's MinGW-w64 against Debian's Qt 6 headers, syntax only. No Qt built
# for Windows is to be had here, so nothing is linked or run. The build is
# the one of a machine without libelf and libtelnet: the stand-ins that
# refuse ELF files and rfc2217:// are compiled in place of their readers.
# Installs the cross compiler when it is missing; any error or warning fails it.
set -euo pipefail
cd "$(dirname "$0")/.."

compiler=x86_64-w64-mingw32-g++-posix
package=g++-mingw-w64-x86-64-posix
qt=/usr/include/x86_64-linux-gnu/qt6
jobs=${JOBS:-$(nproc)}

# The cross compiler is this check's alone: a newcomer's set-up stays small.
command -v "$compiler" >/dev/null || scripts/apt-install.sh "The Windows check" "$package"
if [ ! -d "$qt/QtCore" ]; then
    echo "The Qt 6 headers are missing from $qt: run scripts/install-deps.sh" >&2
    exit 1
fi

# What src/CMakeLists.txt builds only where pkg-config finds the library,
# and the stand-in built in their place where it does not.
with_libraries=(src/core/image/elffile.cpp src/core/image/elfimage.cpp
                src/core/image/elfdetails.cpp src/core/link/telnetcomport.cpp)
for source in "${with_libraries[@]}"; do
    [ -f "$source" ] || { echo "windows-check: $source is gone: update this list" >&2; exit 1; }
done

# zlib has no MinGW package in Debian; its header is the same on every
# system, so Debian's own is given, alone in a folder of its own.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/zlib"
ln -s /usr/include/zlib.h /usr/include/zconf.h "$work/zlib/"

# Warnings fail it, as they fail the build (BOOTLINE_WERROR).
flags=(-std=c++20 -fsyntax-only -Wall -Wextra -Wpedantic -Werror
       # Qt's headers, made for a Linux build, declare some friends without dllimport.
       -Wno-attributes
       # What Qt's CMake package gives every Windows target.
       -DUNICODE -D_UNICODE -DWIN32 -D_WIN64 -DMINGW_HAS_SECURE_API=1
       -DBOOTLINE_VERSION='"windows-check"'
       -I"$qt/../../../lib/x86_64-linux-gnu/qt6/mkspecs/win32-g++" -I"$qt"
       -Isrc/core -Isrc -isystem "$work/zlib")
for module in Core Gui Network Widgets SerialPort Sql; do
    flags+=(-I"$qt/Qt$module")
done

find src -name '*.cpp' | sort | grep -vxF -f <(printf '%s\n' "${with_libraries[@]}") \
    >"$work/sources"
count=$(wc -l <"$work/sources")
echo "Compiling $count sources for Windows with $compiler, $jobs at a time"
start=$(date +%s)
status=0
# A source's messages are printed together, apart from the others'.
compile='out=$("$@" 2>&1) || status=$?; [ -z "$out" ] || printf "%s\n" "$out"; exit ${status:-0}'
xargs -P "$jobs" -n 1 sh -c "$compile" sh "$compiler" "${flags[@]}" <"$work/sources" || status=$?
seconds=$(($(date +%s) - start))
if [ $status -ne 0 ]; then
    echo "windows-check: some of the $count sources do not compile for Windows (${seconds} s)" >&2
    exit 1
fi
echo "windows-check: $count sources compile for Windows (${seconds} s)"
