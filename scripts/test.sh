#!/usr/bin/env bash
# Installs what is missing, builds from scratch with warnings as errors and runs the whole test suite; then builds
# once more with AddressSanitizer and UndefinedBehaviorSanitizer and runs the suite again.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
"$top/scripts/install-deps.sh"

run_suite() {
    local build="$1"
    shift
    rm -rf "$build"
    "$top/scripts/build.sh" "$build" -DCVRLIK_WERROR=ON "$@"
    (cd "$build" && ctest --output-on-failure --timeout 600)
}

echo "== tests"
run_suite "$top/build-test"
echo "== tests with AddressSanitizer and UndefinedBehaviorSanitizer"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
run_suite "$top/build-asan" -DCVRLIK_SANITIZE=ON -DCVRLIK_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
