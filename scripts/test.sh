#!/usr/bin/env bash
# Installs what is missing, builds from scratch with warnings as errors and runs the whole test suite.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="$top/build-test"
"$top/scripts/install-deps.sh"
rm -rf "$build"
"$top/scripts/build.sh" "$build" -DCVRLIK_WERROR=ON
cd "$build"
ctest --output-on-failure --timeout 600
