#!/usr/bin/env bash
# Plays a 0.6 s and a 20 s message through the real window and sound device on PulseAudio and on
# PipeWire (each a private server of its own), idle and with two busy CPU hogs, and prints one table
# of both (bench_servers). The hogs are bounded (they end by themselves after an hour) and stopped
# here, as are the servers, on every way out.
#   bench/servers.sh [SHORT_PLAYS [LONG_PLAYS [TAIL0_PLAYS]]]    (defaults 200, 3, 50)
#   (build dir: $BUILD, default build-bench)
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
build=${BUILD:-build-bench}
short=${1:-200} long=${2:-3} tail0=${3:-50}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target bench_servers ptyshim >/dev/null

export PREGONAL_PULSE_DIR=${PREGONAL_PULSE_DIR:-/tmp/pregonal-bench-pulse-$(id -u)}
export PREGONAL_PIPEWIRE_DIR=${PREGONAL_PIPEWIRE_DIR:-/tmp/pregonal-bench-pipewire-$(id -u)}
hogs=()
stop_hogs() {
    local p
    for p in "${hogs[@]}"; do kill "$p" 2>/dev/null || true; done
    for p in "${hogs[@]}"; do wait "$p" 2>/dev/null || true; done
    hogs=()
}
cleanup() {
    stop_hogs
    scripts/testpulse.sh stop >/dev/null 2>&1 || true
    scripts/testpipewire.sh stop >/dev/null 2>&1 || true
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

out=$(mktemp -d)
export QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES="qt.multimedia*=false"
echo "== Machine: $(nproc) CPUs, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(. /etc/os-release; echo "$PRETTY_NAME"), Qt $(dpkg-query -W -f='${Version}' libqt6core6 2>/dev/null)"
echo "== $short plays of 0.6 s (tail 100), $tail0 of 0.6 s (tail 0), $long of 20 s with each tail; lead 300 ms"
echo "| server | load | message | plays | broken | first sample - (key-up + lead) ms: median / p95 / lowest | key-down - (last sample + tail) ms: median / p95 / lowest / highest | key down before the last sample |"
echo "|---|---|---|---|---|---|---|---|"
for server in PulseAudio PipeWire; do
    if [ "$server" = PulseAudio ]; then script=scripts/testpulse.sh; else script=scripts/testpipewire.sh; fi
    servervars=$("$script" start)
    eval "$servervars"
    for load in idle "2 CPU hogs"; do
        if [ "$load" != idle ]; then
            for _ in 1 2; do
                timeout 3600 sh -c 'while :; do :; done' &
                hogs+=($!)
            done
        fi
        LD_PRELOAD=$top/$build/tests/libptyshim.so PREGONAL_LINESHIM_OPEN=0 PREGONAL_LINELOG=$out/lines.log \
            "$build/bench/bench_servers" "$server" "$load" "$short" "$long" "$tail0"
        stop_hogs
    done
    "$script" stop
done
rm -rf "$out"
