#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test: unit and integration tests against the
# real servers in build/, then the unit tests again under AddressSanitizer and UBSan in
# build-asan/. Exits non-zero when anything fails. Run as root on Debian 12.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
jobs=${KESTREL_JOBS:-2}
servers=$root/tests/integration/servers
failures=()

section() {
    echo
    echo "==== $* ===="
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

section "setup"
bash "$root/scripts/setup.sh" || { echo "test.sh: setup failed" >&2; exit 1; }

section "build (build/)"
if configure "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTREL_INTEGRATION=ON; then
    cmake --build "$root/build" -j "$jobs" || failures+=("build")
else
    failures+=("configure")
fi

if [[ ${#failures[@]} -eq 0 ]]; then
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
        ) || failures+=("tests")
    else
        failures+=("servers")
    fi
fi

section "build with sanitizers (build-asan/)"
if configure "$root/build-asan" -DCMAKE_BUILD_TYPE=Debug -DKESTREL_SANITIZE=ON \
        -DKESTREL_BUILD_BENCH=OFF -DKESTREL_INTEGRATION=OFF; then
    if cmake --build "$root/build-asan" -j "$jobs"; then
        section "unit tests under ASan/UBSan"
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
        ) || failures+=("sanitizer tests")
    else
        failures+=("sanitizer build")
    fi
else
    failures+=("sanitizer configure")
fi

section "result"
if [[ ${#failures[@]} -gt 0 ]]; then
    echo "test.sh: FAILED: ${failures[*]}"
    exit 1
fi
echo "test.sh: all builds and tests passed"
