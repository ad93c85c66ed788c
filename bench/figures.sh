#!/usr/bin/env bash
# The whole program's figures against klabos-sim (logged in, 200 watched users): offscreen, then under Xvfb (xcb)
# with a window manager, as on a user's desktop. Usage: bench/figures.sh [more options of cvrlik-figures, see --help]
# The display for Xvfb is :97 unless CVRLIK_FIGURES_DISPLAY says otherwise.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${CVRLIK_BUILD:-$top/build}"
display="${CVRLIK_FIGURES_DISPLAY:-:97}"
"$top/scripts/build.sh" "$build" >/dev/null
figures="$build/bench/app/cvrlik-figures"

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), load $(cut -d' ' -f1-3 /proc/loadavg)"
"$figures" --platform offscreen "$@"
echo
if ! command -v Xvfb >/dev/null; then
    echo "Xvfb is not installed (scripts/install-deps.sh installs it): no figures under xcb"
    exit 0
fi
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
wm=""
cleanup() {
    [ -n "$wm" ] && kill "$wm" 2>/dev/null || true
    kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
# The server is ready when it answers a client.
for _ in $(seq 1 100); do
    DISPLAY="$display" xdpyinfo >/dev/null 2>&1 && break
    sleep 0.1
done
if command -v openbox >/dev/null; then
    DISPLAY="$display" openbox >/dev/null 2>&1 &
    wm=$!
fi
"$figures" --platform xcb --display "$display" "$@"
