#!/usr/bin/env bash
# Cross-builds the Windows core with MinGW-w64 (preset windows) and runs its tests under Wine: the
# unit tests, and the Windows serial port against simulated radios whose pseudo-terminals are
# mapped to COM1 to COM3. Installs what is missing first (as root; otherwise prints the command).
# Each run has a Wine prefix of its own, made once and removed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

packages=(cmake ninja-build g++ googletest g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev wine
          wine64)

install_missing() {
    local missing=() p
    for p in "${packages[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$p")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing packages: ${missing[*]}" >&2
        echo "Run first: sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
        exit 1
    fi
    echo "Installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

build() {
    export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER-ccache}
    command -v ccache >/dev/null || unset CMAKE_CXX_COMPILER_LAUNCHER
    cmake --preset windows >/dev/null
    nice -n 10 cmake --build --preset windows
    # The simulated radio runs on Linux, beside Wine: a small build of its own, without Qt.
    cmake -S . -B build/windows-host -G Ninja -DCMAKE_BUILD_TYPE=Release -DVARNEL_BUILD_GUI=OFF \
        -DVARNEL_BUILD_TESTS=OFF >/dev/null
    nice -n 10 cmake --build build/windows-host --target varnel-radio-sim
}

run_dir=$(mktemp -d /tmp/varnel-wine.XXXXXX)
sim_pids=()
cleanup() {
    local pid
    for pid in "${sim_pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
        wineserver -k 2>/dev/null || true
        wineserver -w 2>/dev/null || true
    fi
    rm -rf "$run_dir"
}
trap cleanup EXIT

# Starts Wine's own processes with their output in the run's log: a wine program started later
# would otherwise lend them its standard output, and a reader of that output (ctest) would wait
# for them to end.
start_wine() {
    wineserver -p >>"$run_dir/wine.log" 2>&1
    wineboot >>"$run_dir/wine.log" 2>&1
}

# A prefix made afresh for this run (where the windows test preset looks for it), quiet, without
# the .NET and HTML runtimes it would offer to fetch. Wine's server keeps its socket under
# TMPDIR: the run's own folder, removed at the end.
make_wine_prefix() {
    export WINEPREFIX=${VARNEL_WINE_PREFIX:-$root/build/windows/wine-prefix} WINEARCH=win64
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml=" TMPDIR=$run_dir
    rm -rf "$WINEPREFIX"
    echo "Making a Wine prefix in $WINEPREFIX"
    wineboot --init >>"$run_dir/wine.log" 2>&1
    wineserver -w
    start_wine
}

# map_com_ports COM1=/dev/pts/3 COM2=/dev/pts/4 ...: Wine takes its COM ports from the registry
# value under HKLM\Software\Wine\Ports when its server starts, so the server is restarted.
map_com_ports() {
    local pair
    for pair in "$@"; do
        wine reg add 'HKLM\Software\Wine\Ports' /v "${pair%%=*}" /t REG_SZ /d "${pair#*=}" /f \
            >>"$run_dir/wine.log" 2>&1
    done
    wineserver -k
    wineserver -w
    start_wine
    for pair in "$@"; do
        local link="$WINEPREFIX/dosdevices/$(echo "${pair%%=*}" | tr 'A-Z' 'a-z')"
        if [ "$(readlink "$link")" != "${pair#*=}" ]; then
            echo "Wine did not map ${pair%%=*} to ${pair#*=} ($link: $(readlink "$link"))" >&2
            exit 1
        fi
    done
}

# start_sim NAME ARGS...: starts a simulated radio; its device is then in sim_device.
start_sim() {
    local name=$1
    shift
    build/windows-host/tools/radio-sim/varnel-radio-sim "$@" >"$run_dir/$name.out" \
        2>"$run_dir/$name.err" &
    sim_pids+=($!)
    sim_device=
    local i
    for i in $(seq 100); do
        sim_device=$(head -n 1 "$run_dir/$name.out" 2>/dev/null || true)
        [ -n "$sim_device" ] && return 0
        sleep 0.05
    done
    echo "The simulated radio $name did not start:" >&2
    cat "$run_dir/$name.err" >&2
    exit 1
}

# Pulls the adapter on request: once the request file appears, the simulator behind that line
# stops (its pseudo-terminal goes away under the open port), then the file is removed.
pull_adapter_on_request() {
    local request=$1 pid=$2
    (
        for _ in $(seq 1200); do
            if [ -e "$request" ]; then
                kill "$pid" 2>/dev/null || true
                while kill -0 "$pid" 2>/dev/null; do sleep 0.05; done
                rm -f "$request"
                exit 0
            fi
            sleep 0.1
        done
    ) &
    sim_pids+=($!)
}

start=$(date +%s)
# scripts/test-windows-gui.sh takes the functions above and runs cases of its own.
if [ "${BASH_SOURCE[0]}" != "$0" ]; then
    return 0
fi
install_missing
build

make_wine_prefix
profile=tools/radio-sim/profiles/blank.profile
start_sim radio --profile "$profile"
radio=$sim_device
start_sim silent --profile "$profile" --fault silence
silent=$sim_device
start_sim hangup --profile "$profile"
hangup=$sim_device
hangup_pid=${sim_pids[-1]}
map_com_ports "COM1=$radio" "COM2=$silent" "COM3=$hangup"

hangup_request=$run_dir/pull-COM3
pull_adapter_on_request "$hangup_request" "$hangup_pid"
export VARNEL_WIN_RADIO_PORT=COM1 VARNEL_WIN_SILENT_PORT=COM2 VARNEL_WIN_HANGUP_PORT=COM3
export VARNEL_WIN_HANGUP_FILE="Z:${hangup_request//\//\\}"

# The command-line tool's runs under Wine against COM1 will go here once it exists.

status=0
ctest --preset windows -j2 || status=$?
if [ $status -ne 0 ]; then
    echo "--- the end of Wine's own log ---" >&2
    tail -n 20 "$run_dir/wine.log" >&2 || true
fi

# The window, varnel.exe, driven with the keyboard on a virtual display: in a prefix of its own.
VARNEL_GUI_BUILT=1 scripts/test-windows-gui.sh || status=$?
echo "Windows build and tests took $(($(date +%s) - start)) s in all"
exit $status
