#!/usr/bin/env bash
# The Wine suite in a throw-away prefix: both DLLs' exports, regsvr32, the Wine test program
# (COM5 a pty that echoes, COM6 the display simulator), the setup tool's and installer's checks.
#   run-wine-suite.sh [win64 build dir] [native build dir] [win32 build dir]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
win64=$(realpath "${1:-build/win64}") win32=$(realpath -m "${3:-build/win32}")
sim="$(realpath "${2:-build/native}")/tools/display-sim/display-sim"

work=$(mktemp -d) pids=()
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" MIRAXLD_MESSAGE_BOX=debug
cleanup() { kill "${pids[@]}" 2>/dev/null; wineserver -k 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT

passed=0 failed=0
check() {  # check <name> <command...>: one counted check, its output shown only on failure
    "${@:2}" >"$work/check.log" 2>&1 && passed=$((passed + 1)) && echo "  ok   $1" && return
    failed=$((failed + 1)) && echo "  FAIL $1" && tail -n 40 "$work/check.log" | sed 's/^/       /'
}
exits() { "${@:2}"; local s=$?; [ "$s" -eq "$1" ] || { echo "${*:2}: exit $s, not $1"; return 1; }; }
fresh_prefix() { export WINEPREFIX="$work/$1" && cp -a "$work/pristine" "$WINEPREFIX"; }

serve_port() {  # serve_port <com number> <command...>: a pty server, its first line the path
    local out="$work/port$1" path=""
    mkfifo "$out"
    "${@:2}" >"$out" 2>"$out.err" &
    pids+=($!)
    exec {fd}<"$out"
    read -r -t 10 path <&"$fd" || { echo "cannot start the server of COM$1"; cat "$out.err"; return 1; }
    ln -sf "$path" "$WINEPREFIX/dosdevices/com$1"
}

# The prefix's MIRAXLD keys and values, one sorted line each (reg_lines.py).
idl="$here/../../src/com/miraxld.idl"
clsid=$(grep -B3 "coclass POSLDisplay" "$idl" | grep -o 'uuid([0-9A-F-]*' | cut -c6-)
markers="miraxld oleforretail $(grep -o 'uuid([0-9A-Fa-f]*' "$idl" | cut -c6-)"
ours() { wineserver -w && python3 "$here/reg_lines.py" "$WINEPREFIX" $markers "$@"; }

wineboot -i >"$work/wineboot.log" 2>&1 || tail -n 20 "$work/wineboot.log"
wineserver -w 2>/dev/null
cp -a "$WINEPREFIX" "$work/pristine"
# COM5: a raw pty that echoes every byte; its far end stays open too, so the terminal survives
# while no client has it open.
serve_port 5 python3 -c 'import os, pty, tty
master, slave = pty.openpty()
tty.setraw(slave)
print(os.ttyname(slave), flush=True)
while True: os.write(master, os.read(master, 4096))' || exit 1
serve_port 6 "$sim" --model KT110 --firmware 13000 || exit 1
export WINEPATH="$win64"

# pe_check <dll> <objdump's format>: that format, exactly the four undecorated COM server exports,
# and no import of a MinGW runtime DLL (the runtime is linked statically).
pe_check() {
    local dump tool=$([ "$2" = pei-i386 ] && echo i686 || echo x86_64)-w64-mingw32-objdump
    "$tool" -f "$1" | grep "file format $2" && dump=$("$tool" -p "$1") && echo "$dump" | grep "DLL Name:" &&
        diff <(printf '%s\n' DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer) \
            <(echo "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/s/^\s*\[ *[0-9]*\]\s*//p' | sort) &&
        ! echo "$dump" | grep -iE "DLL Name: *(libstdc|libgcc|libwinpthread)"
}
check "win64 DLL: PE32+, four exports, static runtime" pe_check "$win64/MIRAXLD.dll" pei-x86-64
[ -f "$win32/MIRAXLD.dll" ] && check "win32 DLL: PE32, four exports, static runtime" pe_check "$win32/MIRAXLD.dll" pei-i386

# regsvr32's keys are the installer checks' reference. Registering over a stale key clears it;
# unregistering, which an uninstaller may run twice, leaves nothing of ours and other classes alone.
registration() {
    local dll registered
    dll=$(winepath -w "$win64/MIRAXLD.dll") && wine regsvr32 /s "$dll" &&
        wine reg query 'HKCR\MIRAXLD.POSLDisplay.1' && registered=$(ours) && [ -n "$registered" ] &&
        wine reg add "HKCR\\CLSID\\{$clsid}\\LocalServer32" /f && wine regsvr32 /s "$dll" &&
        diff <(echo "$registered") <(ours) && wine regsvr32 /u /s "$dll" && diff /dev/null <(ours) &&
        wine regsvr32 /u /s "$dll" && wine reg query 'HKCR\CLSID\{00020424-0000-0000-C000-000000000046}' &&
        wine regsvr32 /s "$dll"
}
check "regsvr32 registers, clears a stale key; unregistering, twice, removes every key" registration

check "the device the tests open, on COM6" wine "$win64/miraxld-setup.exe" add KT110 --model KT110 --port COM6 --baud 9600
check "the Wine test program: every case passes" bash -c \
    "cd '$win64' && timeout 600 wine ./miraxld_wine_tests.exe --gtest_brief=1 --gtest_color=no"
wineserver -k 2>/dev/null

. "$here/setup-tool-checks.sh"
. "$here/installer-checks.sh"

echo "Wine suite: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
