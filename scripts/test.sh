#!/usr/bin/env bash
# Sets up, builds, starts a sound server of its own and runs the tests. The slow ones (CTest
# label "long") are left out; `scripts/test.sh --long` runs only those. Other arguments go to ctest.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

labels=(-LE long)
if [ "${1:-}" = "--long" ]; then
    labels=(-L long)
    shift
fi

# The test sound server: a PulseAudio null sink, stopped on every way out. Its folder is named
# explicitly, so that the tests that kill and restart it know it is theirs.
export PREGONAL_PULSE_DIR=${PREGONAL_PULSE_DIR:-/tmp/pregonal-pulse-$(id -u)}
top=$(pwd)
eval "$("$top/scripts/testpulse.sh" start)"
trap '"$top/scripts/testpulse.sh" stop' EXIT

cd build
ctest --output-on-failure "${labels[@]}" "$@"
