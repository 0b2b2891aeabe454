#!/usr/bin/env bash
# The soak run: a thousand rounds of the five procedures (Radio Info, the ESN and Regional ID tests
# and writes) in virtual time, then fifty Radio Info in real time against the simulated radio on
# the real serial port, printing open descriptors and resident memory at the start and the end.
# Built optimised and without sanitizers in build/soak, so that the memory figures are the
# program's own. Takes about two minutes; not part of CI.
#
#   bash scripts/soak.sh [VIRTUAL_RUNS [REAL_RUNS]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/soak

bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNEL_SANITIZE=OFF \
    -DVARNEL_BUILD_GUI=OFF >/dev/null
cmake --build "$build" --target varnel_soak -j "${VARNEL_SOAK_JOBS:-2}" >/dev/null
exec "$build/tests/faults/varnel_soak" "$@"
