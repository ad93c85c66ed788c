#!/bin/sh
# The program waits by continuations and keeps time by timers armed for when something is due: no event loop of its
# own anywhere in its sources, and exec() only where the modal boxes and dialogs run (and the program's main loop).
# Usage: nonestedloops.sh SOURCE_FOLDER
set -u
src="$1"
# Comments may speak of them.
code() { grep -rnE "$1" "$src" | grep -vE '^[^:]*:[0-9]+:[[:space:]]*//'; }
found=$(code 'processEvents|QEventLoop'; code '\bexec\(' | grep -vE '^[^:]*/(widgets/modal|app/program)\.cpp:')
if [ -n "$found" ]; then
    echo "nested event loops in the sources:"
    echo "$found"
    exit 1
fi
echo "no nested event loops in $src"
