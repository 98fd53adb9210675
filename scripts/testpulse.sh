#!/usr/bin/env bash
# A PulseAudio daemon for the tests: a null sink "tx", an input "txin" that hears what the sink
# plays, anonymous access, and a runtime folder of its own.
#   eval "$(scripts/testpulse.sh start)"   starts it and prints the variables that reach it
#   scripts/testpulse.sh stop              stops it
#   scripts/testpulse.sh noreader|reader   stops the sink's brisk reader (below), or starts it again:
#                                          an input's only reader then sets how often it delivers
set -euo pipefail
base=${PREGONAL_PULSE_DIR:-/tmp/pregonal-pulse-$(id -u)}

stop() {
    noreader
    if [ -d "$base" ]; then
        HOME="$base/home" XDG_RUNTIME_DIR="$base/run" pulseaudio --kill 2>/dev/null || true
    fi
}

# An idle null sink advances in 2-second blocks unless someone reads its monitor briskly.
reader() {
    noreader
    XDG_RUNTIME_DIR="$base/run" PULSE_SERVER="unix:$base/run/pulse/native" \
        parec -d tx.monitor --latency-msec=10 >/dev/null 2>&1 &
    echo $! >"$base/reader.pid"
}

noreader() {
    if [ -f "$base/reader.pid" ]; then kill "$(cat "$base/reader.pid")" 2>/dev/null || true; fi
    rm -f "$base/reader.pid"
}

start() {
    stop
    mkdir -p "$base/home" "$base/run"
    chmod 700 "$base/run"
    export HOME="$base/home" XDG_RUNTIME_DIR="$base/run"
    unset PULSE_SERVER
    cat >"$base/default.pa" <<PA
load-module module-native-protocol-unix auth-anonymous=1
load-module module-null-sink sink_name=tx
load-module module-remap-source master=tx.monitor source_name=txin
load-module module-always-sink
set-default-sink tx
set-default-source txin
PA
    pulseaudio -n -F "$base/default.pa" --daemonize=yes --exit-idle-time=-1 --disallow-exit \
        --realtime=no --log-target=file:"$base/pulse.log" >&2
    for _ in $(seq 50); do
        pactl info >/dev/null 2>&1 && break
        sleep 0.1
    done
    pactl info >/dev/null
    reader
    echo "export XDG_RUNTIME_DIR='$base/run' PULSE_SERVER='unix:$base/run/pulse/native'"
}

case "${1:-}" in
start) start ;;
stop) stop ;;
reader) reader ;;
noreader) noreader ;;
*) echo "uso: $0 start|stop|reader|noreader" >&2; exit 2 ;;
esac
