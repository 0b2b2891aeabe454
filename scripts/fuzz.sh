#!/usr/bin/env bash
# Fuzzes the radio link and the procedures that ship: builds the libFuzzer target with clang
# (coverage, ASan, UBSan) into build/fuzz, writes the seed corpus made of the protocol's own
# frames, runs the fuzzer for the given number of seconds (600 unless told) and prints
# executions, corpus and findings.
#
#   bash scripts/fuzz.sh [SECONDS]
#
# The corpus grows in build/fuzz/corpus from run to run; findings land in build/fuzz/findings.
# A finding is replayed with: build/fuzz/fuzz/radio_stream_fuzzer build/fuzz/findings/<file>
# Exit status: 0 nothing found, 1 a finding or a failure, 77 no clang with libFuzzer here.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-600}
build=$root/build/fuzz
jobs=${VARNEL_FUZZ_JOBS:-2}

if ! [[ $seconds =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
    echo "usage: $0 [SECONDS]" >&2
    exit 2
fi

cxx=${VARNEL_FUZZ_CXX:-}
if [ -z "$cxx" ]; then
    for candidate in clang++ clang++-14; do
        if command -v "$candidate" >/dev/null 2>&1; then
            cxx=$candidate
            break
        fi
    done
fi
probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' \
    >"$probe/probe.cpp"
if [ -z "$cxx" ] || ! "$cxx" -fsanitize=fuzzer,address,undefined "$probe/probe.cpp" \
    -o "$probe/probe" >/dev/null 2>&1; then
    echo "fuzz: skipped, no clang++ with libFuzzer (scripts/install-deps.sh installs clang and" \
        "libclang-rt-14-dev)" >&2
    exit 77
fi

mkdir -p "$build"
# The project's own tree, with only what the fuzz target reaches, instrumented throughout.
if ! { cmake -S "$root" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER="$cxx" -DVARNEL_FUZZ=ON \
    -DVARNEL_BUILD_GUI=OFF -DVARNEL_BUILD_TESTS=OFF &&
    cmake --build "$build" -j "$jobs" --target radio_stream_fuzzer make_fuzz_seeds; } \
    >"$build/build.log" 2>&1; then
    cat "$build/build.log" >&2
    exit 1
fi

rm -rf "$build/seeds"
mkdir -p "$build/seeds" "$build/corpus" "$build/findings"
"$build/fuzz/make_fuzz_seeds" "$build/seeds" >/dev/null
before=$(find "$build/findings" -type f | wc -l)
corpus_before=$(find "$build/corpus" -type f | wc -l)

# Leak checks run after every input; a run over 5 s is a hang, since virtual time keeps every
# input to milliseconds. New inputs go to the first folder only; seeds and past findings are read.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
log=$build/last-run.log
set +e
"$build/fuzz/radio_stream_fuzzer" -max_total_time="$seconds" -timeout=5 -max_len=4096 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$build/findings/" \
    "$build/corpus" "$build/seeds" "$root/fuzz/regressions" >"$log" 2>&1
status=$?
set -e

stat() { sed -n "s/^stat::$1: *//p" "$log" | tail -n 1; }
findings=$(($(find "$build/findings" -type f | wc -l) - before))
executions=$(stat number_of_executed_units)
echo "fuzz: ${executions:-?} executions in ${seconds} s ($(stat average_exec_per_sec)" \
    "per second), peak RSS $(stat peak_rss_mb) MB"
echo "fuzz: corpus $corpus_before -> $(find "$build/corpus" -type f | wc -l) inputs" \
    "($(du -sk "$build/corpus" | cut -f1) KiB), $(find "$build/seeds" -type f | wc -l) seeds"
echo "fuzz: findings $findings (in $build/findings), exit status $status, log $log"
if [ "$status" -ne 0 ] || [ "$findings" -ne 0 ]; then
    tail -n 40 "$log" >&2
    exit 1
fi
