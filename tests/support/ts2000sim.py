#!/usr/bin/env python3
"""A Kenwood TS-2000 on a pseudo-terminal, for the CAT keying tests.

It answers the queries Hamlib's TS-2000 backend makes (identity, frequencies, mode, VFO, the
IF status line...) and logs each key-up ("TX;") and key-down ("RX;") with the monotonic clock
in nanoseconds, the clock the tests' sound capture uses:

    ts2000sim.py --link /tmp/x/radio --log /tmp/x/radio.log [--silent]

--link names a symbolic link to the pty's slave, made once the radio listens ("ready" is written
to stdout then). --silent: the radio never answers (a radio switched off). SIGUSR1 opens the squelch (someone
on the channel: "BY" answers busy), SIGUSR2 closes it. Every command heard
is logged as "<ns> cmd <text>"; key changes as "<ns> TX" and "<ns> RX". Ends on SIGTERM/SIGINT.
"""
import argparse
import os
import select
import signal
import sys
import time
import tty


class Radio:
    def __init__(self):
        self.freq = {"A": 14200000, "B": 7100000}
        self.mode = 2  # USB
        self.rx_vfo = 0
        self.tx_vfo = 0
        self.tx = 0
        self.ai = 0
        self.busy = 0  # the squelch open: SIGUSR1 opens it, SIGUSR2 closes it

    def if_line(self):
        # IF: freq(11) step(5) rit/xit offset(5 + sign) rit xit bank(1) channel(2) tx mode vfo
        # scan split tone tone-number(2) shift(1)
        f = self.freq["A" if self.rx_vfo == 0 else "B"]
        return ("IF%011d" % f + "00000" + "+0000" + "0" + "0" + "0" + "00" + str(self.tx) + str(self.mode)
                + str(self.rx_vfo) + "0" + "0" + "0" + "00" + "0" + ";")

    def answer(self, cmd):
        """The reply to one command (without its ';'), or None."""
        head, arg = cmd[:2], cmd[2:]
        if cmd == "ID":
            return "ID019;"
        if cmd == "TX" or (head == "TX" and arg in ("0", "1", "2")):
            self.tx = 1
            return None
        if cmd == "RX":
            self.tx = 0
            return None
        if cmd == "IF":
            return self.if_line()
        if head in ("FA", "FB"):
            vfo = head[1]
            if arg:
                self.freq[vfo] = int(arg)
                return None
            return "%s%011d;" % (head, self.freq[vfo])
        if head == "MD":
            if arg:
                self.mode = int(arg)
                return None
            return "MD%d;" % self.mode
        if head == "FR":
            if arg:
                self.rx_vfo = int(arg)
                return None
            return "FR%d;" % self.rx_vfo
        if head == "FT":
            if arg:
                self.tx_vfo = int(arg)
                return None
            return "FT%d;" % self.tx_vfo
        if head == "AI":
            if arg:
                self.ai = int(arg)
                return None
            return "AI%d;" % self.ai
        if head == "PS":
            return None if arg else "PS1;"
        if head == "FV":
            return "FV1.01;"
        if head == "KS":
            return None if arg else "KS020;"
        if head == "SH" or head == "SL":
            return None if arg else "%s00;" % head
        if head == "PC":
            return None if arg else "PC100;"
        if head == "TY":
            return "TY000;"
        if head == "EX":
            return None
        if cmd == "BY":
            return "BY%d0;" % self.busy
        return "?;"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--link", required=True)
    parser.add_argument("--log", required=True)
    parser.add_argument("--silent", action="store_true")
    args = parser.parse_args()

    master, slave = os.openpty()
    tty.setraw(master)
    name = os.ttyname(slave)
    if os.path.lexists(args.link):
        os.unlink(args.link)
    os.symlink(name, args.link)
    log = open(args.log, "a", buffering=1)
    radio = Radio()
    running = [True]

    def end(*_):
        running[0] = False

    signal.signal(signal.SIGTERM, end)
    signal.signal(signal.SIGINT, end)
    signal.signal(signal.SIGUSR1, lambda *_: setattr(radio, "busy", 1))
    signal.signal(signal.SIGUSR2, lambda *_: setattr(radio, "busy", 0))
    print("ready", flush=True)
    pending = b""
    while running[0]:
        try:
            ready, _, _ = select.select([master], [], [], 0.2)
        except InterruptedError:
            continue
        if not ready:
            continue
        try:
            data = os.read(master, 1024)
        except OSError:
            continue  # no client has the slave open
        now = time.monotonic_ns()
        pending += data
        while b";" in pending:
            raw, pending = pending.split(b";", 1)
            cmd = raw.decode("ascii", "replace").strip().upper()
            log.write("%d cmd %s\n" % (now, cmd))
            before = radio.tx
            reply = None if args.silent else radio.answer(cmd)
            if args.silent and cmd in ("TX", "RX"):
                continue
            if radio.tx != before:
                log.write("%d %s\n" % (now, "TX" if radio.tx else "RX"))
            if reply:
                os.write(master, reply.encode("ascii"))
    log.close()
    os.unlink(args.link)
    os.close(slave)
    os.close(master)


if __name__ == "__main__":
    sys.exit(main())
