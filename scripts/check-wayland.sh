#!/usr/bin/env bash
# Checks the program on Wayland: it runs on the Wayland platform itself, its window, the arrival popup, the
# idle-kick warning, the settings dialog, the nick menu and the message viewer appear and work, and pictures of them
# are taken with weston-screenshooter.
#
# First under weston's headless backend, which has no keyboard or pointer: the program is driven through the
# accessibility bus there (the stand-in brings the popup and the warning, the settings dialog's buttons are
# pressed). Then under weston's X11 backend nested in Xvfb, which passes xdotool's keys on to its Wayland clients:
# the nick menu and the message viewer from the keyboard.
#
#   scripts/check-wayland.sh [BUILD_FOLDER]      (default build-desktop; CVRLIK_PICTURES=DIR keeps the pictures)
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$top/build-desktop}"
. "$top/scripts/lib/check-world.sh"
trap stop_world EXIT
prepare_world

# A plain background and no panel: the pictures show the program's windows alone.
cat >"$work/weston.ini" <<'INI'
[core]
idle-time=0
[shell]
background-color=0xff3b4654
panel-position=none
locking=false
INI

# start_weston SOCKET BACKEND_OPTIONS...: --debug lets weston-screenshooter take pictures.
start_weston() {
    local socket="$1"
    shift
    weston --config="$work/weston.ini" --socket="$socket" --debug "$@" >"$work/weston-$socket.log" 2>&1 &
    started_pids+=($!)
    for _ in $(seq 100); do
        [ -S "$XDG_RUNTIME_DIR/$socket" ] && return 0
        sleep 0.1
    done
    echo "weston did not start:" >&2
    cat "$work/weston-$socket.log" >&2
    return 1
}

# run_check SOCKET STEPS [KEYS_DISPLAY]: the program on the compositor, XWayland's display out of its reach.
run_check() {
    local socket="$1" steps="$2" keys="${3:-}"
    env -u DISPLAY -u QT_QPA_PLATFORM WAYLAND_DISPLAY="$socket" XDG_SESSION_TYPE=wayland \
        dbus-run-session -- "$top/scripts/lib/check-session.sh" "$build/src/app/cvrlik" "" wayland \
        --port "$sim_port" --config "$XDG_CONFIG_HOME" --steps "$steps" --keys-display "$keys" \
        --screenshots weston --shots "$pictures" --prefix wayland-
}

status=0
echo "== weston, headless"
start_weston headless --backend=headless-backend.so --use-pixman --width=1024 --height=700
run_check headless login,states,popup,warning,settings || status=1

echo "== weston nested in Xvfb, with a keyboard"
start_xvfb
DISPLAY="$display" start_weston nested --backend=x11-backend.so --use-pixman --width=1024 --height=700
# Keys go to the X window under the pointer: weston's.
DISPLAY="$display" xdotool mousemove 1000 10
run_check nested login,keyboard "$display" || status=1

echo "check-wayland: pictures in $pictures"
[ "$status" -eq 0 ] && echo "check-wayland: all checks passed" || echo "check-wayland: FAILED"
exit "$status"
