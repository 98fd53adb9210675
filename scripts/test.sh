#!/usr/bin/env bash
# Sets up, builds, starts a sound server of its own and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

# The test sound server: a PulseAudio null sink, stopped on every way out.
top=$(pwd)
eval "$("$top/scripts/testpulse.sh" start)"
trap '"$top/scripts/testpulse.sh" stop' EXIT

cd build
ctest --output-on-failure "$@"
