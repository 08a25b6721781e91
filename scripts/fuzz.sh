#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang in build-fuzz and runs each of them for a bounded
# time from its seed corpus. Fails on a crash, a sanitizer report, a leak, a slow input or a
# broken property; prints each harness's executions per second.
#
#   scripts/fuzz.sh [seconds-per-harness]
#
# The default of 25 s keeps the whole, build included, under 8 minutes on 2 cores.
#
# Inputs that fail are kept in build-fuzz/artifacts/; the corpora grown by a run stay in
# build-fuzz/corpus/ and never touch the seeds in tests/fuzz/corpus/.
set -euo pipefail

seconds=${1:-25}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KESTREL_FUZZ_BUILD:-$root/build-fuzz}

launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 "${launcher[@]}" \
    -DKESTREL_FUZZ=ON -DKESTREL_BUILD_TESTS=OFF -DKESTREL_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target fuzzers

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/scripts/lsan.supp}
export QT_QPA_PLATFORM=offscreen

mkdir -p "$build/artifacts" "$build/corpus"
failed=()
summary=()
for exe in "$build"/tests/fuzz/fuzz_*; do
    [[ -f $exe && -x $exe ]] || continue
    name=${exe##*/fuzz_}
    seeds=$root/tests/fuzz/corpus/$name
    work=$build/corpus/$name
    mkdir -p "$work"
    log=$build/artifacts/$name.log
    echo "== $name: ${seconds}s"
    corpora=("$work")
    [[ -d $seeds ]] && corpora+=("$seeds")
    if "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=8192 \
        -print_final_stats=1 -artifact_prefix="$build/artifacts/$name-" "${corpora[@]}" \
        >"$log" 2>&1; then
        result=ok
    else
        result=FAILED
        failed+=("$name")
        tail -n 40 "$log"
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
    summary+=("$(printf '%-16s %-7s %10s execs/s %12s runs' "$name" "$result" "${rate:-?}" "${runs:-?}")")
done

echo
printf '%s\n' "${summary[@]}"
if ((${#failed[@]})); then
    echo "fuzzing failed: ${failed[*]} (inputs and logs in $build/artifacts/)"
    exit 1
fi
