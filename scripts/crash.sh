#!/usr/bin/env bash
# Crash safety, long: SIGKILL at random moments to the program while it stores messages and to the store tool while
# it imports, then the store is checked. Usage: scripts/crash.sh [KILLS] [--seed N]. Default: 1000 kills.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${CVRLIK_BUILD:-$top/build}"
kills="${1:-1000}"
shift || true
"$top/scripts/build.sh" "$build" >/dev/null
exec "$build/tests/app/cvrlik-crash" --kills "$kills" "$@"
