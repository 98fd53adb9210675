#!/usr/bin/env bash
# A PipeWire sound server for the tests, reached through pipewire-pulse: the same devices as
# scripts/testpulse.sh (a null sink "tx", an input "txin" that hears what tx plays), in a runtime
# folder of its own, with a private D-Bus for WirePlumber. Needs pipewire, pipewire-pulse and
# wireplumber (apt-get install --no-install-recommends pipewire pipewire-pulse wireplumber).
#   eval "$(scripts/testpipewire.sh start)"   starts it and prints the variables that reach it
#   scripts/testpipewire.sh stop              stops it
#   scripts/testpipewire.sh run CMD [ARG...]  starts it, runs CMD against it, stops it
set -euo pipefail
base=${PREGONAL_PIPEWIRE_DIR:-/tmp/pregonal-pipewire-$(id -u)}
daemons=(reader pipewire-pulse wireplumber pipewire dbus-daemon)

stop() {
    local d pid
    for d in "${daemons[@]}"; do
        if [ -f "$base/$d.pid" ]; then
            pid=$(cat "$base/$d.pid")
            kill "$pid" 2>/dev/null || true
            for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
            kill -KILL "$pid" 2>/dev/null || true
            rm -f "$base/$d.pid"
        fi
    done
}

# launch NAME CMD...: in the background, output to NAME.log, pid in NAME.pid.
launch() {
    local name=$1
    shift
    "$@" >"$base/$name.log" 2>&1 </dev/null &
    echo $! >"$base/$name.pid"
}

# waitfor SECONDS CMD...: until CMD succeeds, for at most SECONDS.
waitfor() {
    local tenths=$(($1 * 10))
    shift
    for _ in $(seq "$tenths"); do
        "$@" && return 0
        sleep 0.1
    done
    "$@"
}

alive() { kill -0 "$(cat "$base/$1.pid")" 2>/dev/null; }

# Why an attempt failed: what each daemon said last.
tell() {
    local d
    echo "$1" >&2
    for d in dbus-daemon pipewire wireplumber pipewire-pulse; do
        [ -f "$base/$d.log" ] || continue
        echo "-- $d$(alive "$d" 2>/dev/null || echo ' (terminado)'):" >&2
        tail -n 15 "$base/$d.log" >&2
    done
    return 1
}

pulseinfo() { pactl info 2>/dev/null | grep -q "on PipeWire"; }
defaults() {
    pactl set-default-sink tx 2>/dev/null && pactl set-default-source txin 2>/dev/null &&
        [ "$(pactl get-default-sink 2>/dev/null)" = tx ] &&
        [ "$(pactl get-default-source 2>/dev/null)" = txin ]
}

# One attempt at the whole server; on failure it says why and returns non-zero.
attempt() {
    stop
    rm -rf "$base/run" "$base/home"
    mkdir -p "$base/home" "$base/run"
    chmod 700 "$base/run"
    # The graph's cycle (quantum) no smaller than a desktop's usual one, 1024 frames (21 ms), or
    # PREGONAL_PIPEWIRE_QUANTUM: the readers below ask for 10 ms, and a graph run at a few ms a
    # cycle by a daemon without real-time priority drops whole cycles on a busy or virtual machine.
    mkdir -p "$XDG_CONFIG_HOME/pipewire/pipewire.conf.d"
    echo "context.properties = { default.clock.min-quantum = ${PREGONAL_PIPEWIRE_QUANTUM:-1024} }" \
        >"$XDG_CONFIG_HOME/pipewire/pipewire.conf.d/quantum.conf"
    launch dbus-daemon dbus-daemon --session --nofork --address="$DBUS_SESSION_BUS_ADDRESS"
    waitfor 10 test -S "$base/run/bus" || { tell "no arranca el bus de sesión"; return 1; }
    launch pipewire pipewire
    waitfor 10 test -S "$base/run/pipewire-0" || { tell "pipewire no responde"; return 1; }
    launch wireplumber wireplumber
    launch pipewire-pulse pipewire-pulse
    waitfor 20 pulseinfo || { tell "pipewire-pulse no responde"; return 1; }
    pactl load-module module-null-sink sink_name=tx >/dev/null &&
        pactl load-module module-remap-source master=tx.monitor source_name=txin >/dev/null ||
        { tell "no se pudieron crear tx y txin"; return 1; }
    # WirePlumber makes the defaults stick; wait until it has taken them.
    waitfor 20 defaults || { tell "no se pudo elegir tx por defecto"; return 1; }
    # As in testpulse.sh: someone reads the monitor briskly so the idle sink keeps running.
    launch reader parec -d tx.monitor --latency-msec=10 --raw
}

# A machine still busy with what ran before may start a daemon too slowly, or lose one at start:
# a failed attempt is told in full and the whole server is started again, up to three times.
start() {
    local d n
    for d in pipewire pipewire-pulse wireplumber dbus-daemon pactl parec; do
        command -v "$d" >/dev/null || { echo "falta $d" >&2; exit 1; }
    done
    export HOME="$base/home" XDG_RUNTIME_DIR="$base/run" XDG_CONFIG_HOME="$base/home/.config"
    export XDG_STATE_HOME="$base/home/.local/state" DBUS_SESSION_BUS_ADDRESS="unix:path=$base/run/bus"
    export PULSE_SERVER="unix:$base/run/pulse/native"
    unset PIPEWIRE_REMOTE DISPLAY WAYLAND_DISPLAY
    for n in 1 2 3; do
        if attempt; then
            echo "export XDG_RUNTIME_DIR='$base/run' PULSE_SERVER='unix:$base/run/pulse/native'"
            return 0
        fi
        echo "servidor PipeWire de pruebas: intento $n fallido" >&2
    done
    stop
    exit 1
}

case "${1:-}" in
start) start ;;
stop) stop ;;
run)
    shift
    [ $# -gt 0 ] || { echo "uso: $0 run ORDEN [ARG...]" >&2; exit 2; }
    eval "$(start)"
    trap stop EXIT
    "$@"
    ;;
*) echo "uso: $0 start|stop|run ORDEN..." >&2; exit 2 ;;
esac
