#!/usr/bin/env bash
# The long soak: the real program (offscreen) against klabos-sim with a busy world and faults, its clocks squeezed.
# Usage: scripts/soak.sh [SECONDS] [more options of cvrlik-soak, see --help]. Default: 1800 s (about ten hours of
# use at the default squeeze of 20). Builds into build/ first when that is needed.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${CVRLIK_BUILD:-$top/build}"
seconds="${1:-1800}"
shift || true
"$top/scripts/build.sh" "$build" >/dev/null
exec "$build/tests/app/cvrlik-soak" --seconds "$seconds" "$@"
