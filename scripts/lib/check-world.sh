# Sourced by the desktop checks (check-wayland.sh, check-accessibility.sh): builds the program without the tests,
# makes a scratch home, starts the stand-in and writes the demo profile into the scratch store. Expects top and
# build; sets work, pictures, sim_port and the XDG folders; stop_world ends what was started.

prepare_world() {
    "$top/scripts/install-deps.sh" --desktops
    "$top/scripts/build.sh" "$build" -DCVRLIK_TESTS=OFF -DCVRLIK_BENCH=OFF
    work="$(mktemp -d)"
    export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/runtime"
    mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR"
    pictures="${CVRLIK_PICTURES:-$work/pictures}"
    mkdir -p "$pictures"
    . "$top/scripts/lib/demo-world.sh"
    start_sim "$build/tools/klabos-sim/klabos-sim" "$work" --seed 1
    write_demo_profile "$build/tools/cvrlik-store/cvrlik-store" "$sim_port"
}

# Ends the processes this check started, by their ids, and removes the scratch home.
started_pids=()
stop_world() {
    for pid in "${started_pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    stop_sim
    if [ -n "${work:-}" ] && [ -z "${CVRLIK_KEEP:-}" ]; then
        rm -rf "$work"
    fi
}

# start_xvfb: a virtual X display of its own; sets display.
start_xvfb() {
    local fifo="$work/display"
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1024x700x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    started_pids+=($!)
    read -r number <"$fifo"
    display=":$number"
}

# Waits until a window manager has taken the display (it announces itself on the root window).
wait_for_window_manager() {
    for _ in $(seq 100); do
        if DISPLAY="$display" xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; then
            return 0
        fi
        sleep 0.1
    done
    echo "no window manager took $display" >&2
    return 1
}
