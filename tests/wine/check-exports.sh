#!/usr/bin/env bash
# Checks a built MIRAXLD.dll: the expected PE format, exactly the four undecorated COM server
# exports, and no import of a MinGW runtime DLL (the runtime is linked statically).
#   check-exports.sh <dll> <pei-i386|pei-x86-64>
set -uo pipefail
dll=$1 format=$2
objdump=$([ "$format" = pei-i386 ] && echo i686 || echo x86_64)-w64-mingw32-objdump
command -v "$objdump" >/dev/null || objdump=objdump
fail() { echo "check-exports: $dll: $*"; exit 1; }
[ -f "$dll" ] || fail "missing"
"$objdump" -f "$dll" | grep -q "file format $format" || fail "not $format"

dump=$("$objdump" -p "$dll")
exports=$(echo "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | grep -E '^\s*\[ *[0-9]+\]' |
    sed -E 's/.*\]\s+//' | sort | tr '\n' ' ')
expected="DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer "
[ "$exports" = "$expected" ] || fail "exports are '$exports', expected '$expected'"
imports=$(echo "$dump" | grep -i "DLL Name:" | awk '{print tolower($3)}' | tr '\n' ' ')
case "$imports" in *libstdc++* | *libgcc* | *libwinpthread*) fail "imports a MinGW runtime DLL: $imports" ;; esac
echo "check-exports: $dll: $format, four exports, imports $imports"
