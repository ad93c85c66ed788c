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

# The stand-in, on a free port; its first line of output is "port N".
"$sim" --port 0 --seed "${KLABOS_SIM_SEED:-1}" >"$demo/klabos-sim.out" 2>"$demo/klabos-sim.log" &
sim_pid=$!
stop_sim() {
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
}
trap stop_sim EXIT

port=""
for _ in $(seq 100); do
    if read -r word number <"$demo/klabos-sim.out" 2>/dev/null && [ "$word" = port ]; then
        port="$number"
        break
    fi
    if ! kill -0 "$sim_pid" 2>/dev/null; then
        break
    fi
    sleep 0.1
done
if [ -z "$port" ]; then
    echo "demo: klabos-sim did not start:" >&2
    cat "$demo/klabos-sim.log" >&2
    exit 1
fi

product='SOFTWARE\Velmor\Cvrlik'
nicks='SOFTWARE\Velmor\Cvrlik\Nick List'
set_string() { "$store" set "$product" "$1" --string "$2" >/dev/null; }
set_int() { "$store" set "$product" "$1" --int "$2" >/dev/null; }

set_string LoginName demo
# The store tool keeps the password in the scrambled form the program reads.
"$store" set "$product" LoginPassword --password demo >/dev/null
set_int RememberPassword 1
set_int UsingProxy 1
set_string ProxyServer 127.0.0.1
set_int ProxyPort "$port"
set_int UsingProxyAuthentization 0
set_string ProxyLoginName ""
set_string ProxyPassword ""
set_int AutoConnectOnStartup 1
set_int DisplayOnStart 1
set_int SessionRefresh 20
set_int StatusRefresh 3
set_int NotifyDivisor 1
set_int NotifyWait 2500
set_int NotifyNewUsersOnly 1
set_int ReportNetworkErrors 1
set_int AlwaysReconnect 1
set_int EasyMouseMode 1
set_int AboutToKickWarning 1
set_int AboutToKickWarningTime 15

# The watched users, each with its notify flag. The user's own nick is watched too, so its idle time counts for
# the idle-kick warning; nicks that leave a message without being watched join the list by themselves.
while IFS='|' read -r nick flag; do
    "$store" set "$nicks" "$nick" --int "$flag" >/dev/null
done <<'EOF'
demo|0
Anička|1
Bára|1
Cipísek|0
Dědek|1
Ema|1
Ferda "Mravenec"|1
Gustav|0
Hanka|1
Jirka_77|1
Žlutý kůň|1
Lucie|0
EOF

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

status=0
"$program" || status=$?
exit "$status"
