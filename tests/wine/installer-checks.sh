# The installer checks, sourced by run-wine-suite.sh (its check, exits, ours, fresh_prefix, $work,
# $here, $win32, $win64). Each case installs build/installer's package silently in its own copy of
# the pristine prefix and compares the MIRAXLD keys with the reference below.
msi="$(dirname "$win64")/installer/miraxld.msi"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$win64/CMakeCache.txt")
pf64="drive_c/Program Files/MIRAXLD" pf32="drive_c/Program Files (x86)/MIRAXLD"

drop_prefix() { wineserver -k 2>/dev/null; rm -rf "$WINEPREFIX"; }
in_fresh_prefix() { fresh_prefix "$1" && shift && check "$@"; drop_prefix; }
msi() { wine msiexec "$@" /qn; }
refused() { exits 67 msi "$@"; }  # 1603 as an exit status keeps its low 8 bits
no_files() { [ ! -e "$WINEPREFIX/$pf64" ] && [ ! -e "$WINEPREFIX/$pf32" ]; }
installed() {  # both DLLs and both setup tools, nothing else
    for f in MIRAXLD.dll miraxld-setup.exe; do cmp "$win64/$f" "$WINEPREFIX/$pf64/$f" && cmp "$win32/$f" "$WINEPREFIX/$pf32/$f" || return 1; done
    [ "$(find "$WINEPREFIX/$pf64" "$WINEPREFIX/$pf32" -type f | wc -l)" -eq 4 ]
}
device='DEVICENAME=Counter1 MODEL=KT110 PORT=COM3 BAUDRATE=9600'
device_lines() {  # Counter1 as the package writes it, in both registry views
    for key in software{,\\wow6432node}\\oleforretail\\serviceopos\\linedisplay\\counter1; do
        printf '%s\n' "$key" "$key | \"BaudRate\"=\"9600\"" "$key | \"DeviceModel\"=\"KT110\"" \
            "$key | \"Port\"=\"COM3\"" "$key | @=\"MIRAXLD.POSLDisplay.1\""
    done
}
with_device() { LC_ALL=C sort -u "$work/registration.txt" <(device_lines); }

# The reference: regsvr32 of the 64-bit DLL where the package puts it, and its 32-bit counterpart.
fresh_prefix reference
mkdir -p "$WINEPREFIX/$pf64" && cp "$win64/MIRAXLD.dll" "$WINEPREFIX/$pf64/"
wine regsvr32 /s 'C:\Program Files\MIRAXLD\MIRAXLD.dll'
LC_ALL=C sort -u <(ours) <(ours --as-32-bit) >"$work/registration.txt"
drop_prefix

refusals_write_nothing() {
    refused /i "$msi" ${device% *} && refused /i "$msi" ${device/KT110/KT999} &&
        refused /i "$msi" ${device/COM3/3} && refused /i "$msi" ${device/9600/9601} &&
        diff /dev/null <(ours) && no_files
}
silent_install() { msi /i "$msi" && diff "$work/registration.txt" <(ours) && installed; }
device_entry_kept_on_uninstall() {
    msi /i "$msi" $device && diff <(with_device) <(ours) &&
        msi /x "$msi" && diff <(device_lines) <(ours) && no_files
}
upgrade_over_older() {  # the older build: the same files, packaged as version 0.9.0
    "$here/../../tools/installer/build-msi.sh" "$win32" "$win64" "$work/older" 0.9.0 >/dev/null &&
        msi /i "$work/older/miraxld.msi" $device && msi /i "$msi" && refused /i "$work/older/miraxld.msi" &&
        diff <(with_device) <(ours) && installed &&
        # the products in Add/Remove Programs: only the new one
        [ "$(awk '/^\[/ { arp = index($0, "CurrentVersion\\\\Uninstall\\\\") > 0 }
                  arp && /^"DisplayVersion"=/' "$WINEPREFIX/system.reg")" = "\"DisplayVersion\"=\"$version\"" ]
}

echo "== installer ($msi)"
in_fresh_prefix refusals "installer refuses bad device properties (missing, model, port, baud), writing nothing" refusals_write_nothing
in_fresh_prefix install "silent install: both DLLs, registered exactly as regsvr32 registers them" silent_install
in_fresh_prefix device "install with device properties creates the entry; uninstall removes the rest" device_entry_kept_on_uninstall
in_fresh_prefix upgrade "upgrade over an older build keeps the entry; the downgrade is refused" upgrade_over_older
