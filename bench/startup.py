#!/usr/bin/python3
"""Process start of the real program to its main window mapped, under Xvfb.

  startup.py PROGRAM [--runs N]

Watches the root window with `xev -root -event substructure` (x11-utils) and times from just
before the program is started to the first MapNotify of a window: the window manager-free
equivalent of "on screen". The first run after dropping the page cache (when this process may
write /proc/sys/vm/drop_caches) is "cold"; otherwise "cold" is the first run after the build.
Settings go to a scratch XDG_CONFIG_HOME; the program opens no port at start-up.
"""
import argparse
import os
import select
import statistics
import subprocess
import sys
import tempfile
import time


def one_run(program, env):
    xev = subprocess.Popen(["xev", "-root", "-event", "substructure"], stdout=subprocess.PIPE, env=env, bufsize=0)
    time.sleep(0.3)  # xev selects its events
    start = time.monotonic()
    app = subprocess.Popen([program], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    mapped = None
    buf = b""
    deadline = start + 20
    while time.monotonic() < deadline and mapped is None:
        r, _, _ = select.select([xev.stdout], [], [], 0.5)
        if not r:
            continue
        chunk = os.read(xev.stdout.fileno(), 65536)
        now = time.monotonic()
        buf += chunk
        if b"MapNotify" in buf:
            mapped = now
    app.terminate()
    app.wait(10)
    xev.terminate()
    xev.wait(5)
    return None if mapped is None else (mapped - start) * 1000


def drop_caches():
    try:
        os.sync()
        with open("/proc/sys/vm/drop_caches", "w") as f:
            f.write("3\n")
        return True
    except OSError:
        return False


def main():
    a = argparse.ArgumentParser()
    a.add_argument("program")
    a.add_argument("--runs", type=int, default=10)
    args = a.parse_args()
    if not os.environ.get("DISPLAY"):
        sys.exit("startup.py runs under xvfb-run")
    env = dict(os.environ)
    env.pop("QT_QPA_PLATFORM", None)
    env["XDG_CONFIG_HOME"] = tempfile.mkdtemp(prefix="pregonal-startup-")
    env["QT_LOGGING_RULES"] = "qt.multimedia*=false"
    dropped = drop_caches()
    cold = one_run(args.program, env)
    warm = [one_run(args.program, env) for _ in range(args.runs)]
    warm = [w for w in warm if w is not None]
    kind = "after dropping the page cache" if dropped else "first run after the build (page cache not dropped)"
    print(f"Real program, process start -> main window mapped (Xvfb, xev MapNotify):")
    print(f"  cold ({kind}): {cold:.1f} ms" if cold else "  cold: window never mapped")
    if warm:
        print(f"  warm, median of {len(warm)}: {statistics.median(warm):.1f} ms (min {min(warm):.1f}, "
              f"max {max(warm):.1f})")


if __name__ == "__main__":
    main()
