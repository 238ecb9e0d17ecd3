#!/usr/bin/env bash
# Configures and builds the three presets: native (core, tests, simulator), win32 (the shipped
# DLL) and win64 (the DLL and the Wine test programs), then the installer from both DLLs
# (build/installer/miraxld.msi).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="${MIRAXLD_JOBS:-$(nproc)}"
for preset in native win32 win64; do
    echo "== build $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
done
echo "== build installer"
tools/installer/build-msi.sh
