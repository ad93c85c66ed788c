#!/usr/bin/env bash
# Run by dbus-run-session for the desktop checks: starts the program on the session's accessibility bus, runs
# desktopcheck.py against it with the arguments given, then ends the program the normal way (SIGTERM).
#
#   check-session.sh PROGRAM "PROGRAM_ARGUMENTS" EXPECTED_PLATFORM_PLUGIN CHECK_ARGUMENTS...
set -uo pipefail
program="$1"
read -r -a program_arguments <<<"$2"
plugin="$3"
shift 3
here="$(cd "$(dirname "$0")" && pwd)"

export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
"$program" "${program_arguments[@]}" >"$XDG_DATA_HOME/program.log" 2>&1 &
program_pid=$!

status=0
/usr/bin/python3 "$here/desktopcheck.py" "$@" || status=$?

# The platform the program runs on, from the plugin it loaded.
if grep -q "libq$plugin" "/proc/$program_pid/maps" 2>/dev/null; then
    echo "ok:   the program runs on the platform plugin $plugin"
else
    echo "FAIL: the program does not run on the platform plugin $plugin"
    status=1
fi

kill -TERM "$program_pid" 2>/dev/null
wait "$program_pid"
program_status=$?
if [ "$program_status" -ne 0 ]; then
    echo "FAIL: the program ended with status $program_status (its output: $XDG_DATA_HOME/program.log)"
    status=1
fi
exit "$status"
