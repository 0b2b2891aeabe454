#!/usr/bin/env bash
# Cross-builds the Windows core with MinGW-w64 (preset windows) and runs its tests under Wine: the
# unit tests, and the Windows serial port against simulated radios whose pseudo-terminals are
# mapped to COM1 to COM4. Installs what is missing first (as root; otherwise prints the command).
# Each run has a Wine prefix of its own, made once and removed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

# npm fetches the SQLite amalgamation of the Windows build (checked against its pinned SHA-256 at
# configure); libsqlite3-dev is the Linux one of the simulator's host build; msitools and wixl
# make and read the installer.
packages=(cmake ninja-build g++ googletest nlohmann-json3-dev g++-mingw-w64-x86-64-posix
          mingw-w64-x86-64-dev wine wine64 npm libsqlite3-dev msitools wixl)

install_missing() {
    local missing=() p
    for p in "${packages[@]}"; do
        # Node.js from NodeSource ships npm itself and conflicts with Debian's npm package.
        if [ "$p" = npm ] && command -v npm >/dev/null; then
            continue
        fi
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
    export CMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER-ccache}
    command -v ccache >/dev/null || unset CMAKE_CXX_COMPILER_LAUNCHER CMAKE_C_COMPILER_LAUNCHER
    cmake --preset windows >/dev/null
    nice -n 10 cmake --build --preset windows
    nice -n 10 cmake --build --preset windows --target msi
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
        kill -CONT "$pid" 2>/dev/null || true  # a stalled one ends only once it runs again
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
# the .NET and HTML runtimes it would offer to fetch, and without Wine's menu builder, which would
# copy the installer's Start-menu shortcut into this machine's own menus. Wine's server keeps its
# socket under TMPDIR: the run's own folder, removed at the end.
make_wine_prefix() {
    export WINEPREFIX=${VARNEL_WINE_PREFIX:-$root/build/windows/wine-prefix} WINEARCH=win64
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d" TMPDIR=$run_dir
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

# start_sim NAME ARGS...: starts a simulated radio; its device is then in sim_device, and in
# sim_clock_ms[NAME] the host's wall clock in ms when it started: its trace's times count from a
# moment a few ms after that.
declare -A sim_clock_ms=()
start_sim() {
    local name=$1
    shift
    local started=${EPOCHREALTIME/[.,]/}
    # shellcheck disable=SC2034  # read by scripts/test-windows-gui.sh
    sim_clock_ms[$name]=$((10#$started / 1000))
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

# Stalls the line on request: once the request file appears, the simulator behind that line is
# stopped (it reads nothing more, so the line's buffer fills and writes stay under way) and the
# file is removed; the next request lets it go on. Ends with the simulator.
stall_line_on_request() {
    local request=$1 pid=$2
    (
        stopped=0
        while kill -0 "$pid" 2>/dev/null; do
            if [ -e "$request" ]; then
                if [ $stopped -eq 0 ]; then
                    kill -STOP "$pid" && stopped=1
                else
                    kill -CONT "$pid" && stopped=0
                fi
                rm -f "$request"
            fi
            sleep 0.1
        done
    ) &
    sim_pids+=($!)
}

# ---- varnel-cli.exe under Wine -----------------------------------------------------------------
# The command-line tool against simulated radios. COM1 is a link that each case points at a
# simulator of its own (a profile, a fault, a kill mid-exchange); COM2 is a second radio that only
# the app's port choice in the registry leads to. Each case checks the exit status, what reaches
# standard output and standard error, the time against the protocol's deadlines, and the
# processor time of the tool and of Wine's server: a wait that spins shows there.

cli_exe=build/windows/cli/varnel-cli.exe
cli_passed=0
cli_failed=0
cli_sim_pid=
cli_max_cpu_ms=300  # a run's own processor time (about 20 to 60 ms); a spinning wait exceeds it

# The processor time so far of Wine's server for this prefix, in ms (0 when it is not found).
server_cpu_ms() {
    local p comm fields
    if [ -z "${wine_server_pid:-}" ] || [ ! -e "/proc/$wine_server_pid" ]; then
        wine_server_pid=
        for p in /proc/[0-9]*; do
            { read -r comm <"$p/comm"; } 2>/dev/null || continue
            case "$comm" in wineserver*) ;; *) continue ;; esac
            if grep -qxF "WINEPREFIX=$WINEPREFIX" <<<"$(tr '\0' '\n' <"$p/environ" 2>/dev/null)"; then
                wine_server_pid=${p#/proc/}
                break
            fi
        done
    fi
    [ -n "$wine_server_pid" ] || { echo 0; return; }
    read -r -a fields <"/proc/$wine_server_pid/stat"
    # utime and stime, fields 14 and 15, counted after the name in parentheses (field 2).
    local i=0
    while [[ ${fields[i]} != *")" ]]; do i=$((i + 1)); done
    echo $(((${fields[i + 12]:-0} + ${fields[i + 13]:-0}) * 1000 / $(getconf CLK_TCK)))
}

# The processor time of this shell's finished children, in ms, from a record of bash's times
# builtin. The builtin runs in this shell itself (a subshell has children of its own), right
# before the tool starts and right after it has been waited for, so that only the tool and what
# the case does meanwhile counts.
children_cpu_ms() {
    awk 'NR == 2 { split($1, u, /[ms]/); split($2, s, /[ms]/);
                   printf "%d\n", ((u[1] + s[1]) * 60 + u[2] + s[2]) * 1000 }' "$1"
}

now_ms() {
    echo $(($(date +%s%N) / 1000000))
}

# cli_radio PROFILE ARGS...: COM1 is now a fresh simulated radio of that profile, with a trace of
# its requests in $run_dir/cli-com1.out.
cli_radio() {
    local profile=$1
    shift
    if [ -n "$cli_sim_pid" ]; then
        kill "$cli_sim_pid" 2>/dev/null || true
        wait "$cli_sim_pid" 2>/dev/null || true
    fi
    start_sim cli-com1 --profile "tools/radio-sim/profiles/$profile.profile" --trace \
        --link "$run_dir/com1" "$@"
    cli_sim_pid=${sim_pids[-1]}
}

# Sets cli_requests to the number of requests the simulator on COM1 has had (with builtins only:
# it runs while the tool's processor time is measured).
cli_count_requests() {
    local line
    cli_requests=0
    while IFS= read -r line; do
        [[ $line == *"tool->radio"* ]] && cli_requests=$((cli_requests + 1))
    done <"$run_dir/cli-com1.out"
    return 0
}

# cli_start ARGS...: starts varnel-cli.exe under Wine; cli_finish waits for it and fills cli_status,
# cli_wall_ms, cli_cpu_ms and cli_server_ms; its output is in $run_dir/cli.out and cli.err.
cli_start() {
    cli_server_before=$(server_cpu_ms)
    cli_started=$(now_ms)
    times >"$run_dir/times.before"
    wine "$cli_exe" "$@" >"$run_dir/cli.out" 2>"$run_dir/cli.err" </dev/null &
    cli_pid=$!
}

cli_finish() {
    cli_status=0
    wait "$cli_pid" || cli_status=$?
    times >"$run_dir/times.after"
    cli_wall_ms=$(($(now_ms) - cli_started))
    cli_cpu_ms=$(($(children_cpu_ms "$run_dir/times.after") -
        $(children_cpu_ms "$run_dir/times.before")))
    cli_server_ms=$(($(server_cpu_ms) - cli_server_before))
}

cli_run() {
    cli_start "$@"
    cli_finish
}

# Waits (up to 10 s) until the simulator on COM1 has had its n-th request.
cli_wait_for_request() {
    local n=$1 i
    for i in $(seq 200); do
        cli_count_requests
        [ "$cli_requests" -ge "$n" ] && return 0
        sleep 0.05
    done
    return 1
}

# cli_judge NAME STATUS MIN_MS MAX_MS [OUT [ERR]]: judges the run just finished. OUT and ERR are
# the exact texts expected on standard output and standard error, "-" for no check; a text
# starting with "~" only has to be contained. Further conditions may be added to cli_problems
# before the call.
cli_problems=()
cli_judge() {
    local name=$1 want_status=$2 min_ms=$3 max_ms=$4 want_out=${5:--} want_err=${6:--}
    local problems=("${cli_problems[@]}")
    cli_problems=()
    [ "$cli_status" -eq "$want_status" ] || problems+=("exit status $cli_status, not $want_status")
    [ "$cli_wall_ms" -ge "$min_ms" ] || problems+=("ended after $cli_wall_ms ms, before $min_ms ms")
    [ "$cli_wall_ms" -le "$max_ms" ] || problems+=("took $cli_wall_ms ms, more than $max_ms ms")
    [ "$cli_cpu_ms" -le "$cli_max_cpu_ms" ] ||
        problems+=("used $cli_cpu_ms ms of processor time: it spins")
    [ "$cli_server_ms" -le "$cli_max_cpu_ms" ] ||
        problems+=("Wine's server used $cli_server_ms ms of processor time: it spins")
    cli_text_is "$run_dir/cli.out" "$want_out" || problems+=("unexpected standard output")
    cli_text_is "$run_dir/cli.err" "$want_err" || problems+=("unexpected standard error")
    local figures="exit $cli_status in $cli_wall_ms ms, processor $cli_cpu_ms ms (server $cli_server_ms ms)"
    if [ ${#problems[@]} -eq 0 ]; then
        cli_passed=$((cli_passed + 1))
        echo "PASS  varnel-cli: $name: $figures"
        return 0
    fi
    cli_failed=$((cli_failed + 1))
    echo "FAIL  varnel-cli: $name: $figures"
    local problem
    for problem in "${problems[@]}"; do
        echo "        - $problem"
    done
    echo "        standard output:"
    sed 's/^/          | /' "$run_dir/cli.out"
    echo "        standard error:"
    sed 's/^/          | /' "$run_dir/cli.err"
    return 0
}

# cli_text_is FILE EXPECTED: "-" matches anything, "~TEXT" any file holding TEXT.
cli_text_is() {
    local file=$1 want=$2
    case "$want" in
        -) return 0 ;;
        "~"*) grep -qF -- "${want#"~"}" "$file" ;;
        *) [ "$(cat "$file"; echo .)" = "$want." ] ;;
    esac
}

programmed_info='Model Number: ID = $45 $12
Serial Number: 7A4C017755
Software Version: R04.02.01
Codeplug Version: CP05.01
Last Programmed: 2025-01-09 14:32
Codeplug Part No: TCP-4410C
Firmware Part No: TFW-2401A
ESN: 130/05/123456
Regional Identifier: North America
UUID: 00010203-0405-0607-0809-0A0B0C0D0E0F
Radio IC Versions: $03 $12 $05 $0A 
'
legacy_info='Model Number: TRX-300
Serial Number: 3C11000478
Software Version: n/a
Codeplug Version: CP01.07
Last Programmed: n/a
Codeplug Part No: TCP-2210B
Firmware Part No: TFW-0915C
ESN: 000/00/000000
Regional Identifier: n/a
UUID: n/a
Radio IC Versions: n/a
'
not_opened='error: The serial port %s could not be opened. It may be in use by another program.'

# The time bounds. A successful run takes what the protocol itself takes (the settle wait after
# each request, and the wait past the radio's answer to the end of the exchange), Wine's own
# start and exit (the longest of three runs that do nothing, measured at the start of the
# cases) and a margin of 600 ms for the work of the tool, of Wine and of the simulator (up to
# 430 ms were seen on a loaded machine, the run after a Ctrl+C the slowest), and no more: a
# second lost anywhere fails. A failing run ends within the deadline it met (a silent line: the
# echo, then the acknowledge awaited until the first empty one-second read that ends past
# 1001 ms, then the 100 ms settle wait), with room for Wine's start.
settle_ms=101
end_wait_ms=1001
cli_wine_start_ms=0
cli_margin_ms=600
cli_measure_wine_start() {
    local i
    for i in 1 2 3; do
        cli_run --version
        [ "$cli_wall_ms" -le "$cli_wine_start_ms" ] || cli_wine_start_ms=$cli_wall_ms
    done
    echo "Wine's start and exit, the longest of three runs of varnel-cli --version:" \
        "$cli_wine_start_ms ms"
}
# cli_protocol_bounds REQUESTS [ENDS]: cli_min_ms and cli_max_ms of a successful run with
# REQUESTS requests and ENDS ends of the exchange (one unless given).
cli_protocol_bounds() {
    cli_min_ms=$(($1 * settle_ms + ${2:-1} * end_wait_ms))
    cli_max_ms=$((cli_min_ms + cli_wine_start_ms + cli_margin_ms))
}

cli_case_info() {
    cli_radio programmed
    cli_run --port COM1 info
    cli_protocol_bounds 11
    cli_judge "info on a programmed radio" 0 $cli_min_ms $cli_max_ms "$programmed_info" ""

    cli_radio legacy
    cli_run --port COM1 info
    cli_judge "info on an older radio" 0 1000 8000 "$legacy_info" \
        "error: Operation not supported by this radio.
"
}

cli_case_program_esn() {
    local record=$run_dir/record.jsonl
    local record_win="Z:${record//\//\\}"
    # An ESN registry of this run's own, never the Wine user's default.
    local registry=$run_dir/esn-registry.sqlite
    local registry_win="Z:${registry//\//\\}"
    cli_radio blank
    cli_run --port COM1 --registry "$registry_win" --record "$record_win" program-esn \
        130/5/123456 --verify
    [ "$(grep -c '"outcome":"ok"' "$record" 2>/dev/null)" = 1 ] ||
        cli_problems+=("the record file does not hold one successful line")
    # Three exchanges of one request each: the blank test, the write, the read-back.
    cli_protocol_bounds 3 3
    cli_judge "program-esn --verify on a blank radio" 0 $cli_min_ms $cli_max_ms "130/05/123456
" "info: ESN successfully programmed.
"
    cli_run --port COM1 info
    cli_protocol_bounds 11
    cli_judge "info reads the programmed ESN back" 0 $cli_min_ms $cli_max_ms \
        "~ESN: 130/05/123456" ""

    # Another blank radio, the same ESN: the registry refuses it before the write frame (only
    # the blank test, its read and the end, reaches the radio).
    cli_radio blank
    cli_run --port COM1 --registry "$registry_win" --record "$record_win" program-esn 130/05/123456
    cli_count_requests
    [ "$cli_requests" -eq 2 ] || cli_problems+=("a write was sent to the radio")
    [ "$(wc -l <"$record")" -eq 2 ] || cli_problems+=("the record file does not hold two lines")
    cli_judge "program-esn refuses an ESN the registry holds" 1 0 3000 "" \
        "~error: The ESN 130/05/123456 is already in the ESN registry: confirmed since "
}

cli_case_region() {
    cli_radio programmed
    cli_run --port COM1 region
    cli_protocol_bounds 1
    cli_judge "region on a programmed radio" 0 $cli_min_ms $cli_max_ms "North America
" ""
}

cli_case_silent_line() {
    cli_radio blank --fault silence
    cli_run --port COM1 info
    cli_judge "info on a silent line" 2 1000 3500 "" "error: No response from radio.
"
}

cli_case_held_port() {
    cli_radio programmed
    local holder=build/windows/tests/windows/win_serial_tests.exe i
    wine "$holder" --hold COM1 >/dev/null 2>&1 </dev/null &
    local holder_pid=$!
    for i in $(seq 100); do
        grep -q '^COM1 .* held$' <<<"$(wine "$cli_exe" ports 2>/dev/null </dev/null)" && break
        sleep 0.1
    done
    cli_run --port COM1 info
    cli_count_requests
    [ "$cli_requests" -eq 0 ] || cli_problems+=("bytes were sent to the radio")
    kill "$holder_pid" 2>/dev/null || true
    wait "$holder_pid" 2>/dev/null || true
    cli_text_is "$run_dir/cli.err" "~$(printf "$not_opened" COM1)" ||
        cli_problems+=("not the message of a port that could not be opened")
    cli_judge "info on a port another program holds" 3 0 3000 "" \
        "~Reason: Another program is using the port."
}

cli_case_missing_port() {
    # A port that Wine maps to nothing (it maps the machine's /dev/ttyS* to free COM numbers).
    local n=9
    while [ -e "$WINEPREFIX/dosdevices/com$n" ] || [ -L "$WINEPREFIX/dosdevices/com$n" ]; do
        n=$((n + 1))
    done
    cli_run --port "COM$n" --json info
    cli_text_is "$run_dir/cli.err" "~$(printf "$not_opened" "COM$n")" ||
        cli_problems+=("not the message of a port that could not be opened")
    cli_judge "info on a missing port (COM$n)" 3 0 3000 '~"outcome":"port-not-opened"' \
        "~Reason: There is no serial port of this name on this computer now."
}

cli_case_radio_lost() {
    cli_radio programmed
    cli_start --port COM1 info
    local lost=0
    if cli_wait_for_request 3; then
        kill "$cli_sim_pid" 2>/dev/null || true
        lost=$(now_ms)
    else
        cli_problems+=("the exchange did not begin")
    fi
    cli_finish
    local after=$(($(now_ms) - lost))
    # The lost line counts as silence: the wait under way ends at its deadline (at most the
    # acknowledge's two one-second reads and the settle wait), and nothing is retried. The
    # link's message comes first, and under it why: the failed read's error. The radio may go
    # while its answer is under way, and then the link has part of a frame.
    [ "$after" -le 3500 ] || cli_problems+=("ended $after ms after the radio was lost")
    head -n 1 "$run_dir/cli.err" |
        grep -qxE "error: (No response from radio\.|Received message incomplete\.)" ||
        cli_problems+=("the link's message is not the first line")
    grep -qF '  Device: \\.\COM1' "$run_dir/cli.err" ||
        cli_problems+=("the device is not named under the message")
    cli_judge "info when the radio is lost mid-exchange (ended $after ms after)" 2 0 10000 "" \
        "~  Reason: The device went away during the exchange; the system reported: "
}

cli_case_ctrl_c() {
    # Wine hands SIGINT to the console's control handlers as Ctrl+C.
    cli_radio blank --fault silence@3
    cli_start --port COM1 info
    local sent=0
    cli_wait_for_request 3 || cli_problems+=("the exchange did not begin")
    sleep 0.1
    sent=$(now_ms)
    kill -INT "$cli_pid" 2>/dev/null || true
    cli_finish
    local after=$(($(now_ms) - sent))
    [ "$after" -le 250 ] || cli_problems+=("stopped $after ms after Ctrl+C, not within 250 ms")
    cli_count_requests
    [ "$cli_requests" -eq 3 ] || cli_problems+=("the exchange was not left at once")
    cli_judge "Ctrl+C mid-exchange (stopped $after ms after)" 130 0 10000 "" \
        "error: Stopped by Ctrl+C.
"
    # Closed and free for the next run.
    cli_radio programmed
    cli_run --port COM1 info
    cli_protocol_bounds 11
    cli_judge "the port is free after Ctrl+C" 0 $cli_min_ms $cli_max_ms "$programmed_info" ""
}

cli_case_port_from_registry() {
    # The app's port choice: index 1 is COM2, where an older radio answers.
    start_sim cli-com2 --profile tools/radio-sim/profiles/legacy.profile --link "$run_dir/com2"
    wine reg add 'HKCU\Software\Tessaran\Varnel\Options' /v SerialPort /t REG_DWORD /d 1 /f \
        >>"$run_dir/wine.log" 2>&1
    cli_run --json info
    cli_text_is "$run_dir/cli.out" '~"model_number":"TRX-300"' ||
        cli_problems+=("the radio that answered is not the one on COM2")
    cli_judge "info without --port uses the registry's SerialPort=1 (COM2)" 0 1000 8000 \
        '~"port":"COM2","device":"\\\\.\\COM2","outcome":"ok"' "error: Operation not supported by this radio.
"
    wine reg delete 'HKCU\Software\Tessaran\Varnel' /f >>"$run_dir/wine.log" 2>&1 || true
}

# Runs every case of the command-line tool; its simulators on COM1 and COM2 replace those of the
# core's tests, which are over by then.
run_cli_cases() {
    echo "varnel-cli.exe under Wine against simulated radios:"
    kill "$radio_pid" "$silent_pid" 2>/dev/null || true
    kill -CONT "$stall_pid" 2>/dev/null || true
    wait "$radio_pid" "$silent_pid" 2>/dev/null || true
    cli_measure_wine_start
    cli_case_info
    cli_case_region
    cli_case_program_esn
    cli_case_silent_line
    cli_case_held_port
    cli_case_missing_port
    cli_case_radio_lost
    cli_case_ctrl_c
    cli_case_port_from_registry
    if [ -n "$cli_sim_pid" ]; then
        kill "$cli_sim_pid" 2>/dev/null || true
    fi
    echo "varnel-cli under Wine: $cli_passed passed, $cli_failed failed"
    [ "$cli_failed" -eq 0 ]
}

# ---- What Windows reads from the .exe files -----------------------------------------------------
# The resource types each program holds (objdump's resource directory), the icon's images, and
# the manifest and version texts in the files themselves.
resources_failed=0
# The numbers of the resource types in an .exe, in hex, one per line.
resource_types() {
    x86_64-w64-mingw32-objdump -p "$1" | sed -nE 's/^[0-9a-f]{3}   Entry: ID: 0x0*([0-9a-f]+),.*/\1/p'
}
# The number of resources of type TYPE (hex, without leading zeros) in an .exe.
resource_count() {
    x86_64-w64-mingw32-objdump -p "$1" | awk -v type="$2" '
        /^[0-9a-f]+   Entry: ID: / { id = $4; sub(/^0x0*/, "", id); sub(/,$/, "", id); want = (id == type); next }
        want && /Name Table/ { print $NF; exit }' | sed 's/.*: //'
}
# A text as it stands in a version resource: UTF-16, each character followed by a zero byte.
utf16_pattern() {
    echo -n "$1" | sed -E 's/(.)/\1\\x00/g'
}
has_utf16() {
    LC_ALL=C grep -qaP "$(utf16_pattern "$2")" "$1"
}
check_resources() {
    local exe=$1 window=$2 problems=() type types
    local version
    version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/windows/CMakeCache.txt)
    # 3 icon images, e their group (the program's icon), 10 version, 18 manifest.
    types=$(resource_types "$exe")
    for type in 3 e 10 18; do
        grep -qx "$type" <<<"$types" || problems+=("no resource of type 0x$type")
    done
    [ "$(resource_count "$exe" 3)" = 4 ] || problems+=("not four icon images")
    for text in "ProductName" "Varnel" "CompanyName" "Tessaran" "ProductVersion" "$version"; do
        has_utf16 "$exe" "$text" || problems+=("no \"$text\" in the version information")
    done
    LC_ALL=C grep -qaF '<supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>' "$exe" ||
        problems+=("the manifest names no Windows 10/11")
    if [ "$window" = 1 ]; then
        LC_ALL=C grep -qaF 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' "$exe" ||
            problems+=("the manifest asks for no common controls 6")
        LC_ALL=C grep -qaF '>system</dpiAwareness>' "$exe" ||
            problems+=("the manifest declares no display-scale awareness")
    else
        ! LC_ALL=C grep -qaF 'Common-Controls' "$exe" ||
            problems+=("a console program asks for the common controls, which load user32")
    fi
    if [ ${#problems[@]} -eq 0 ]; then
        echo "PASS  resources of $exe: manifest, icon of 4 images, version $version"
    else
        resources_failed=$((resources_failed + 1))
        echo "FAIL  resources of $exe:"
        printf '        - %s\n' "${problems[@]}"
    fi
}
# The icon file: a header of four images, 16, 32, 48 and 256 pixels (256 is written as 0), each
# of 32 bits per pixel.
check_icon_file() {
    local ico=build/windows/resources/varnel.ico bytes i sizes=(16 32 48 0) ok=1
    read -r -a bytes <<<"$(od -An -tu1 -N 70 "$ico" | tr -s ' \n' ' ')"
    [ "${bytes[*]:0:6}" = "0 0 1 0 4 0" ] || ok=0
    for i in 0 1 2 3; do
        local at=$((6 + 16 * i))
        [ "${bytes[at]:-}" = "${sizes[i]}" ] && [ "${bytes[at + 1]:-}" = "${sizes[i]}" ] &&
            [ "${bytes[at + 6]:-}" = 32 ] || ok=0
    done
    if [ $ok = 1 ]; then
        echo "PASS  $ico: 16, 32, 48 and 256 pixels"
    else
        resources_failed=$((resources_failed + 1))
        echo "FAIL  $ico: not 16, 32, 48 and 256 pixels of 32 bits: ${bytes[*]}"
    fi
}
# A console program that loads user32 is never sent the logoff and shutdown events, so
# varnel-cli.exe imports neither user32 nor a library that loads it (shell32, gdi32, ole32,
# setupapi); and it starts at wmain.
check_cli_imports() {
    local exe=build/windows/cli/varnel-cli.exe dlls dll problems=()
    dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -nE 's/^\s*DLL Name: (.*)$/\1/p' |
        tr 'A-Z' 'a-z' | tr -d '\r')
    [ -n "$dlls" ] || problems+=("objdump lists no imports at all")
    for dll in user32.dll shell32.dll gdi32.dll ole32.dll setupapi.dll; do
        ! grep -qx "$dll" <<<"$dlls" || problems+=("it imports $dll")
    done
    local symbols
    symbols=$(x86_64-w64-mingw32-objdump -t "$exe")
    grep -qE '\bwmain$' <<<"$symbols" || problems+=("no wmain")
    if [ ${#problems[@]} -eq 0 ]; then
        echo "PASS  imports of $exe: $(echo "$dlls" | tr '\n' ' ')"
    else
        resources_failed=$((resources_failed + 1))
        echo "FAIL  imports of $exe:"
        printf '        - %s\n' "${problems[@]}"
    fi
}
check_all_resources() {
    check_icon_file
    check_resources build/windows/win32/varnel.exe 1
    check_resources build/windows/cli/varnel-cli.exe 0
    check_cli_imports
    [ "$resources_failed" -eq 0 ]
}

start=$(date +%s)
# scripts/test-windows-gui.sh takes the functions above and runs cases of its own.
if [ "${BASH_SOURCE[0]}" != "$0" ]; then
    return 0
fi
install_missing
build

make_wine_prefix
# Each COM port is mapped to a link that its simulator makes to its pseudo-terminal, so that a
# later simulator can take a port over without a restart of Wine's server.
profile=tools/radio-sim/profiles/blank.profile
start_sim radio --profile "$profile" --link "$run_dir/com1"
radio_pid=${sim_pids[-1]}
start_sim silent --profile "$profile" --fault silence --link "$run_dir/com2"
silent_pid=${sim_pids[-1]}
start_sim hangup --profile "$profile" --link "$run_dir/com3"
hangup_pid=${sim_pids[-1]}
start_sim stall --profile "$profile" --fault silence --link "$run_dir/com4"
stall_pid=${sim_pids[-1]}
map_com_ports "COM1=$run_dir/com1" "COM2=$run_dir/com2" "COM3=$run_dir/com3" \
    "COM4=$run_dir/com4"

hangup_request=$run_dir/pull-COM3
pull_adapter_on_request "$hangup_request" "$hangup_pid"
stall_request=$run_dir/stall-COM4
stall_line_on_request "$stall_request" "$stall_pid"
export VARNEL_WIN_RADIO_PORT=COM1 VARNEL_WIN_SILENT_PORT=COM2 VARNEL_WIN_HANGUP_PORT=COM3
export VARNEL_WIN_HANGUP_FILE="Z:${hangup_request//\//\\}"
export VARNEL_WIN_STALL_PORT=COM4 VARNEL_WIN_STALL_FILE="Z:${stall_request//\//\\}"

status=0
resources=passed
check_all_resources || { status=1; resources=FAILED; }
core=passed
# A test whose Wine process fails to start (seen now and then in the first seconds of a fresh
# prefix, with no output at all) runs once more; a test that really fails, fails twice.
ctest --preset windows -j2 --repeat until-pass:2 || { status=1; core=FAILED; }
cli=passed
run_cli_cases || { status=1; cli=FAILED; }
if [ $status -ne 0 ]; then
    echo "--- the end of Wine's own log ---" >&2
    tail -n 20 "$run_dir/wine.log" >&2 || true
fi

# The window, varnel.exe, driven with the keyboard on a virtual display: in a prefix of its own.
gui=passed
VARNEL_GUI_BUILT=1 scripts/test-windows-gui.sh || { status=1; gui=FAILED; }
echo "Windows tests: resources of the .exe files $resources; core and unit tests (ctest) $core; varnel-cli under Wine $cli" \
    "($cli_passed passed, $cli_failed failed); varnel.exe under Wine $gui;" \
    "$(($(date +%s) - start)) s in all"
exit $status
