#!/usr/bin/env bash
# The demo: the display simulator on a pseudo-terminal plays a KT110 pole display on COM3; the
# 64-bit service object, registered in a throw-away Wine prefix, is driven like a POS
# application by the test Control Object (open, claim, enable, a price line, a total, a
# two-line message, close). At the end the simulator prints what the display shows.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
tools/build-all.sh >/tmp/miraxld-demo-build.log 2>&1 || { tail -40 /tmp/miraxld-demo-build.log; exit 1; }

work=$(mktemp -d)
export WINEPREFIX="$work/prefix" WINEDEBUG=-all MIRAXLD_MESSAGE_BOX=debug
sim_pid=""
cleanup() {
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
    wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

echo "== starting the Wine prefix"
wineboot -i >"$work/wineboot.log" 2>&1 || true

echo "== starting the display simulator (KT110)"
mkfifo "$work/sim.out"
build/native/tools/display-sim/display-sim --model KT110 --firmware 13000 \
    --log "$work/sim.log" >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
exec 3<"$work/sim.out"
read -r pty <&3
ln -sf "$pty" "$WINEPREFIX/dosdevices/com3"
echo "   display on $pty as COM3"

echo "== registering build/win64/MIRAXLD.dll"
wine regsvr32 /s build/win64/MIRAXLD.dll
cat >"$work/device.reg" <<'REG'
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SOFTWARE\OLEforRetail\ServiceOPOS\LineDisplay\KT110]
@="MIRAXLD.POSLDisplay.1"
"Port"="COM3"
"BaudRate"="9600"

; The serial-port list, as a Windows serial driver would keep it: the port monitor reports the
; display as online while COM3 is listed.
[HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM]
"\\Device\\Serial2"="COM3"
REG
wine regedit /S "$(winepath -w "$work/device.reg")"

cat >"$work/pos.script" <<'SCRIPT'
# A sale on the customer display.
OpenService LineDisplay KT110
ClaimDevice 1000
SetPropertyNumber 3 1
DisplayTextAt 0 0 "Coffee          2.50" 0
DisplayTextAt 1 0 "Total          12.50" 2
ClearText
DisplayText "  Thank you for    " 0
DisplayText "\r\n  shopping with us!" 0
GetPropertyNumber 6
CloseService
SCRIPT

echo "== POS calls through build/win64/testco.exe"
wine build/win64/testco.exe "$(winepath -w "$work/pos.script")" 2>&1 | tr -d '\r'

echo "== bytes the display received"
tail -n 12 "$work/sim.log" 2>/dev/null || true

echo "== what the display shows"
kill -TERM "$sim_pid"
wait "$sim_pid" 2>/dev/null || true
sim_pid=""
cat <&3
