#!/usr/bin/python3
"""The stock-tools way to key a transmitter around a message, measured like bench_keying.

Raises DTR and RTS with python3-serial, plays the WAV with `paplay`, drops both lines; on the
same pty (lines through the modem-line shim, LD_PRELOAD) and with the same capture of the test
sink's monitor on CLOCK_MONOTONIC. No lead and no tail: the key goes up right before paplay
starts and down right after it returns.

  stocktools.py [--plays N] [--compare bench_keying-output]

It opens a pty pair of its own and writes the same message bench_keying plays (500 ms of 1 kHz,
half scale, 48 kHz mono, 16-bit PCM).
"""
import argparse
import os
import re
import statistics
import subprocess
import sys
import threading
import time

import serial  # python3-serial

RATE = 48000


class Capture:
    """parec of tx.monitor; sample k sounded at origin + k/RATE (origin: earliest bound seen)."""

    def __init__(self):
        self.data = bytearray()
        self.origin = None
        self.proc = subprocess.Popen(
            ["parec", "-d", "tx.monitor", "--raw", "--format=s16le", f"--rate={RATE}", "--channels=1",
             "--latency-msec=5"], stdout=subprocess.PIPE)
        self.first = threading.Event()
        self.thread = threading.Thread(target=self.run, daemon=True)
        self.thread.start()
        self.first.wait(3)

    def run(self):
        fd = self.proc.stdout.fileno()
        while True:
            chunk = os.read(fd, 4096)
            now = time.monotonic_ns()
            if not chunk:
                return
            self.data += chunk
            origin = now - (len(self.data) // 2) * 1_000_000_000 // RATE
            if self.origin is None or origin < self.origin:
                self.origin = origin
            self.first.set()

    def stop(self):
        time.sleep(0.2)
        self.proc.terminate()
        self.thread.join(2)

    def bursts(self, threshold=0.05, gap_ms=60):
        import array
        pcm = array.array("h")
        pcm.frombytes(bytes(self.data[: len(self.data) // 2 * 2]))
        limit = int(threshold * 32767)
        gap = gap_ms * RATE // 1000
        at = lambda k: self.origin + k * 1_000_000_000 // RATE
        found, start, last = [], -1, -1
        for i, v in enumerate(pcm):
            if abs(v) < limit:
                continue
            if start >= 0 and i - last > gap:
                found.append((at(start), at(last + 1)))
                start = -1
            if start < 0:
                start = i
            last = i
        if start >= 0:
            found.append((at(start), at(last + 1)))
        return found


def write_tone(path, rate=48000, ms=500):
    import math
    import struct
    import wave
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        n = rate * ms // 1000
        w.writeframes(b"".join(struct.pack("<h", round(0.5 * 32767 * math.sin(2 * math.pi * 1000 * i / rate)))
                               for i in range(n)))


def key_periods(log):
    periods, up = [], False
    for line in open(log):
        w = line.split()
        if len(w) < 4:
            continue
        ns = int(w[0])
        keyed = "DTR=1" in w or "RTS=1" in w
        if keyed and not up:
            periods.append([ns, 0])
        elif not keyed and up:
            periods[-1][1] = ns
        up = keyed
    return periods


def stats(values):
    v = sorted(values)
    q = lambda p: v[min(len(v) - 1, int(p * (len(v) - 1) + 0.5))]
    return statistics.median(v), q(0.95), v[-1]


def pregonal_figures(path):
    """Medians of the single plays from bench_keying's output."""
    text = open(path).read().split("Loop,")[0]
    first = re.search(r"first sample .*?median\s+(-?[\d.]+)", text)
    last = re.search(r"key-down - \(last sample \+ tail\) ms: median\s+(-?[\d.]+)", text)
    return float(first.group(1)), float(last.group(1))


def main():
    a = argparse.ArgumentParser()
    a.add_argument("--plays", type=int, default=10)
    a.add_argument("--compare")
    args = a.parse_args()
    log = os.environ.get("PREGONAL_LINELOG")
    if not log or "ptyshim" not in os.environ.get("LD_PRELOAD", ""):
        sys.exit("stocktools.py needs the pty shim (LD_PRELOAD) and PREGONAL_LINELOG")

    master, slave = os.openpty()
    pty_path = os.ttyname(slave)
    os.close(slave)
    wav = os.path.join(os.path.dirname(log), "stocktools-tono.wav")
    write_tone(wav)
    port = serial.Serial()
    port.port = pty_path
    port.dtr = False  # pyserial would raise both on open otherwise
    port.rts = False
    port.open()
    cap = Capture()
    open(log, "w").close()
    for _ in range(args.plays):
        port.setDTR(True)
        port.setRTS(True)
        subprocess.run(["paplay", wav], check=True)
        port.setDTR(False)
        port.setRTS(False)
        time.sleep(0.3)
    cap.stop()
    port.close()
    os.close(master)

    keys, sound = key_periods(log), cap.bursts()
    firsts, lasts, early = [], [], 0
    for up, down in keys:
        b = next((b for b in sound if up <= b[0] < down + 200_000_000), None)
        if not b:
            continue
        firsts.append((b[0] - up) / 1e6)
        lasts.append((down - b[1]) / 1e6)
        early += down < b[1]
    f, l = stats(firsts), stats(lasts)
    print(f"Stock tools (python3-serial + paplay), {len(firsts)} plays of {args.plays}, no lead, no tail:")
    print(f"  first sample - key-up ms:  median {f[0]:6.1f}  p95 {f[1]:6.1f}  worst {f[2]:6.1f}")
    print(f"  key-down - last sample ms: median {l[0]:6.1f}  p95 {l[1]:6.1f}  worst {l[2]:6.1f}")
    print(f"  plays in which the key dropped before the last sample: {early}")
    if args.compare:
        pf, pl = pregonal_figures(args.compare)
        print("Side by side (median error against the keying asked for; stock tools ask lead 0, tail 0):")
        print(f"  {'':34} {'Pregonal':>9} {'stock':>9} {'stock/Pregonal':>15}")
        ratio = lambda s, p: f"{abs(s) / abs(p):.1f}" if abs(p) > 0.05 else "-"
        print(f"  {'first sample - (key-up + lead) ms':34} {pf:9.1f} {f[0]:9.1f} {ratio(f[0], pf):>15}")
        print(f"  {'key-down - (last sample + tail) ms':34} {pl:9.1f} {l[0]:9.1f} {ratio(l[0], pl):>15}")


if __name__ == "__main__":
    main()
