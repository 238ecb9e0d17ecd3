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
    key = None
    with open(f"{prefix}/system.reg", encoding="utf-8", errors="replace") as reg:
        for raw in reg:
            raw = raw.rstrip("\n")
            header = re.match(r"^\[(.*)\] \d+$", raw)
            if header:
                key = header.group(1).replace("\\\\", "\\").lower()
                ours = any(m in key for m in markers) and not key.startswith(BOOKKEEPING)
                if ours:
                    yield key
            elif key and ours and raw and raw[0] in '"@':
                yield f"{key} | " + raw.replace("\\\\", "\\").replace("\\\\?\\", "")


def as_32_bit(line):
    if line.startswith(TYPELIB):
        return line.replace("\\win64", "\\win32").replace(PF64, PF32) if "\\win64" in line else line
    if line.startswith(CLASSES) and not line.startswith(CLASSES + "wow6432node\\"):
        line = CLASSES + "wow6432node\\" + line[len(CLASSES):]
    return line.replace(PF64, PF32)


args = [a for a in sys.argv[1:] if a != "--as-32-bit"]
found = {as_32_bit(l) if "--as-32-bit" in sys.argv else l for l in lines(args[0], [m.lower() for m in args[1:]])}
sys.stdout.write("".join(line + "\n" for line in sorted(found)))
