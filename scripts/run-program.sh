#!/usr/bin/env bash
# Runs the real program under Wine beside the sample driver package:
#   scripts/run-program.sh [multisetup|solosetup]
# With a display the program opens there and the script waits until it is closed. Without
# one it runs under Xvfb, waits until the program has prepared, saves a screenshot to
# build/screenshots/<program>.png and ends the program.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
program=${1:-multisetup}

scripts/install-deps.sh
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/native -j"$(nproc)" --target make_sample_package >/dev/null
scripts/build-windows.sh >/dev/null
tools/sample_package/make_package.sh build/native dist >/dev/null

if [ -z "${DISPLAY:-}" ] && [ -z "${RUN_PROGRAM_UNDER_XVFB:-}" ]; then
    export RUN_PROGRAM_UNDER_XVFB=1
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX=${WINEPREFIX:-$root/build/wineprefix}

# The 32-bit deliverable when this machine runs 32-bit programs; otherwise the same
# sources built for 64-bit Windows (a kernel without 32-bit support cannot start Wine's
# 32-bit loader).
folder=$root/dist loader=$(command -v wine || true) tools=$root/build/win32/wine-tools
if [ -z "$loader" ] || ! timeout 120 "$loader" "$tools/uidriver.exe" >/dev/null 2>&1; then
    echo "This machine cannot run 32-bit Windows programs: running the 64-bit build of $program."
    folder=$root/build/win64/dist loader=/usr/lib/wine/wine64 tools=$root/build/win64/wine-tools
    cp dist/DriverData.Drv "$folder/"
fi
[ "$program" == solosetup ] && caption="Configure & Install v1.4" || caption="Configure & Install"

cd "$folder"
echo "Starting $folder/$program.exe in $folder (prefix $WINEPREFIX)"
if [ -z "${RUN_PROGRAM_UNDER_XVFB:-}" ]; then
    exec "$loader" "$program.exe"
fi

"$loader" "$program.exe" &
pid=$!
"$loader" "$tools/uidriver.exe" --dialog "$caption" wait-dialog 90000 wait-enabled 1012 90000 text 1011 combo 1000 | tr -d '\r'
sleep 1
mkdir -p "$root/build/screenshots"
import -window root "$root/build/screenshots/$program.png"
echo "Screenshot: build/screenshots/$program.png"
"$loader" "$tools/uidriver.exe" --dialog "$caption" close >/dev/null 2>&1 || true
wait "$pid" 2>/dev/null || true
