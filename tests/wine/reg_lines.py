#!/usr/bin/env python3
"""Prints the HKEY_LOCAL_MACHINE keys and values of a Wine prefix that belong to MIRAXLD, one
sorted line each ("key" or "key | name=data" as in the .reg file), key paths in lower case. A
key is ours when its path names a marker (MIRAXLD, OLEforRetail, an identifier of the type
library); the Windows Installer's own product records and Wine's \\\\?\\ path prefix are left out.
  reg_lines.py PREFIX MARKER... [--as-32-bit]
--as-32-bit prints the lines as a 32-bit registration of the same DLL would write them: through
the 32-bit view, from Program Files (x86). TypeLib is shared by both views, as on Windows: the
32-bit registration adds its win32 path there and finds the other values already written."""
import re
import sys

BOOKKEEPING = ("software\\classes\\installer\\",
               "software\\microsoft\\windows\\currentversion\\installer\\",
               "software\\microsoft\\windows\\currentversion\\uninstall\\")
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
