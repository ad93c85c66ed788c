#!/usr/bin/env bash
# Checks the on-line list through the real accessibility bus, as a screen reader reads it, under X11 (Xvfb with
# openbox): the program runs against the stand-in on a session bus of its own with the toolkit's accessibility
# bridge on; the entries' names must tell the nick, the state, the idle minutes and a waiting message; the keyboard
# (Home, Down, Enter, the menu key, Shift+F10, Escape) must reach the list, the nick menu and the message viewer;
# the settings dialog's start-at-login box must write and remove the login entry. Before that, started as the login
# entry starts it (--autostart) beside a tray (trayer), the program must log in with its main window hidden.
#
#   scripts/check-accessibility.sh [BUILD_FOLDER]      (default build-desktop; CVRLIK_PICTURES=DIR keeps pictures)
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$top/build-desktop}"
. "$top/scripts/lib/check-world.sh"
trap stop_world EXIT
prepare_world

start_xvfb
DISPLAY="$display" openbox >/dev/null 2>&1 &
started_pids+=($!)
wait_for_window_manager

DISPLAY="$display" trayer --edge bottom --align right --widthtype request --height 24 >/dev/null 2>&1 &
started_pids+=($!)
for _ in $(seq 100); do
    DISPLAY="$display" xdotool search --classname trayer >/dev/null 2>&1 && break
    sleep 0.1
done

# run_check "PROGRAM_ARGUMENTS" STEPS
run_check() {
    env -u WAYLAND_DISPLAY DISPLAY="$display" QT_QPA_PLATFORM=xcb \
        dbus-run-session -- "$top/scripts/lib/check-session.sh" "$build/src/app/cvrlik" "$1" xcb \
        --port "$sim_port" --config "$XDG_CONFIG_HOME" --steps "$2" \
        --keys-display "$display" --screenshots x11 --shots "$pictures" --prefix accessibility-
}

status=0
echo "== started at login, beside a tray"
run_check --autostart tray || status=1
echo "== the list, the keyboard and the settings through the accessibility bus"
run_check "" login,states,keyboard,settings || status=1
echo "check-accessibility: pictures in $pictures"
[ "$status" -eq 0 ] && echo "check-accessibility: all checks passed" || echo "check-accessibility: FAILED"
exit "$status"
