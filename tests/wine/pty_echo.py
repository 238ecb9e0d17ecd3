#!/usr/bin/env python3
"""Serves a pseudo-terminal that echoes every byte back unchanged.

Prints the path of the terminal's far end as its first line, then echoes until it is
terminated. The far end stays open here too, so that the terminal survives while no client
has it open (a Wine test opens and closes the port many times).
"""
import os
import pty
import select
import signal
import sys
import tty


def main() -> None:
    master, slave = pty.openpty()
    tty.setraw(slave)
    print(os.ttyname(slave), flush=True)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    while True:
        ready, _, _ = select.select([master], [], [], 1.0)
        if not ready:
            continue
        try:
            data = os.read(master, 4096)
        except OSError:
            continue
        if data:
            os.write(master, data)


if __name__ == "__main__":
    main()
