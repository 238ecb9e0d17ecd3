#!/usr/bin/env python3
"""Prints the path of a raw pseudo-terminal, then echoes every byte written to it. The far end stays
open here too, so the terminal survives while no client has it open."""
import os, pty, tty

master, slave = pty.openpty()
tty.setraw(slave)
print(os.ttyname(slave), flush=True)
while True:
    os.write(master, os.read(master, 4096))
