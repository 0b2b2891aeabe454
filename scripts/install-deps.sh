#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when any is missing.
# As root it runs apt-get itself; otherwise it prints the one command to run first.
set -euo pipefail

# The last line is what making and checking the Debian package needs: dpkg-shlibdeps (dpkg-dev)
# and file for its dependencies, and the validators that the tests labelled "package" run.
packages=(cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev googletest libgtest-dev
          libgmock-dev clang libclang-rt-14-dev libsqlite3-dev
          dpkg-dev file lintian desktop-file-utils appstream ${VARNEL_EXTRA_PACKAGES:-})

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages: ${missing[*]}" >&2
    echo "Run first: sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
