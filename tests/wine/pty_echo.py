#!/usr/bin/env python3
"""Serves a pseudo-terminal that echoes every byte back unchanged; prints the path of its far end
first. The far end stays open here too, so that the terminal survives while no client has it
open (a Wine test opens and closes the port many times)."""
import os
import pty
import tty

master, slave = pty.openpty()
tty.setraw(slave)
print(os.ttyname(slave), flush=True)
while True:
    os.write(master, os.read(master, 4096))
