#!/usr/bin/env bash
# Builds the installer, build/installer/miraxld.msi, from the win32 and win64 builds:
#   build-msi.sh [win32 build dir] [win64 build dir] [output dir] [version]
# The version is the top-level CMake project's (both builds must agree; the installer tests give
# a lower one to build an older package from the same files); the class, type
# library and interface identifiers are read from the IDL, so the package registers what the
# DLLs were built with. wixl writes the package from miraxld.wxs; msibuild then sets the few
# rows wixl's WiX subset cannot express: the device entries' condition and permanence, the
# command-line properties passed to the install, and upgrades over the same version.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
win32=$(realpath "${1:-$root/build/win32}")
win64=$(realpath "${2:-$root/build/win64}")
out=$(realpath -m "${3:-$root/build/installer}")

version_of() { sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$1/CMakeCache.txt"; }
version=$(version_of "$win64")
[ -n "$version" ] && [ "$version" = "$(version_of "$win32")" ] ||
    { echo "build-msi: the win32 and win64 builds disagree on the version ('$(version_of "$win32")', '$version')" >&2; exit 1; }
version=${4:-$version}

idl="$root/src/com/miraxld.idl"
guid_of() {  # the uuid() in the attributes just before "<kind> <name>"
    awk -v name="$1" '
        /uuid\(/ { g = $0; sub(/.*uuid\(/, "", g); sub(/\).*/, "", g) }
        $0 ~ ("(interface|dispinterface|library|coclass) " name "([ :{]|$)") { print toupper(g); exit }' "$idl"
}
clsid=$(guid_of POSLDisplay) libid=$(guid_of MIRAXLDLib)
dispatch_iid=$(guid_of IPOSLDisplay) events_iid=$(guid_of _IPOSLDisplayEvents)
for g in "$clsid" "$libid" "$dispatch_iid" "$events_iid"; do
    [[ "$g" =~ ^[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}$ ]] || { echo "build-msi: no identifier read from $idl" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# wixl takes source files by relative path only.
cd "$root"
wixl -a x64 -o "$work/miraxld.msi" -I "$here" \
    -D Version="$version" -D Win32Dir="$(realpath --relative-to=. "$win32")" \
    -D Win64Dir="$(realpath --relative-to=. "$win64")" \
    -D Clsid="{$clsid}" -D Libid="{$libid}" -D DispatchIid="{$dispatch_iid}" -D EventsIid="{$events_iid}" \
    "$here/miraxld.wxs"
# Component attributes: 4 = the key path is a registry value, 16 = permanent (uninstall keeps the
# device entry), 256 = 64-bit. Upgrade attributes: 1 = migrate features, 512 = the maximum
# version is included, so a rebuild of the same version replaces the installed one (a key
# column, so the row is replaced).
msi="$work/miraxld.msi"
upgrade_code=$(msiinfo export "$msi" Property | tr -d '\r' | awk '$1 == "UpgradeCode" { print $2 }')
for query in \
    "UPDATE Component SET Condition = 'DEVICENAME', Attributes = 20 WHERE Component = 'DeviceEntry32'" \
    "UPDATE Component SET Condition = 'DEVICENAME', Attributes = 276 WHERE Component = 'DeviceEntry64'" \
    "UPDATE Property SET Value = 'WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED;DEVICENAME;MODEL;PORT;BAUDRATE' WHERE Property = 'SecureCustomProperties'" \
    "DELETE FROM Upgrade WHERE ActionProperty = 'WIX_UPGRADE_DETECTED'" \
    "INSERT INTO Upgrade (UpgradeCode, VersionMax, Attributes, ActionProperty) VALUES ('$upgrade_code', '$version', 513, 'WIX_UPGRADE_DETECTED')"; do
    msibuild "$msi" -q "$query" >/dev/null 2>"$work/msibuild.err" || { cat "$work/msibuild.err" >&2; echo "build-msi: $query" >&2; exit 1; }
done

rm -rf "$out"
mkdir -p "$out"
mv "$msi" "$out/miraxld.msi"
echo "installer: $out/miraxld.msi (version $version)"
