#!/usr/bin/env bash
# Tries Varnel without a radio: installs what is missing, builds the release preset, starts the
# simulated radio (a blank radio unless told otherwise) and runs Varnel with COM1 mapped to it.
# The settings live in a private folder for this run only, so the user's own settings
# (~/.config/Tessaran/Varnel.conf) are neither read nor changed. The simulator stops when
# Varnel exits.
#
# Any arguments go to the simulator, e.g.
#   scripts/run.sh --trace
#   scripts/run.sh --profile tools/radio-sim/profiles/programmed.profile
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target varnel varnel-radio-sim

work=$(mktemp -d "${TMPDIR:-/tmp}/varnel-run.XXXXXX")
sim_pid=""
cleanup() {
    if [ -n "$sim_pid" ] && kill -0 "$sim_pid" 2>/dev/null; then
        kill -TERM "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

sim_args=("$@")
case " $* " in
    *" --profile "*) ;;
    *) sim_args=(--profile tools/radio-sim/profiles/blank.profile "${sim_args[@]}") ;;
esac

link="$work/radio"
build/release/tools/radio-sim/varnel-radio-sim "${sim_args[@]}" --link "$link" >"$work/sim.out" &
sim_pid=$!

# The simulator's first line is the device it plays; the link points at it from then on.
for _ in $(seq 1 100); do
    [ -s "$work/sim.out" ] && [ -e "$link" ] && break
    if ! kill -0 "$sim_pid" 2>/dev/null; then
        echo "run.sh: the simulated radio did not start" >&2
        exit 1
    fi
    sleep 0.1
done
if ! [ -e "$link" ]; then
    echo "run.sh: the simulated radio gave no device" >&2
    exit 1
fi
echo "Simulated radio on $(head -n 1 "$work/sim.out"), COM1 -> $link"

mkdir -p "$work/config/Tessaran"
printf '[Ports]\nCOM1=%s\n' "$link" >"$work/config/Tessaran/Varnel.conf"

status=0
XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" build/release/app/varnel || status=$?
exit "$status"
