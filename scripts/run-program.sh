#!/usr/bin/env bash
# Runs the real program under Wine beside the sample driver package:
#   scripts/run-program.sh [multisetup|solosetup] [<program's options>...]
# The options go to the program as they are, for example
#   scripts/run-program.sh multisetup /quiet "/printer:Series R01" /port:parallel /portname:LPT2: '/log:C:\setup.log'
# With a display the program opens there and the script waits until it is closed. Without
# one it runs under Xvfb, waits until the program has prepared, saves a screenshot to
# build/screenshots/<program>.png and ends the program. A quiet run (/quiet), or one that
# asks for the usage text (/?), is waited for. The script then prints the program's whole
# exit code.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
program=multisetup
if [ "${1:-}" == multisetup ] || [ "${1:-}" == solosetup ]; then
    program=$1
    shift
fi

scripts/install-deps.sh
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/native -j"$(nproc)" --target make_sample_package >/dev/null
scripts/build-windows.sh >/dev/null
tools/sample_package/make_package.sh build/native dist >/dev/null

if [ -z "${DISPLAY:-}" ] && [ -z "${RUN_PROGRAM_UNDER_XVFB:-}" ]; then
    export RUN_PROGRAM_UNDER_XVFB=1
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$program" "$@"
fi

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

# The 32-bit deliverable when this machine runs 32-bit programs, in a 32-bit prefix: in a
# 64-bit one Wine's spooler refuses the printer to a 32-bit program (AddPrinter 87), which
# Windows does not. Otherwise the same sources built for 64-bit Windows in Wine's default
# prefix (a kernel without 32-bit support cannot start Wine's 32-bit loader), which installs
# the x64 driver that Wine's spooler takes from a 64-bit program.
folder=$root/dist loader=$(command -v wine || true) tools=$root/build/win32/wine-tools
if [ -z "${WINEPREFIX:-}" ]; then export WINEARCH=win32 WINEPREFIX=$root/build/wineprefix-win32; fi
if [ -z "$loader" ] || ! timeout 120 "$loader" "$tools/uidriver.exe" >/dev/null 2>&1; then
    echo "This machine cannot run 32-bit Windows programs: running the 64-bit build of $program."
    folder=$root/build/win64/dist loader=/usr/lib/wine/wine64 tools=$root/build/win64/wine-tools
    if [ "${WINEARCH:-}" == win32 ]; then unset WINEARCH; export WINEPREFIX=$root/build/wineprefix; fi
    cp dist/DriverData.Drv "$folder/"
fi
# Every Windows has the user's key of printer settings, where the default printer goes; a
# fresh Wine prefix lacks it.
"$loader" reg add 'HKCU\Software\Microsoft\Windows NT\CurrentVersion\Windows' /f >/dev/null 2>&1
[ "$program" == solosetup ] && caption="Configure & Install v1.4" || caption="Configure & Install"

waited=0
for option in "$@"; do
    case "${option,,}" in
        /quiet | -quiet | /\? | -\? | /help | -help) waited=1 ;;
    esac
done

cd "$folder"
echo "Starting $folder/$program.exe in $folder (prefix $WINEPREFIX)"
if [ -z "${RUN_PROGRAM_UNDER_XVFB:-}" ] || [ "$waited" -eq 1 ]; then
    # launch.exe waits for the program and prints its whole exit code, which the shell
    # would cut to 8 bits.
    ended=$("$loader" "$tools/launch.exe" "$program.exe" "$@" | tr -d '\r')
    code=$(sed -n 's/^exit-code = //p' <<<"$ended")
    echo "$program.exe ended with exit code ${code:-unknown}"
    [ "${code:-1}" == 0 ]
    exit $?
fi

"$loader" "$program.exe" "$@" &
pid=$!
"$loader" "$tools/uidriver.exe" --dialog "$caption" wait-dialog 90000 wait-enabled 1012 90000 text 1011 combo 1000 | tr -d '\r'
sleep 1
mkdir -p "$root/build/screenshots"
import -window root "$root/build/screenshots/$program.png"
echo "Screenshot: build/screenshots/$program.png"
"$loader" "$tools/uidriver.exe" --dialog "$caption" close >/dev/null 2>&1 || true
wait "$pid" 2>/dev/null || true
