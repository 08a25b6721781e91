#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test: unit and integration tests against the
# real servers in build/, then the unit tests again under AddressSanitizer and UBSan in
# build-asan/, then the Debian package: built, installed and its program started. Exits
# non-zero when anything fails. Run as root on Debian 12.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
jobs=${KESTREL_JOBS:-2}
servers=$root/tests/integration/servers
failures=()
# The end-to-end scripts are Python; keep their byte-code out of the source tree.
export PYTHONDONTWRITEBYTECODE=1

started=$SECONDS
section() {
    echo
    echo "==== $* ==== ($(date +%T), $(((SECONDS - started) / 60)) min in)"
}

# build <build dir>: keeps going past a failed target so one broken file still lets every
# other test build and run, and the log shows all that is broken at once.
build() {
    cmake --build "$1" -j "$jobs" -- -k 0
}

# configure <build dir> <cmake options...>: quiet unless it fails.
configure() {
    local dir=$1
    shift
    mkdir -p "$dir"
    cmake -S "$root" -B "$dir" -G Ninja -DKESTREL_WERROR=ON "$@" >"$dir/configure.log" 2>&1 || {
        cat "$dir/configure.log" >&2
        return 1
    }
}

rm -f "$root/build/ctest.log" "$root/build-asan/ctest.log" "$root/build-tsan/ctest.log"

section "setup"
bash "$root/scripts/setup.sh" || { echo "test.sh: setup failed" >&2; exit 1; }

section "format"
# The tree stays formatted: every tracked source, checked without changing anything.
if command -v clang-format >/dev/null && git -C "$root" rev-parse --git-dir >/dev/null 2>&1; then
    (cd "$root" && git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror) ||
        failures+=("format")
else
    failures+=("format (no clang-format or not a git checkout)")
fi

section "build (build/)"
if configure "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTREL_INTEGRATION=ON; then
    build "$root/build" || failures+=("build")
else
    failures+=("configure")
fi

if [[ -f $root/build/CTestTestfile.cmake ]]; then
    section "real servers"
    harness=$(mktemp -d /tmp/kestrel-it.XXXXXX)
    trap 'bash "$servers/stop-all.sh" "$harness" >/dev/null 2>&1; rm -rf "$harness"' EXIT
    if bash "$servers/start-all.sh" "$harness"; then
        section "tests (unit + integration)"
        (
            set -a
            # shellcheck disable=SC1091
            source "$harness/servers.env"
            cd "$root/build" && ctest --output-on-failure -j "$jobs"
        ) 2>&1 | tee "$root/build/ctest.log"
        [[ ${PIPESTATUS[0]} -eq 0 ]] || failures+=("tests")
    else
        failures+=("servers")
    fi
fi

section "build with sanitizers (build-asan/)"
if configure "$root/build-asan" -DCMAKE_BUILD_TYPE=Debug -DKESTREL_SANITIZE=ON \
        -DKESTREL_BUILD_BENCH=OFF -DKESTREL_INTEGRATION=OFF; then
    build "$root/build-asan" || failures+=("sanitizer build")
    section "unit tests under ASan/UBSan"
    if [[ -f $root/build-asan/CTestTestfile.cmake ]]; then
        (
            # The D-Bus facilities of the unit tests want a session bus too.
            if [[ -f ${harness:-}/servers.env ]]; then
                set -a
                # shellcheck disable=SC1091
                source "$harness/servers.env"
                set +a
            fi
            export ASAN_OPTIONS=detect_leaks=1:strict_init_order=1
            export LSAN_OPTIONS=suppressions=$root/scripts/lsan.supp:print_suppressions=0
            export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
            cd "$root/build-asan" && ctest -L unit --output-on-failure -j "$jobs"
        ) 2>&1 | tee "$root/build-asan/ctest.log"
        [[ ${PIPESTATUS[0]} -eq 0 ]] || failures+=("sanitizer tests")
    fi
else
    failures+=("sanitizer configure")
fi

section "build with ThreadSanitizer (build-tsan/)"
# Only the tests that run worker threads or sockets (ctest label "threads") are built and run.
if configure "$root/build-tsan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTREL_TSAN=ON \
        -DKESTREL_BUILD_BENCH=OFF -DKESTREL_INTEGRATION=OFF; then
    mapfile -t tsan_targets < <(cd "$root/build-tsan" && ctest -N -L threads |
        sed -nE 's/^ *Test +#[0-9]+: +([^ ]+).*/\1/p')
    if [[ ${#tsan_targets[@]} -eq 0 ]]; then
        failures+=("no threaded tests found for ThreadSanitizer")
    else
        cmake --build "$root/build-tsan" -j "$jobs" --target "${tsan_targets[@]}" -- -k 0 ||
            failures+=("tsan build")
        section "threaded tests under ThreadSanitizer"
        (
            if [[ -f ${harness:-}/servers.env ]]; then
                set -a
                # shellcheck disable=SC1091
                source "$harness/servers.env"
                set +a
            fi
            export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$root/scripts/tsan.supp"
            cd "$root/build-tsan" && ctest -L threads --output-on-failure -j "$jobs"
        ) 2>&1 | tee "$root/build-tsan/ctest.log"
        [[ ${PIPESTATUS[0]} -eq 0 ]] || failures+=("tsan tests")
    fi
else
    failures+=("tsan configure")
fi

section "fuzzing (build-fuzz/)"
# Eighteen harnesses: 15 s each keeps the whole run under 45 minutes on two cores;
# KESTREL_FUZZ_SECONDS gives them longer.
if [[ -f $root/scripts/fuzz.sh ]]; then
    bash "$root/scripts/fuzz.sh" "${KESTREL_FUZZ_SECONDS:-15}" || failures+=("fuzzing")
fi

section "Debian package (build-deb/)"
# Built without its tests (they ran above), installed, and the installed program started as an
# ordinary user under Xvfb.
bash "$root/scripts/package.sh" || failures+=("package")

section "result"
# One count over both runs, from ctest's own "N tests failed out of M" lines.
passed=0
failed=0
for log in "$root/build/ctest.log" "$root/build-asan/ctest.log" "$root/build-tsan/ctest.log"; do
    [[ -f $log ]] || continue
    line=$(grep -E 'tests? failed out of [0-9]+' "$log" | tail -1) || continue
    read -r f m < <(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1 \2/' <<<"$line")
    passed=$((passed + m - f))
    failed=$((failed + f))
done
status=0
if [[ ${#failures[@]} -gt 0 ]]; then
    echo "test.sh: FAILED: ${failures[*]}"
    status=1
else
    echo "test.sh: all builds and tests passed"
fi
echo "ctest: $passed passed, $failed failed"
exit $status
