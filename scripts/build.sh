#!/usr/bin/env bash
# Configures and builds the project into build/ (or the folder given as the first argument).
# Further arguments go to CMake's configure step.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$top/build}"
shift || true
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$build" -j2
