#!/usr/bin/env bash
# Installs what is missing, configures the sanitizer build, builds it and runs the whole suite.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset dev >/dev/null
cmake --build --preset dev
ctest --preset dev -j2
