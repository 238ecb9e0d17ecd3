#!/usr/bin/env bash
# Runs every test: the native GoogleTest suite and the Wine suite (the win64 DLL registered in a
# throw-away Wine prefix, driven by the test Control Object, a pty as COM port). Builds first
# what is not built yet. Prints one summary line per suite and exits non-zero on any failure.
set -uo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh && tools/build-all.sh >/tmp/miraxld-build.log 2>&1 || { tail -50 /tmp/miraxld-build.log; echo "build failed"; exit 1; }

status=0
echo "== native suite"
if ctest --preset native -j "$(nproc)" >/tmp/miraxld-ctest.log 2>&1; then :; else status=1; fi
grep -E "tests passed|tests failed|\*\*\*Failed|Timeout|Not Run" /tmp/miraxld-ctest.log | head -60

echo "== Wine suite"
tests/wine/run-wine-suite.sh build/win64 build/native build/win32 || status=1

exit $status
