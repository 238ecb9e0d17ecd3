#!/usr/bin/env bash
# The demo, the way a technician sets up a POS terminal: the display simulator on a
# pseudo-terminal plays a KT110 pole display on COM3; the installer goes silently into a fresh
# Wine prefix (both DLLs, registered); the setup tool adds the device entry and tests the
# display; then the test Control Object drives the 64-bit service object like a POS application
# (open, claim, enable, a price line, a total, a two-line message, close). At the end the
# simulator prints what the display shows and writes a picture of it, build/demo/display.png.
set -euo pipefail
cd "$(dirname "$0")/.."

echo "== building (Debian packages, the native, win32 and win64 presets, the installer)"
tools/install-deps.sh
tools/build-all.sh >/tmp/miraxld-demo-build.log 2>&1 || { tail -40 /tmp/miraxld-demo-build.log; exit 1; }
grep '^installer:' /tmp/miraxld-demo-build.log | sed 's/^/   /'

work=$(mktemp -d)
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" MIRAXLD_MESSAGE_BOX=debug
sim_pid=""
cleanup() {
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
    wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

echo "== starting a fresh Wine prefix"
wineboot -i >"$work/wineboot.log" 2>&1 || true

echo "== starting the display simulator (KT110)"
mkfifo "$work/sim.out"
picture="$PWD/build/demo/display.png"
mkdir -p "$(dirname "$picture")"
rm -f "$picture"
build/native/tools/display-sim/display-sim --model KT110 --firmware 13000 \
    --log "$work/sim.log" --png "$picture" >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
exec 3<"$work/sim.out"
read -r pty <&3
ln -sf "$pty" "$WINEPREFIX/dosdevices/com3"
# The serial-port list, as a Windows serial driver would keep it: the port monitor reports the
# display as online while COM3 is listed.
wine reg add 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' /v '\Device\Serial2' /d COM3 /f >/dev/null
echo "   display on $pty as COM3"

echo "== installing: msiexec /i build/installer/miraxld.msi /qn"
wine msiexec /i "$(winepath -w build/installer/miraxld.msi)" /qn
for dir in "Program Files" "Program Files (x86)"; do
    (cd "$WINEPREFIX/drive_c/$dir/MIRAXLD" && for f in *; do echo "   C:\\$dir\\MIRAXLD\\$f"; done)
done
for view in 64 32; do
    wine reg query 'HKCR\CLSID\{07468A7C-D029-42FB-889B-ABC8A5EB372D}\InprocServer32' /ve /reg:$view |
        tr -d '\r' | sed -n "s/.*REG_SZ *\(.*\)/   MIRAXLD.POSLDisplay.1 ($view-bit view) -> \1/p"
done

setup='C:\Program Files\MIRAXLD\miraxld-setup.exe'
echo "== adding the device entry: miraxld-setup add KT110 --model KT110 --port COM3 --baud 9600"
wine "$setup" add KT110 --model KT110 --port COM3 --baud 9600 | tr -d '\r' | sed 's/^/   /'
wine "$setup" list | tr -d '\r' | sed 's/^/   /'

echo "== testing the display: miraxld-setup test KT110"
wine "$setup" test KT110 | tr -d '\r' | sed 's/^/   /'

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
if [ -s "$picture" ]; then
    echo "== a picture of the display: $picture"
else
    echo "== no picture of the display was written" >&2
    cat "$work/sim.err" >&2
    exit 1
fi
