# The installer checks, sourced by run-wine-suite.sh (its check, $work, $here, $win32, $win64).
# Each case starts from its own copy of the pristine prefix and installs build/installer's
# package silently; the registry's MIRAXLD keys and values (reg_lines.py) are compared with what
# regsvr32 of the 64-bit DLL writes in another fresh prefix, and with its 32-bit counterpart.
msi="$(dirname "$win64")/installer/miraxld.msi"
markers="miraxld oleforretail $(grep -o 'uuid([0-9A-Fa-f]*' "$here/../../src/com/miraxld.idl" | cut -c6-)"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$win64/CMakeCache.txt")
pf64="drive_c/Program Files/MIRAXLD" pf32="drive_c/Program Files (x86)/MIRAXLD"

fresh_prefix() { export WINEPREFIX="$work/$1" && cp -a "$work/pristine" "$WINEPREFIX"; }
drop_prefix() { wineserver -k 2>/dev/null; rm -rf "$WINEPREFIX"; }
ours() { wineserver -w && python3 "$here/reg_lines.py" "$WINEPREFIX" $markers "$@"; }
msi() { wine msiexec "$@" /qn; }  # a refusal (1603) exits 67: the status keeps 8 bits
no_files() { [ ! -e "$WINEPREFIX/$pf64" ] && [ ! -e "$WINEPREFIX/$pf32" ]; }
installed() {
    local file
    for file in MIRAXLD.dll miraxld-setup.exe; do
        cmp "$win64/$file" "$WINEPREFIX/$pf64/$file" && cmp "$win32/$file" "$WINEPREFIX/$pf32/$file" || return 1
    done
    [ "$(find "$WINEPREFIX/$pf64" "$WINEPREFIX/$pf32" -type f | wc -l)" -eq 4 ]
}
device='DEVICENAME=Counter1 MODEL=KT110 PORT=COM3 BAUDRATE=9600'
device_lines() {  # Counter1 as the package writes it, in both registry views
    local view key
    for view in "" 'wow6432node\'; do
        key="software\\${view}oleforretail\\serviceopos\\linedisplay\\counter1"
        printf '%s\n' "$key" "$key | \"BaudRate\"=\"9600\"" "$key | \"DeviceModel\"=\"KT110\"" \
            "$key | \"Port\"=\"COM3\"" "$key | @=\"MIRAXLD.POSLDisplay.1\""
    done
}
with_device() { LC_ALL=C sort -u "$work/registration.txt" <(device_lines); }

# The reference: regsvr32 of the 64-bit DLL where the package puts it.
fresh_prefix reference
mkdir -p "$WINEPREFIX/$pf64" && cp "$win64/MIRAXLD.dll" "$WINEPREFIX/$pf64/"
wine regsvr32 /s 'C:\Program Files\MIRAXLD\MIRAXLD.dll'
LC_ALL=C sort -u <(ours) <(ours --as-32-bit) >"$work/registration.txt"
drop_prefix

refusals_write_nothing() {
    local row
    for row in "${device% *}" "${device/KT110/KT999}" "${device/COM3/3}" "${device/9600/9601}"; do
        msi /i "$msi" $row
        local status=$?
        [ "$status" -eq 67 ] || { echo "$row: exit $status, not 1603"; return 1; }
    done
    [ -z "$(ours)" ] && no_files
}
silent_install() {
    msi /i "$msi" && diff "$work/registration.txt" <(ours) && installed
}
device_entry_kept_on_uninstall() {
    msi /i "$msi" $device && diff <(with_device) <(ours) &&
        msi /x "$msi" && diff <(device_lines | LC_ALL=C sort) <(ours) && no_files
}
upgrade_over_older() {  # the older build: the same files, packaged as version 0.9.0
    "$here/../../tools/installer/build-msi.sh" "$win32" "$win64" "$work/older" 0.9.0 >/dev/null &&
        msi /i "$work/older/miraxld.msi" $device && msi /i "$msi" || return 1
    msi /i "$work/older/miraxld.msi"
    local status=$?
    [ "$status" -eq 67 ] || { echo "the downgrade exited $status, not 1603"; return 1; }
    diff <(with_device) <(ours) && installed &&
        # the products in Add/Remove Programs: only the new one
        [ "$(awk '/^\[/ { arp = index($0, "CurrentVersion\\\\Uninstall\\\\") > 0 }
                  arp && /^"DisplayVersion"=/' "$WINEPREFIX/system.reg")" = "\"DisplayVersion\"=\"$version\"" ]
}

echo "== installer ($msi)"
fresh_prefix install
check "installer refuses bad device properties (missing, model, port, baud), writing nothing" refusals_write_nothing
check "silent install: both DLLs, registered exactly as regsvr32 registers them" silent_install
drop_prefix
fresh_prefix device
check "install with device properties creates the entry; uninstall removes the rest" device_entry_kept_on_uninstall
drop_prefix
fresh_prefix upgrade
check "upgrade over an older build keeps the entry; the downgrade is refused" upgrade_over_older
drop_prefix
