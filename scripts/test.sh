#!/usr/bin/env bash
# Installs what is missing, makes the Debian package from the release build, then configures the
# sanitizer build, builds it and runs the whole suite, the checks of the package included; last,
# the Windows build and its tests under Wine (scripts/test-windows.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
# The Debian package comes from the optimised build, never from the sanitizer one; the suite's
# tests labelled "package" check what this makes (build/release/varnel_<version>_<arch>.deb).
# Only what the package holds is built, then packed: the same as the target "package", without
# compiling the release build's own tests.
cmake --preset release >/dev/null
cmake --build --preset release --target varnel_package_contents
(cd build/release && cpack --config CPackConfig.cmake)
cmake --preset dev >/dev/null
cmake --build --preset dev
ctest --preset dev -j2
# Then the Windows build: the core and varnel-cli cross-built with MinGW-w64, their tests and the
# command-line tool's runs against simulated radios under Wine.
bash scripts/test-windows.sh
