#!/usr/bin/env bash
# Installs what is missing, builds, installs the program into build/demo/prefix, starts the Klabos stand-in
# (klabos-sim) on 127.0.0.1 with a lively world, and runs the installed program against it in a demo profile of its
# own: build/demo/config holds the demo's settings and build/demo/data its data folder (the broadcast log), so the
# user's real settings and files stay untouched. The stand-in stops when the program ends.
#
# Without a display, run it inside a virtual one:  xvfb-run -a scripts/demo.sh
# KLABOS_SIM_SEED chooses another simulated world (default 1).
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
"$top/scripts/install-deps.sh"
# The demo needs the program, the store tool and the stand-in; the tests and benchmarks are left out.
"$top/scripts/build.sh" "$top/build" -DCVRLIK_TESTS=OFF -DCVRLIK_BENCH=OFF

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "demo: no display found. Run it inside a virtual one:  xvfb-run -a $0" >&2
    exit 1
fi

sim="$top/build/tools/klabos-sim/klabos-sim"
store="$top/build/tools/cvrlik-store/cvrlik-store"
for needed in "$sim" "$store" "$top/build/src/app/cvrlik"; do
    if [ ! -x "$needed" ]; then
        echo "demo: $needed was not built; see the build output above." >&2
        exit 1
    fi
done

demo="$top/build/demo"
rm -rf "$demo/config"
mkdir -p "$demo/config" "$demo/data"
chmod 700 "$demo/config" "$demo/data"
export XDG_CONFIG_HOME="$demo/config"
export XDG_DATA_HOME="$demo/data"

# Installed as a user would have it, so the program finds the message sound it ships.
rm -rf "$demo/prefix"
cmake --install "$top/build" --prefix "$demo/prefix" >/dev/null
program="$demo/prefix/bin/cvrlik"

# The stand-in, on a free port, and the demo profile that reaches it.
. "$top/scripts/lib/demo-world.sh"
trap stop_sim EXIT
start_sim "$sim" "$demo" --seed "${KLABOS_SIM_SEED:-1}"
port="$sim_port"
write_demo_profile "$store" "$port"

cat <<EOF
demo: klabos-sim listens on 127.0.0.1:$port (log: $demo/klabos-sim.log); the program uses it as its HTTP proxy.
demo: the demo profile is in $XDG_CONFIG_HOME, its data folder in $XDG_DATA_HOME; your own are not touched.
demo: to try the broadcast mode, log in as Kormoran (password heslo) and press F11 in "Zpráva na Klabos"; its log
  is $XDG_DATA_HOME/Velmor/Cvrlik/cvadvert.log.
demo: steer the world while it runs, for example:
  curl 'http://127.0.0.1:$port/control/message?to=demo&from=Ema&text=Ahoj+z+dema'
  curl 'http://127.0.0.1:$port/control/online?nick=Lucie&room=12'
  curl 'http://127.0.0.1:$port/control/ownidle?nick=demo&minutes=16'
  curl 'http://127.0.0.1:$port/control/state'
demo: the service pages the program opens in the browser load when the browser uses 127.0.0.1:$port as its HTTP proxy.
EOF

# A termination signal or Ctrl+C that reaches only this script (kill, a closed terminal) is passed on, so the program
# ends its normal way instead of staying behind without its stand-in.
"$program" &
program_pid=$!
trap 'kill -TERM "$program_pid" 2>/dev/null || true' TERM INT HUP
while kill -0 "$program_pid" 2>/dev/null; do
    wait "$program_pid" || true # returns early when a signal is passed on
done
status=0
wait "$program_pid" || status=$?
exit "$status"
