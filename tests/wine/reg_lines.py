#!/usr/bin/env python3
"""reg_lines.py PREFIX MARKER... [--as-32-bit]: a Wine prefix's HKEY_LOCAL_MACHINE keys naming a
marker, one sorted line each ("key" or "key | name=data", key in lower case), without the Windows
Installer's records and Wine's \\\\?\\ path prefix. --as-32-bit: as a 32-bit registration of the DLL
would write them, through the 32-bit view from Program Files (x86); TypeLib is shared by both
views, as on Windows, so only its win32 path changes."""
import re, sys

CURRENT = "software\\microsoft\\windows\\currentversion\\"
BOOKKEEPING = ("software\\classes\\installer\\", CURRENT + "installer\\", CURRENT + "uninstall\\")
CLASSES, TYPELIB = "software\\classes\\", "software\\classes\\typelib\\"
PF64, PF32 = "C:\\Program Files\\", "C:\\Program Files (x86)\\"


def lines(prefix, markers):
    ours = False
    for raw in open(f"{prefix}/system.reg", encoding="utf-8", errors="replace").read().splitlines():
        if header := re.match(r"^\[(.*)\] \d+$", raw):
            key = header[1].replace("\\\\", "\\").lower()
            ours = any(m in key for m in markers) and not key.startswith(BOOKKEEPING)
            yield from [key] if ours else []
        elif ours and raw.startswith(('"', "@")):
            yield f"{key} | " + raw.replace("\\\\", "\\").replace("\\\\?\\", "")


def as_32_bit(line):
    if line.startswith(TYPELIB):
        return line.replace("\\win64", "\\win32").replace(PF64, PF32) if "\\win64" in line else line
    if line.startswith(CLASSES) and not line.startswith(CLASSES + "wow6432node\\"):
        line = CLASSES + "wow6432node\\" + line[len(CLASSES):]
    return line.replace(PF64, PF32)


convert = as_32_bit if "--as-32-bit" in sys.argv else str
prefix, *markers = [a for a in sys.argv[1:] if a != "--as-32-bit"]
found = {convert(line) for line in lines(prefix, [m.lower() for m in markers])}
sys.stdout.write("".join(line + "\n" for line in sorted(found)))
