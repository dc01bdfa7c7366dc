#!/usr/bin/env bash
# apt-install.sh WHO PACKAGE...: installs the Debian packages as root or with
# password-less sudo; otherwise says what to run, naming WHO needs them, and fails.
set -euo pipefail
who=$1
shift

echo "Installing $*"
if [ "$(id -u)" -eq 0 ]; then
    apt-get update
    DEBIAN_FRONTEND=noninteractive apt-get install -y "$@"
elif command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
    sudo apt-get update
    sudo DEBIAN_FRONTEND=noninteractive apt-get install -y "$@"
else
    echo "$who needs these packages: $*" >&2
    echo "Install them with:  sudo apt-get update && sudo apt-get install -y $*" >&2
    exit 1
fi
