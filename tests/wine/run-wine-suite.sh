#!/usr/bin/env bash
# The Wine suite in a throw-away prefix: both DLLs' exports, regsvr32, the Wine test program
# (COM5 a pty that echoes, COM6 the display simulator), the setup tool's and installer's checks.
#   run-wine-suite.sh [win64 build dir] [native build dir] [win32 build dir]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
win64=$(realpath "${1:-build/win64}")
native=$(realpath "${2:-build/native}")
win32=$(realpath -m "${3:-build/win32}")
sim="$native/tools/display-sim/display-sim"

work=$(mktemp -d)
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export MIRAXLD_MESSAGE_BOX=debug
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    wineserver -k 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

passed=0 failed=0
check() {  # check <name> <command...>: one counted check, its output shown only on failure
    if "${@:2}" >"$work/check.log" 2>&1; then
        passed=$((passed + 1)) && echo "  ok   $1"
    else
        failed=$((failed + 1)) && echo "  FAIL $1" && tail -n 40 "$work/check.log" | sed 's/^/       /'
    fi
}
exits() {  # exits <code> <command...>: the command ends with that exit code
    "${@:2}"
    local status=$?
    [ "$status" -eq "$1" ] || { echo "${*:2}: exit $status, not $1"; return 1; }
}

serve_port() {  # serve_port <com number> <command...>: a pty server, its first line the path
    local number=$1 path=""
    shift
    mkfifo "$work/port$number.out"
    "$@" >"$work/port$number.out" 2>"$work/port$number.err" &
    pids+=($!)
    exec {fd}<"$work/port$number.out"
    read -r -t 10 path <&"$fd" || true
    [ -n "$path" ] || { echo "cannot start the server of COM$number"; cat "$work/port$number.err"; return 1; }
    ln -sf "$path" "$WINEPREFIX/dosdevices/com$number"
}

# The prefix's MIRAXLD keys and values, one sorted line each (reg_lines.py).
idl="$here/../../src/com/miraxld.idl"
clsid=$(grep -B3 "coclass POSLDisplay" "$idl" | grep -o 'uuid([0-9A-F-]*' | cut -c6-)
markers="miraxld oleforretail $(grep -o 'uuid([0-9A-Fa-f]*' "$idl" | cut -c6-)"
ours() { wineserver -w && python3 "$here/reg_lines.py" "$WINEPREFIX" $markers "$@"; }

echo "== Wine prefix"
wineboot -i >"$work/wineboot.log" 2>&1 || tail -n 20 "$work/wineboot.log"
wineserver -w 2>/dev/null || true
cp -a "$WINEPREFIX" "$work/pristine"

serve_port 5 python3 "$here/pty_echo.py" || exit 1
serve_port 6 "$sim" --model KT110 --firmware 13000 --log "$work/sim6.log" || exit 1
export MIRAXLD_TEST_ECHO_PORT=5 MIRAXLD_TEST_SIM_PORT=6 MIRAXLD_TEST_SIM_LOG
MIRAXLD_TEST_SIM_LOG=$(winepath -w "$work/sim6.log" 2>/dev/null)
export WINEPATH="$win64"

echo "== checks"
check "win64 DLL: PE32+, four exports, static runtime" "$here/check-exports.sh" "$win64/MIRAXLD.dll" pei-x86-64
if [ -f "$win32/MIRAXLD.dll" ]; then
    check "win32 DLL: PE32, four exports, static runtime" "$here/check-exports.sh" "$win32/MIRAXLD.dll" pei-i386
fi

# What regsvr32 writes is the installer checks' reference. Registering over a stale key clears
# it; unregistering leaves nothing of ours and the other classes alone, and may run twice (an
# uninstaller may).
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

device='HKLM\SOFTWARE\OLEforRetail\ServiceOPOS\LineDisplay\KT110'  # the one the tests open
check "device key written" bash -c "wine reg add '$device' /ve /d MIRAXLD.POSLDisplay.1 /f &&
    wine reg add '$device' /v Port /d COM6 /f && wine reg add '$device' /v BaudRate /d 9600 /f"

# The test program: one counted check per GoogleTest case.
echo "== $win64/miraxld_wine_tests.exe"
(cd "$win64" && timeout 600 wine ./miraxld_wine_tests.exe --gtest_color=no) 2>&1 | tr -d '\r' >"$work/gtest.txt"
status=${PIPESTATUS[0]}
cases() { grep -E "^\[ *$1 *\] .* \([0-9]+ ms\)$" "$work/gtest.txt"; }
ok_cases=$(cases OK | wc -l) failed_cases=$(cases FAILED | wc -l) skipped_cases=$(cases SKIPPED | wc -l)
passed=$((passed + ok_cases)) failed=$((failed + failed_cases))
echo "  $ok_cases cases passed, $failed_cases failed, $skipped_cases skipped"
cases SKIPPED | sed 's/^/  /'
if [ "$failed_cases" -ne 0 ]; then
    grep -B 30 '^\[  FAILED  \].* ms)$' "$work/gtest.txt" | head -n 150
elif [ "$status" -ne 0 ]; then
    failed=$((failed + 1))
    tail -n 40 "$work/gtest.txt"
    echo "  the test program ended with $status"
fi
wineserver -k 2>/dev/null

. "$here/setup-tool-checks.sh"
. "$here/installer-checks.sh"

echo "Wine suite: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
