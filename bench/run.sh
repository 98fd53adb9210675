#!/usr/bin/env bash
# Builds the benchmarks and runs them against a sound server of their own, printing every figure.
#   bench/run.sh            (build dir: $BUILD, default build-bench)
# Needs what scripts/setup.sh installs (python3-serial for the stock-tools reference, xvfb and
# x11-utils for the start-up of the real program).
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
build=${BUILD:-build-bench}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target bench_keying bench_busy bench_startup bench_audiotiming bench_ident bench_loudness bench_channelwait bench_handover bench_slots fastclock bench_audiobusy bench_owntail bench_levelair bench_face ptyshim pregonal >/dev/null

# A private sound server, never the tests' one.
export PREGONAL_PULSE_DIR=${PREGONAL_PULSE_DIR:-/tmp/pregonal-bench-$(id -u)}
eval "$(scripts/testpulse.sh start)"
trap 'scripts/testpulse.sh stop' EXIT

shim=$top/$build/tests/libptyshim.so
out=$(mktemp -d)
export QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES="qt.multimedia*=false"
echo "== Machine: $(nproc) CPUs, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(. /etc/os-release; echo "$PRETTY_NAME"), Qt $(dpkg-query -W -f='${Version}' libqt6core6 2>/dev/null)"
echo "== bench_keying"
LD_PRELOAD=$shim PREGONAL_LINESHIM_OPEN=0 PREGONAL_LINELOG=$out/keying.log \
    "$build/bench/bench_keying" | tee "$out/keying.txt"
echo "== stock tools (bench/stocktools.py)"
LD_PRELOAD=$shim PREGONAL_LINESHIM_OPEN=0 PREGONAL_LINELOG=$out/stock.log \
    /usr/bin/python3 bench/stocktools.py --plays 10 --compare "$out/keying.txt"
echo "== bench_busy"
LD_PRELOAD=$shim "$build/bench/bench_busy" 200
echo "== bench_handover"
LD_PRELOAD=$shim PREGONAL_LINESHIM_OPEN=0 PREGONAL_LINELOG=$out/handover.log "$build/bench/bench_handover" 20
echo "== bench_face"
LD_PRELOAD=$shim PREGONAL_LINESHIM_OPEN=0 PREGONAL_LINELOG=$out/face.log "$build/bench/bench_face" 50
echo "== bench_slots"
LD_PRELOAD=$shim PREGONAL_LINESHIM_OPEN=0 PREGONAL_LINELOG=$out/slots.log \
    PREGONAL_FASTCLOCK_LIB=$top/$build/bench/libfastclock.so "$build/bench/bench_slots" 100 20 || true
echo "== bench_audiotiming"
"$build/bench/bench_audiotiming" 20
echo "== bench_ident"
"$build/bench/bench_ident" 20
echo "== bench_loudness"
"$build/bench/bench_loudness"
echo "== bench_channelwait"
"$build/bench/bench_channelwait" 200
echo "== bench_audiobusy"
"$build/bench/bench_audiobusy" 20 20
echo "== bench_audiobusy, the input's only reader (the server's brisk reader of the sink stopped)"
scripts/testpulse.sh noreader
"$build/bench/bench_audiobusy" 20 20
scripts/testpulse.sh reader
echo "== bench_audiobusy on PipeWire"
PREGONAL_PIPEWIRE_DIR=/tmp/pregonal-bench-pipewire-$(id -u) scripts/testpipewire.sh run "$build/bench/bench_audiobusy" 20 20
echo "== bench_owntail"
"$build/bench/bench_owntail" 200
echo "== bench_owntail sin-olvido (the source keeps its hang, as it did before it listened afresh)"
"$build/bench/bench_owntail" 50 sin-olvido
echo "== bench_owntail on PipeWire"
PREGONAL_PIPEWIRE_DIR=/tmp/pregonal-bench-pipewire-$(id -u) scripts/testpipewire.sh run "$build/bench/bench_owntail" 100
echo "== bench_levelair"
"$build/bench/bench_levelair"
echo "== bench_startup"
LD_PRELOAD=$shim PREGONAL_LINESHIM_OPEN=0 "$build/bench/bench_startup"
echo "== real program start-up (bench/startup.py)"
unset QT_QPA_PLATFORM
xvfb-run -a -s "-screen 0 1024x768x24" /usr/bin/python3 bench/startup.py "$build/app/pregonal" --runs 10
rm -rf "$out"
