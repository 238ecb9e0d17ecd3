#!/usr/bin/env bash
# The Wine suite: the win64 service object registered with regsvr32 in a throw-away Wine
# prefix, the Wine test program driving it (COM5 is a pty that echoes, COM6 a pty served by
# the display simulator, COM9 never exists), the export checks of both DLLs, the setup tool's
# checks (setup-tool-checks.sh) and the installer checks (installer-checks.sh), each in a fresh
# copy of the prefix as wineboot left it.
#   run-wine-suite.sh [win64 build dir] [native build dir] [win32 build dir]
# Ends with "Wine suite: N passed, M failed"; exits non-zero on any failure.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
win64=$(realpath "${1:-build/win64}")
native=$(realpath "${2:-build/native}")
win32=$(realpath -m "${3:-build/win32}")

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
    local name=$1
    shift
    if "$@" >"$work/check.log" 2>&1; then
        passed=$((passed + 1))
        echo "  ok   $name"
    else
        failed=$((failed + 1))
        echo "  FAIL $name"
        tail -n 40 "$work/check.log" | sed 's/^/       /'
    fi
}

# Starts a pty server in the background; its first output line is the pty path. Links the
# Wine COM port to it.
serve_port() {  # serve_port <com number> <command...>
    local number=$1
    shift
    mkfifo "$work/port$number.out"
    "$@" >"$work/port$number.out" 2>"$work/port$number.err" &
    pids+=($!)
    exec {fd}<"$work/port$number.out"
    local path=""
    read -r -t 10 path <&"$fd" || true
    [ -n "$path" ] || { echo "cannot start the server of COM$number"; cat "$work/port$number.err"; return 1; }
    ln -sf "$path" "$WINEPREFIX/dosdevices/com$number"
}

echo "== Wine prefix"
if ! wineboot -i >"$work/wineboot.log" 2>&1; then
    tail -n 20 "$work/wineboot.log"
fi
wineserver -w 2>/dev/null || true
cp -a "$WINEPREFIX" "$work/pristine"

serve_port 5 python3 "$here/pty_echo.py" || exit 1
export MIRAXLD_TEST_ECHO_PORT=5 MIRAXLD_TEST_MISSING_PORT=9
rm -f "$WINEPREFIX/dosdevices/com9"
sim="$native/tools/display-sim/display-sim"
if [ -x "$sim" ]; then
    serve_port 6 "$sim" --model KT110 --firmware 13000 --log "$work/sim6.log" || exit 1
    export MIRAXLD_TEST_SIM_PORT=6 MIRAXLD_TEST_SIM_LOG
    MIRAXLD_TEST_SIM_LOG=$(winepath -w "$work/sim6.log" 2>/dev/null)
    export MIRAXLD_TEST_SIM_LOG_UNIX="$work/sim6.log"
fi
export WINEPATH="$win64"

export class_key='HKCR\MIRAXLD.POSLDisplay.1'
registered() { wine reg query "$class_key" >/dev/null 2>&1; }
unregistered() { ! wine reg query "$class_key" >/dev/null 2>&1 && ! wine reg query 'HKCR\MIRAXLD.POSLDisplay' >/dev/null 2>&1; }

echo "== checks"
check "win64 DLL: PE32+, four exports, static runtime" "$here/check-exports.sh" "$win64/MIRAXLD.dll" pei-x86-64
if [ -f "$win32/MIRAXLD.dll" ]; then
    check "win32 DLL: PE32, four exports, static runtime" "$here/check-exports.sh" "$win32/MIRAXLD.dll" pei-i386
fi
check "regsvr32 registers the ProgID" bash -c "wine regsvr32 /s '$win64/MIRAXLD.dll' && $(declare -f registered); registered"
check "regsvr32 /u removes the ProgIDs" bash -c "wine regsvr32 /s /u '$win64/MIRAXLD.dll' && $(declare -f unregistered); class_key='$class_key'; unregistered"
check "regsvr32 registers again" bash -c "wine regsvr32 /s '$win64/MIRAXLD.dll' && class_key='$class_key'; $(declare -f registered); registered"

# The device the tests open: a KT110 on COM6, the simulator's port.
cat >"$work/device.reg" <<'REG'
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SOFTWARE\OLEforRetail\ServiceOPOS\LineDisplay\KT110]
@="MIRAXLD.POSLDisplay.1"
"Port"="COM6"
"BaudRate"="9600"
REG
check "device key imported" wine regedit /S "$(winepath -w "$work/device.reg")"

# The test program: one counted check per GoogleTest case.
echo "== $win64/miraxld_wine_tests.exe"
(cd "$win64" && timeout 600 wine ./miraxld_wine_tests.exe --gtest_color=no) >"$work/gtest.log" 2>&1
gtest_status=$?
tr -d '\r' <"$work/gtest.log" >"$work/gtest.txt"
grep -E '^\[       OK \]|^\[  FAILED  \]|^\[  SKIPPED \]' "$work/gtest.txt" | grep -v ' tests\?, ' |
    sed -E 's/ \([0-9]+ ms\)$//' | sort -u >"$work/cases.txt"
ok_cases=$(grep -c '^\[       OK \]' "$work/cases.txt")
failed_cases=$(grep -c '^\[  FAILED  \]' "$work/cases.txt")
skipped_cases=$(grep -c '^\[  SKIPPED \]' "$work/cases.txt")
passed=$((passed + ok_cases))
failed=$((failed + failed_cases))
echo "  $ok_cases cases passed, $failed_cases failed, $skipped_cases skipped"
if [ "$gtest_status" -ne 0 ] || [ "$failed_cases" -ne 0 ]; then
    grep -B 30 '^\[  FAILED  \]' "$work/gtest.txt" | head -n 150
    [ "$failed_cases" -eq 0 ] && { failed=$((failed + 1)); tail -n 40 "$work/gtest.txt"; echo "  the test program ended with $gtest_status"; }
fi
[ "$skipped_cases" -ne 0 ] && grep '^\[  SKIPPED \]' "$work/cases.txt" | sed 's/^/  /'

main_prefix=$WINEPREFIX
. "$here/setup-tool-checks.sh"
. "$here/installer-checks.sh"
export WINEPREFIX=$main_prefix

echo "Wine suite: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
