#!/usr/bin/env bash
# Installs the Debian packages that Bootline needs to build, test and run,
# when any is missing. Without the rights to install, says what to run.
set -euo pipefail

packages=(cmake make g++ qt6-base-dev qt6-serialport-dev fonts-dejavu-core
          clang libclang-rt-14-dev clang-tidy) # the fuzz targets and static checks of make check
# ELF firmware files are read with libelf, which CMake finds through pkg-config.
packages+=(libelf-dev pkg-config)
# The CRC-32 of a firmware image is zlib's.
packages+=(zlib1g-dev)
# Telnet for serial device servers on rfc2217:// ports, and the ser2net their tests run.
packages+=(libtelnet-dev ser2net)
# Packing and checking the .deb (make package, make check).
packages+=(dpkg-dev desktop-file-utils lintian)
# Compiler cache: CI clones anew each run, so its builds reuse objects from earlier ones.
packages+=(ccache)
# The clang-tidy cache of make check (scripts/tidy-cache.py).
packages+=(python3)
# The plot of make bench.
packages+=(gnuplot-nox)
# The record store's Qt SQL drivers, and the server its PostgreSQL test starts.
packages+=(libqt6sql6-sqlite libqt6sql6-psql postgresql)

if ! command -v dpkg-query >/dev/null; then
    echo "Not a Debian system: make sure CMake 3.25+, a C++20 compiler, Qt 6.4+" \
         "(Widgets, Serial Port, SQL with its SQLite and PostgreSQL drivers, Test)," \
         "libelf from elfutils and libtelnet with pkg-config, PostgreSQL and ser2net are installed." >&2
    exit 0
fi

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

exec "$(dirname "$0")/apt-install.sh" Bootline "${missing[@]}"
