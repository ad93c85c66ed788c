# Sourced by the scripts that run the program against the Klabos stand-in (demo.sh and the desktop checks):
# starts klabos-sim and writes a demo profile into the store of $XDG_CONFIG_HOME.

# start_sim SIM OUTPUT_FOLDER [ARGUMENTS...]: starts the stand-in on a free port; sets sim_pid and sim_port. The
# caller stops it with stop_sim (an EXIT trap, say).
start_sim() {
    local sim="$1" folder="$2"
    shift 2
    "$sim" --port 0 "$@" >"$folder/klabos-sim.out" 2>"$folder/klabos-sim.log" &
    sim_pid=$!
    sim_port=""
    # Its first line of output is "port N".
    for _ in $(seq 100); do
        if read -r word number 2>/dev/null <"$folder/klabos-sim.out" && [ "$word" = port ]; then
            sim_port="$number"
            return 0
        fi
        if ! kill -0 "$sim_pid" 2>/dev/null; then
            break
        fi
        sleep 0.1
    done
    echo "klabos-sim did not start:" >&2
    cat "$folder/klabos-sim.log" >&2
    return 1
}

stop_sim() {
    if [ -n "${sim_pid:-}" ]; then
        kill "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
}

# write_demo_profile STORE_TOOL PORT: the demo account through the stand-in as the HTTP proxy, connecting at start,
# and the watched users of the demo world.
write_demo_profile() {
    local store="$1" port="$2"
    local product='SOFTWARE\Velmor\Cvrlik'
    local nicks='SOFTWARE\Velmor\Cvrlik\Nick List'
    set_string() { "$store" set "$product" "$1" --string "$2" >/dev/null; }
    set_int() { "$store" set "$product" "$1" --int "$2" >/dev/null; }

    set_string LoginName demo
    # The store tool keeps the password in the scrambled form the program reads. It reads it from its standard
    # input, so that no password ever shows in the process list or stays in the shell's history.
    printf '%s\n' demo | "$store" set "$product" LoginPassword --password-stdin >/dev/null
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
}
