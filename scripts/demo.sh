#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh" "$top/build"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found. Run it inside a virtual one:  xvfb-run -a $0" >&2
    exit 1
fi
exec "$top/build/src/app/cvrlik"
