#!/usr/bin/env bash
# Builds the libFuzzer target of the open path with clang and runs it for a bounded time.
#   bench/fuzz.sh [seconds]   (default 60)
# Skips (exit 0, with a note) when clang++ cannot build -fsanitize=fuzzer programs.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=build-fuzz
if ! command -v clang++ >/dev/null ||
    ! echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long){return 0;}' |
        clang++ -x c++ -fsanitize=fuzzer -o /dev/null - 2>/dev/null; then
    echo "fuzz: clang++ with -fsanitize=fuzzer is not available; skipped"
    exit 0
fi
cmake -S bench/fuzz -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
mkdir -p "$build/corpus" "$build/seeds"
# Seeds: small valid files of a few encodings (sndfile-convert is not needed: sox-free, by python).
/usr/bin/python3 - "$build/seeds" <<'PY'
import math, struct, sys, wave
d = sys.argv[1]
for rate, ch in ((8000, 1), (22050, 2), (48000, 1)):
    with wave.open(f"{d}/pcm16-{rate}-{ch}.wav", "wb") as w:
        w.setnchannels(ch); w.setsampwidth(2); w.setframerate(rate)
        w.writeframes(b"".join(struct.pack("<h", int(8000 * math.sin(i / 7))) * ch for i in range(200)))
with wave.open(f"{d}/pcm8.wav", "wb") as w:
    w.setnchannels(1); w.setsampwidth(1); w.setframerate(11025); w.writeframes(bytes(range(256)))
PY
export QT_LOGGING_RULES="qt.multimedia*=false"
# No sound is played: "open" only reads the file. Leaks are reported at exit by ASan.
"$build/fuzz_open" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$build/" "$build/corpus" "$build/seeds"
