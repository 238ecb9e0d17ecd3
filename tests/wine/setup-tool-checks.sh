# The setup tool's checks, sourced by run-wine-suite.sh (its check, exits, serve_port, fresh_prefix,
# $work, $here, $win64, $sim). A fresh copy of the pristine prefix with the 64-bit DLL registered;
# the display simulator on COM3, a silent one on COM4, and COM8, which never exists.
setup="$win64/miraxld-setup.exe" branch='HKLM\SOFTWARE\OLEforRetail\ServiceOPOS\LineDisplay'

fresh_prefix setup-tool
serve_port 3 "$sim" --model KT110 --firmware 13000 --screen "$work/screen3.txt" || return 1
serve_port 4 "$sim" --model KT110 --silent || return 1

# keys: the device keys of both views, as reg prints them
keys() { wine cmd /c "reg query $branch /s /reg:32 & echo 64-bit & reg query $branch /s /reg:64" 2>/dev/null | tr -d '\r'; }
# expect <exit code> <text> <arguments...>: the tool exits so, within $limit seconds if set, and
# prints the text; a command that fails leaves the device keys of both views as they were.
expect() {
    local before=$(keys) out
    out=$(exits "$1" timeout "${limit:-0}" wine "$setup" "${@:3}" </dev/null 2>&1 | tr -d '\r')
    local status=$?
    echo "$out"
    [ "$status" -eq 0 ] && grep -qF -- "$2" <<<"$out" && { [ "$1" -eq 0 ] || diff <(echo "$before") <(echo "$(keys)"); }
}
in_view() { wine reg query "$branch\\$1" /v Port /reg:$2 2>/dev/null | tr -d '\r' | grep -q "$3"; }
round_trip() {
    local before=$(keys)
    expect 0 "3 device entries written" export 'C:\all.reg' &&
        [ "$(head -c 4 "$WINEPREFIX/drive_c/all.reg" | od -An -tx1)" = " ff fe 57 00" ] && # UTF-16LE, as regedit's
        expect 0 removed remove KT110 && expect 0 removed remove Quiet && expect 0 removed remove Gone &&
        expect 0 "no device entries" list && expect 0 imported import 'C:\all.reg' && [ "$before" = "$(keys)" ]
}
usb_display() {  # a KT110 attached on COM3 and one unplugged from COM7, as the USB driver lists them
    local usb='HKLM\SYSTEM\CurrentControlSet\Enum\USB\VID_1D9C&PID_0A01'
    wine reg add 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' /v '\Device\VCP0' /d COM3 /f &&
        wine reg add "$usb\\6&1&0\\Device Parameters" /v PortName /d COM7 /f &&
        wine reg add "$usb\\7&1&0\\Device Parameters" /v PortName /d COM3 /f &&
        expect 0 '"instance":"6&1&0","port":"COM7","attached":false,"chosen":false},{"model":"KT110","usbIdentity":"1d9c_0a01","instance":"7&1&0","port":"COM3","attached":true,"chosen":true' ports --json
}
pattern_shown() { grep -q '|KT110               |' "$work/screen3.txt" && grep -q '|Firmware 13000      |' "$work/screen3.txt"; }
added_in_64() {
    expect 0 'KT110 added in the 64-bit view' "$@" && in_view KT110 64 COM3 &&
        ! wine reg query "$branch\\KT110" /reg:32
}
added_in_both() {
    expect 0 'Front added in the 32-bit and 64-bit views' "$@" && in_view Front 32 COM5 && in_view Front 64 COM5 &&
        expect 0 '{"name":"Front","views":[32,64]' list --json &&
        expect 0 'Front removed from the 32-bit and 64-bit views' remove Front
}

echo "== setup tool ($setup, a fresh prefix)"
for verb in list add remove ports test export import; do check "$verb --help" expect 0 "usage: miraxld-setup $verb" "$verb" --help; done
check "add before registration is refused" expect 1 "not registered in any registry view" add KT110 --model KT110 --port COM3 --baud 9600
wine regsvr32 /s "$win64/MIRAXLD.dll"
wine reg add "$branch\\Other" /ve /d Other.LineDisplay.1 /f >/dev/null
check "add writes the 64-bit view, where the DLL is registered" added_in_64 add KT110 --model KT110 --port COM3 --baud 9600
check "add Quiet" expect 0 "Quiet added" add Quiet --model KT110 --port COM4 --baud 9600
check "add Gone" expect 0 "Gone added" add Gone --model KT120 --port COM8 --baud 9600
check "export, remove, import: the same keys" round_trip
wine reg add "HKCR\\CLSID\\{$clsid}\\InprocServer32" /ve /d 'C:\MIRAXLD.dll' /f /reg:32 >/dev/null
check "registered in both views: add writes and remove removes both" added_in_both add Front --model KT910 --port COM5 --baud 19200
check "ports: the attached USB display the port search chooses" usb_display
limit=10 check "test passes against the simulator within 10 s" expect 0 "PASSED: KT110 answered" test KT110
check "the display shows the test pattern" pattern_shown
limit=10 check "test of a silent display fails within 10 s" expect 1 "the display did not answer" test Quiet
limit=10 check "test of a missing port fails within 10 s" expect 1 "ClaimDevice 1000: 111/10004" test Gone
check "test --json" expect 0 '"device":"KT110","passed":true' test KT110 --json
wineserver -k 2>/dev/null
