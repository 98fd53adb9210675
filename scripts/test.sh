#!/usr/bin/env bash
# Sets up, builds and runs the tests. The sound tests (CTest label "sound": the real audio device,
# the end-to-end run and the sound-server faults) run twice, on a PulseAudio server of their own
# and then on a PipeWire one (pipewire-pulse); everything else runs once, on the first. The slow
# ones (label "long") are left out; `scripts/test.sh --long` runs only those, on PulseAudio.
# Other arguments go to ctest.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

long=0
labels=(-LE long)
if [ "${1:-}" = "--long" ]; then
    long=1
    labels=(-L long)
    shift
fi

# The test sound servers, each with a null sink, each stopped on every way out. Their folders are
# named explicitly, so that the tests that kill and restart a server know it is theirs.
export PREGONAL_PULSE_DIR=${PREGONAL_PULSE_DIR:-/tmp/pregonal-pulse-$(id -u)}
export PREGONAL_PIPEWIRE_DIR=${PREGONAL_PIPEWIRE_DIR:-/tmp/pregonal-pipewire-$(id -u)}
top=$(pwd)
# A session bus of the run's own: the programs the tests start own the station there, never on
# the bus of the desktop the tests were started from.
busdir=$(mktemp -d /tmp/pregonal-bus-XXXXXX)
buspid=""
stop_servers() {
    "$top/scripts/testpulse.sh" stop || true
    "$top/scripts/testpipewire.sh" stop || true
    if [ -n "$buspid" ]; then kill "$buspid" 2>/dev/null || true; fi
    rm -rf "$busdir"
}
trap stop_servers EXIT
trap 'exit 130' INT TERM HUP

export DBUS_SESSION_BUS_ADDRESS="unix:path=$busdir/bus"
dbus-daemon --session --nofork --address="$DBUS_SESSION_BUS_ADDRESS" </dev/null >/dev/null 2>&1 &
buspid=$!
for _ in $(seq 50); do [ -S "$busdir/bus" ] && break; sleep 0.1; done
[ -S "$busdir/bus" ] || { echo "no arranca el bus de sesión de las pruebas" >&2; exit 1; }

failed=0
echo "== Tests on PulseAudio"
# A server that does not start fails the run here; the sound tests would otherwise skip quietly.
servervars=$("$top/scripts/testpulse.sh" start)
eval "$servervars"
(cd build && ctest --output-on-failure "${labels[@]}" "$@") || failed=1
"$top/scripts/testpulse.sh" stop

if [ "$long" = 0 ]; then
    echo "== Sound tests on PipeWire"
    servervars=$("$top/scripts/testpipewire.sh" start)
    eval "$servervars"
    # As strict as on PulseAudio: a sound test that fails here fails the run. A case whose own
    # capture lost samples, or whose input the server did not feed, cannot judge the program and
    # ends skipped; the count says how many.
    (cd build && ctest --output-on-failure -L sound -LE long "$@") || failed=1
    inconclusive=$(grep -c "inconclusive, the test" build/Testing/Temporary/LastTest.log || true)
    echo "PipeWire: $inconclusive casos sin concluir (la captura perdió muestras o el servidor no alimentó la entrada)"
    "$top/scripts/testpipewire.sh" stop
fi
exit "$failed"
