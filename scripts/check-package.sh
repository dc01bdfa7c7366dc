#!/usr/bin/env bash
# Builds the .deb in the build folder given as the first argument, checks it
# with lintian, installs it with apt-get, runs both programs from /usr/bin and
# removes it again. The machine is left as it was found, also when a step fails.
set -euo pipefail
build_dir=$(realpath "${1:-build}")

if [ "$(id -u)" -eq 0 ]; then
    as_root=()
elif command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
    as_root=(sudo)
else
    echo "check-package: skipped, installing the .deb needs root or password-less sudo." >&2
    exit 0
fi
if dpkg-query -W -f='${Status}' bootline 2>/dev/null | grep -q 'install ok installed'; then
    echo "check-package: skipped, bootline is installed here already and is left alone." >&2
    exit 0
fi

# What the package holds, and only that: the tree's tests may not be built.
cmake --build "$build_dir" --target packaged
(cd "$build_dir" && cpack -G DEB >/dev/null)
deb=$(ls -t "$build_dir"/bootline_*.deb | head -n 1)
echo "check-package: $deb"

if lintian --version >/dev/null 2>&1; then
    # Root may run lintian; it only reads the package.
    lintian --allow-root --fail-on error "$deb"
else
    echo "check-package: lintian is missing (scripts/install-deps.sh installs it)." >&2
    exit 1
fi

installed_before=$(mktemp)
dpkg-query -W -f='${Package}\n' | sort >"$installed_before"
remove_what_we_installed() {
    local added
    added=$(comm -13 "$installed_before" <(dpkg-query -W -f='${Package}\n' | sort) | grep -v '^bootline$' || true)
    if dpkg-query -W -f='${Status}' bootline 2>/dev/null | grep -q 'installed'; then
        "${as_root[@]}" apt-get remove -y --purge bootline >/dev/null
    fi
    if [ -n "$added" ]; then
        # shellcheck disable=SC2086 # one package a word
        "${as_root[@]}" apt-get remove -y --purge $added >/dev/null
    fi
    rm -f "$installed_before"
}
trap remove_what_we_installed EXIT

"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "$deb"
/usr/bin/bootline-cli --version
status=0
QT_QPA_PLATFORM=offscreen timeout 3 /usr/bin/bootline || status=$?
if [ "$status" -ne 124 ]; then
    echo "check-package: the installed window stopped on its own (exit $status)" \
         "instead of running until closed." >&2
    exit 1
fi
/usr/bin/bootline-station --version
echo "check-package: the package installs, runs and removes cleanly."
