#!/bin/bash
# bench_rerun.sh: how long a deployment tool's runs of multisetup take under Wine, from
# process start to exit, each started through launch.exe as the Wine suite starts them:
#   - a program that does nothing (the floor every run pays),
#   - the first install of a receipt printer on LPT1:,
#   - the same command again (nothing to do: the goal is at most 0.5 s over the empty program),
#   - an upgrade with a package whose driver DLL differs,
# with Wine's server running, and the empty program and the re-run once more from a cold
# server. It runs the real 32-bit programs in a 32-bit prefix where this machine can; where
# it cannot run 32-bit programs, the 64-bit test build of the same sources in a 64-bit prefix
# (which installs the x64 driver), and says which.
#
# usage: tools/bench_rerun/bench_rerun.sh [runs]   (runs of each warm figure, default 5)
# Environment: WIN32_BUILD_DIR (default build/win32), WINE32 (default: wine on the PATH).
set -uo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
runs=${1:-5}
if [ -z "${DISPLAY:-}" ]; then
    command -v xvfb-run >/dev/null || { echo "SKIP: no display and no xvfb-run: the programs need a desktop."; exit 0; }
    exec xvfb-run -a "$0" "$@"
fi

win32_build=$(cd "$root" && realpath -m "${WIN32_BUILD_DIR:-build/win32}")
win64_build=$(cd "$root" && realpath -m "${WIN64_BUILD_DIR:-build/win64}")
wineserver_bin=${WINESERVER:-$(command -v wineserver || echo /usr/lib/wine/wineserver)}
package="$root/dist/DriverData.Drv"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

skip() { echo "SKIP: $*"; exit 0; }
# The 32-bit loader is a 32-bit Linux program: a kernel without 32-bit support refuses it.
loader=${WINE32:-$(command -v wine || true)}
if [ -n "$loader" ] && timeout 60 "$loader" --version >/dev/null 2>&1; then
    programs="$root/dist" tools="$win32_build/wine-tools" source_folder=x86
    export WINEARCH=win32
    echo "The 32-bit programs from dist/ in a 32-bit prefix."
else
    loader=${WINE64:-/usr/lib/wine/wine64} programs="$win64_build/dist" tools="$win64_build/wine-tools" source_folder=x64
    unset WINEARCH
    echo "This machine cannot run 32-bit programs: the 64-bit test build in a 64-bit prefix."
fi
[ -x "$loader" ] || skip "Wine is not installed ($loader)."
for needed in "$programs/multisetup.exe" "$programs/7-zip32.dll" "$package" "$tools/launch.exe" \
    "$tools/empty_program.exe"; do
    [ -f "$needed" ] || skip "$needed is missing: build the programs and the wine-tools first (scripts/build-windows.sh)."
done

work=$(mktemp -d)
export WINEPREFIX="$work/prefix"
trap '"$wineserver_bin" -k 2>/dev/null; rm -rf "$work"' EXIT
if ! timeout 120 "$loader" wineboot -i >/dev/null 2>&1 ||
    ! timeout 60 "$loader" "$tools/empty_program.exe" >/dev/null 2>&1; then
    skip "Wine does not start the programs in a fresh prefix here: no figures."
fi
drive_c="$WINEPREFIX/drive_c"
"$loader" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
"$loader" reg add 'HKCU\Software\Microsoft\Windows NT\CurrentVersion\Windows' /f >/dev/null 2>&1
for port in LPT2: LPT3:; do
    "$loader" reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\Ports' /v "$port" /f >/dev/null 2>&1
done
mkdir -p "$drive_c/bench/first" "$drive_c/bench/upgrade"
cp "$tools/launch.exe" "$tools/empty_program.exe" "$drive_c/bench/"
cp "$programs/multisetup.exe" "$programs/7-zip32.dll" "$package" "$drive_c/bench/first/"
cp "$programs/multisetup.exe" "$programs/7-zip32.dll" "$drive_c/bench/upgrade/"
tree="$work/tree"
mkdir -p "$tree"
7zz x -y -o"$tree" "$package" >/dev/null
printf 'a later build of the driver' >>"$tree/Ticket/$source_folder/uniDRV.DLL"
(cd "$tree" && 7zz a -t7z "$drive_c/bench/upgrade/DriverData.Drv" . >/dev/null)
"$wineserver_bin" -w

# timed <folder> <program> <argument>...: milliseconds from start to exit; the exit code is
# kept in $code.
code=""
timed() {
    local started out
    started=$(date +%s%N)
    out=$(cd "$drive_c/bench/$1" && "$loader" "$drive_c/bench/launch.exe" "$2" "${@:3}" 2>/dev/null | tr -d '\r')
    code=$(sed -n 's/^exit-code = //p' <<<"$out")
    echo $((($(date +%s%N) - started) / 1000000))
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
command=(/quiet "/printer:Series R01" /port:parallel /portname:LPT1:)
report() { printf '%-48s %6s ms  (exit code %s)\n' "$1" "$2" "$3"; }

ms=$(timed first multisetup.exe "${command[@]}")
report "first install (server already started)" "$ms" "$code"
empty=$(for _ in $(seq "$runs"); do timed . empty_program.exe; done | median)
report "empty program, median of $runs" "$empty" 0
again=$(for _ in $(seq "$runs"); do timed first multisetup.exe "${command[@]}"; done | median)
report "re-run, nothing to do, median of $runs" "$again" "$code"
ms=$(timed upgrade multisetup.exe "${command[@]}")
report "upgrade: another driver DLL" "$ms" "$code"
"$wineserver_bin" -k 2>/dev/null; "$wineserver_bin" -w 2>/dev/null
ms=$(timed . empty_program.exe)
report "empty program, cold server" "$ms" 0
"$wineserver_bin" -k 2>/dev/null; "$wineserver_bin" -w 2>/dev/null
ms=$(timed upgrade multisetup.exe "${command[@]}")
report "re-run, cold server" "$ms" "$code"
echo "re-run over the empty program (warm): $((again - empty)) ms; the goal is at most 500 ms."
