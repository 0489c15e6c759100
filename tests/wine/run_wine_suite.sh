#!/usr/bin/env bash
# run_wine_suite.sh <artifacts-dir>
#
# Runs multisetup.exe and solosetup.exe under Wine, in a fresh prefix, as an administrator
# would: start beside the driver package (and without it), wait for the preparation, read
# what the main dialog shows, choose a parallel or TCP/IP port at Install, install printers,
# then end it with Cancel and with the close box; then hostile and awkward driver packages,
# files of the user's, a planted DLL and two installers at once (package_safety.sh),
# comparing the whole of C:\ before and after. Screenshots of every main dialog, of the
# parallel port dialog and of the message boxes reached go to <artifacts-dir>. Ends with
# "N passed, M failed"; exits non-zero on
# any failure.
#
# Which programs run: the 32-bit deliverables from dist/ when this machine can run 32-bit
# Windows programs under Wine, else the 64-bit test variant of the same sources.
# Environment:
#   WIN32_BUILD_DIR  the i686 build folder (its wine-tools/ holds uidriver.exe); default build/win32
#   WIN64_BUILD_DIR  the x86_64 build folder (dist/ and wine-tools/);              default build/win64
set -uo pipefail

if [ $# -ne 1 ]; then
    echo "usage: $0 <artifacts-dir>" >&2
    exit 2
fi

root=$(cd "$(dirname "$0")/../.." && pwd)
mkdir -p "$1"
artifacts=$(cd "$1" && pwd)

# A display: the one we have, or a virtual one for the whole run.
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

win32_build=$(cd "$root" && realpath -m "${WIN32_BUILD_DIR:-build/win32}")
win64_build=$(cd "$root" && realpath -m "${WIN64_BUILD_DIR:-build/win64}")
wine32_loader=${WINE32:-$(command -v wine || true)}
wine64_loader=${WINE64:-$(command -v wine64 || echo /usr/lib/wine/wine64)}
wineserver_bin=${WINESERVER:-$(command -v wineserver || echo /usr/lib/wine/wineserver)}

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
work=$(mktemp -d)
rm -f "$artifacts/uidriver.log"
passed=0
failed=0

say() { echo "$*"; }

check() {  # check <name> <expected> <actual>
    if [ "$2" == "$3" ]; then
        passed=$((passed + 1))
        say "ok   - $1"
    else
        failed=$((failed + 1))
        say "FAIL - $1"
        say "       expected: [$2]"
        say "       actual:   [$3]"
    fi
}

finish() {
    for prefix in "$work"/prefix-*; do
        [ -d "$prefix" ] && WINEPREFIX="$prefix" "$wineserver_bin" -k 2>/dev/null
    done
    rm -rf "$work"
    say "$passed passed, $failed failed"
    [ "$failed" -eq 0 ]
    exit $?
}

# ---- prefixes -------------------------------------------------------------------------------

# new_prefix <name> [<WINEARCH>]: a fresh prefix in which every window is drawn inside one
# Wine desktop, so that screenshots show the dialogs with their frames and captions.
new_prefix() {
    export WINEPREFIX="$work/prefix-$1"
    if [ -n "${2:-}" ]; then export WINEARCH=$2; else unset WINEARCH; fi
    "$boot_loader" wineboot -i >/dev/null 2>&1
    "$boot_loader" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    "$boot_loader" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
    # Start afresh: the desktop setting is read when the prefix's processes start, and the
    # services wineboot left starting would keep the spooler from starting for a while.
    "$wineserver_bin" -k 2>/dev/null
    drive_c="$WINEPREFIX/drive_c"
}

# ---- which programs -------------------------------------------------------------------------

programs_dir="" tools_dir="" loader="" boot_loader="$wine64_loader"
native_bitness=""  # what the status line shows for the program on the default prefix

can_run_32bit() {
    [ -n "$wine32_loader" ] && [ -f "$root/dist/multisetup.exe" ] && [ -f "$win32_build/wine-tools/uidriver.exe" ] || return 1
    new_prefix probe32
    timeout 60 "$wine32_loader" "$win32_build/wine-tools/uidriver.exe" >/dev/null 2>&1
}

if can_run_32bit; then
    say "Running the 32-bit programs from dist/ with $wine32_loader."
    programs_dir="$root/dist" tools_dir="$win32_build/wine-tools" loader="$wine32_loader" boot_loader="$wine32_loader"
    native_bitness="64 bit"  # a 32-bit program on a 64-bit prefix
else
    say "This machine cannot run 32-bit Windows programs under Wine:"
    say "running the 64-bit test variant from $win64_build/dist with $wine64_loader."
    say "(A 64-bit program is not a WOW64 process, so its status line says \"32 bit\".)"
    programs_dir="$win64_build/dist" tools_dir="$win64_build/wine-tools" loader="$wine64_loader"
    native_bitness="32 bit"
fi
for needed in "$programs_dir/multisetup.exe" "$programs_dir/solosetup.exe" "$tools_dir/uidriver.exe" \
    "$tools_dir/platform_checks.exe" "$tools_dir/scripted_archiver.dll" "$tools_dir/planted_dll.dll"; do
    if [ ! -f "$needed" ]; then
        check "built: $needed" "present" "missing"
        finish
    fi
done

package="$root/dist/DriverData.Drv"
archiver_dll="$programs_dir/7-zip32.dll"
have_package=1
if [ ! -f "$package" ] || [ ! -f "$archiver_dll" ]; then
    have_package=0
    say "SKIP: the unpacking checks need $package and $archiver_dll (not both present)."
fi

# ---- one program run ------------------------------------------------------------------------

caption_of() { [ "$1" == multisetup ] && echo "Configure & Install" || echo "Configure & Install v1.4"; }
status_prefix_of() { [ "$1" == multisetup ] && echo "Current Systems is " || echo "Current System is "; }

ui() {  # ui <uidriver commands>...: runs the UI driver against the current program's dialog
    (cd "$drive_c" && timeout 120 "$loader" "$drive_c/suite/uidriver.exe" --dialog "$caption" "$@" 2>/dev/null | tr -d '\r')
}

value() {  # value <key> <id> <uidriver output>
    sed -n "s/^$1 $2 = //p" <<<"$3" | head -n 1
}

# start_program <program> <folder>: starts it with that folder as its current directory and
# waits until its preparation has enabled Install. Sets: caption, program_pid, shown.
start_program() {
    caption=$(caption_of "$1")
    (cd "$drive_c/suite/$2" && exec "$loader" "$1.exe" >/dev/null 2>&1) &
    program_pid=$!
    shown=$(ui wait-dialog 60000 wait-enabled 1012 60000 text 1011 text 1001 checked 1002 combo 1000 listview 1004)
    printf '== %s in %s\n%s\n' "$1" "$2" "$shown" >>"$artifacts/uidriver.log"
    grep '^FAIL:' <<<"$shown" | sed "s/^/       $1 in $2: uidriver /"
}

# wait_exit <seconds>: true when the program's process has ended in time.
wait_exit() {
    local tries=$(($1 * 10))
    while kill -0 "$program_pid" 2>/dev/null; do
        tries=$((tries - 1))
        [ "$tries" -le 0 ] && return 1
        sleep 0.1
    done
    wait "$program_pid" 2>/dev/null
    return 0
}

# end_program <how>: Cancel button ("cancel") or close box ("close"); checks that it ends.
end_program() {
    local name=$1
    if [ "$2" == cancel ]; then ui click 2 >/dev/null; else ui close >/dev/null; fi
    if wait_exit 20; then check "$name: $2 ends the program" "ended" "ended"; else
        check "$name: $2 ends the program" "ended" "still running"
        kill "$program_pid" 2>/dev/null
    fi
}

screenshot() {
    sleep 0.5  # let the dialog paint the last update
    import -window root "$artifacts/$1.png" 2>/dev/null || say "note: no screenshot $1.png"
}

unpacked_items() {  # the package's top-level items that exist in C:\, in a fixed order
    local item
    for item in Ticket Barcode DriverName.cfg; do
        find "$drive_c" -maxdepth 1 -iname "$item" | grep -q . && printf '%s ' "$item"
    done
}

# The printer names of a DriverName.cfg in driver-list order: sections in file order, in each
# PrintName1, PrintName2, ... up to 50, ending at the first missing or empty one.
printer_names_of() {
    tr -d '\r' <"$1" | awk '
        /^[ \t]*\[/ { section++; next }
        /=/ { key = $0; sub(/=.*/, "", key); gsub(/[ \t]/, "", key)
              val = $0; sub(/^[^=]*=[ \t]*/, "", val); sub(/[ \t]+$/, "", val)
              if (!((section, tolower(key)) in value)) value[section, tolower(key)] = val }
        END { for (s = 1; s <= section; s++)
                  for (k = 1; k <= 50; k++) {
                      v = value[s, "printname" k]
                      if (v == "") break
                      print v } }'
}

# Checks on a freshly prepared main dialog that hold with or without a package.
check_prepared() {
    local name=$1 bitness=$2
    check "$name: status line names the system" "$(status_prefix_of "$program")Microsoft Windows 7  $bitness" \
        "$(value text 1011 "$shown")"
    check "$name: Install enabled after preparation" "1" "$(value enabled 1012 "$shown")"
    check "$name: Set Default Printer ticked" "1" "$(value checked 1002 "$shown")"
    check "$name: port-type list has four rows" "4" "$(value listview-rows 1004 "$shown")"
    check "$name: port-type list has two columns" "2" "$(value listview-columns 1004 "$shown")"
    # Wine's spooler has COM and LPT ports and no USB port: the serial row is preselected.
    check "$name: serial row preselected" "0" "$(value listview-selected 1004 "$shown")"
}

run_without_package() {
    local name="$program without package"
    start_program "$program" without
    check_prepared "$name" "$native_bitness"
    check "$name: empty driver list" "0" "$(value combo-count 1000 "$shown")"
    check "$name: empty printer name" "" "$(value text 1001 "$shown")"
    check "$name: nothing unpacked" "" "$(unpacked_items)"
    screenshot "$program-without-package"
    end_program "$name" cancel
}

run_with_package() {
    local name="$program with package" how
    for how in cancel close; do
        start_program "$program" with
        check_prepared "$name" "$native_bitness"
        check "$name: unpacked into C:\\" "Ticket Barcode DriverName.cfg " "$(unpacked_items)"
        local cfg expected listed
        cfg=$(find "$drive_c" -maxdepth 1 -iname DriverName.cfg | head -n 1)
        expected=$([ -n "$cfg" ] && printer_names_of "$cfg")
        listed=$(sed -n 's/^combo-item 1000 = //p' <<<"$shown")
        check "$name: driver list holds the names of DriverName.cfg in order" "$expected" "$listed"
        check "$name: first driver selected" "0" "$(value combo-selection 1000 "$shown")"
        check "$name: printer name shows the first driver" "$(head -n 1 <<<"$expected")" "$(value text 1001 "$shown")"
        [ "$how" == cancel ] && screenshot "$program-with-package"
        end_program "$name" "$how"
        check "$name: unpacked files removed after $how" "" "$(unpacked_items)"
    done
}

# At Install a parallel printer gets its port first. Wine's spooler lists LPT1:, LPT2: and
# LPT3: ("Local Port"), so the parallel port dialog comes up; it has no TCP/IP port and no
# "Standard TCP/IP Port" monitor, so for TCP/IP the add-port call fails and nothing happens.
# Every answer that names no port leaves Install enabled, the status line as it was and the
# parallel row selected; a TCP/IP port the monitor cannot add is said in a box.
parallel_dialog="Select A Parallel Port"

choose_parallel_row() {  # End, Up: the parallel row of the port-type list, then Install
    ui key 1004 end key 1004 up wait-selected 1004 2 5000 click 1012 >/dev/null
}

# parallel_answer_stops <how> <uidriver commands in the parallel dialog>...: the dialog
# closes, nothing is installed.
parallel_answer_stops() {
    local how=$1 before after
    shift
    before=$(value text 1011 "$(ui text 1011)")
    choose_parallel_row
    after=$(ui --dialog "$parallel_dialog" wait-dialog 30000 "$@" wait-gone 10000 \
        --dialog "$caption" wait-enabled 1012 10000 wait-selected 1004 2 10000 text 1011)
    printf '== %s: %s\n%s\n' "$name" "$how" "$after" >>"$artifacts/uidriver.log"
    # The main dialog's row is the last list-view line: the parallel dialog's list is 1004 too.
    check "$name: $how closes the parallel port dialog, Install enabled again, parallel row kept" "1 1 2" \
        "$(grep -c '^dialog gone' <<<"$after") $(value enabled 1012 "$after") $(sed -n 's/^listview-selected 1004 = //p' <<<"$after" | tail -n 1)"
    check "$name: $how leaves the status line as it was" "$before" "$(value text 1011 "$after")"
}

run_port_choice() {
    local name="$program port choice" dialog after before cfg first
    start_program "$program" with
    cfg=$(find "$drive_c" -maxdepth 1 -iname DriverName.cfg | head -n 1)
    first=$([ -n "$cfg" ] && printer_names_of "$cfg" | head -n 1)

    choose_parallel_row
    dialog=$(ui --dialog "$parallel_dialog" wait-dialog 30000 text 1030 text 1037 text 1039 listview 1004 \
        listview-items 1004)
    printf '== %s: the parallel port dialog\n%s\n' "$name" "$dialog" >>"$artifacts/uidriver.log"
    check "$name: Install with the parallel row shows the parallel port dialog" "dialog found" \
        "$(grep '^dialog found' <<<"$dialog")"
    check "$name: parallel port dialog texts" "Please select a port from the following ports|&Ok|&Cancel" \
        "$(value text 1030 "$dialog")|$(value text 1037 "$dialog")|$(value text 1039 "$dialog")"
    check "$name: parallel port dialog lists Wine's LPT ports, first row selected" \
        "3 2 0 LPT1:|Local Port LPT2:|Local Port LPT3:|Local Port" \
        "$(value listview-rows 1004 "$dialog") $(value listview-columns 1004 "$dialog") $(value listview-selected 1004 "$dialog") $(sed -n 's/^listview-item 1004 = //p' <<<"$dialog" | tr '\n' ' ' | sed 's/ $//')"
    screenshot "$program-parallel-port-dialog"
    ui --dialog "$parallel_dialog" click 1039 wait-gone 10000 --dialog "$caption" wait-enabled 1012 10000 >/dev/null

    parallel_answer_stops Cancel click 1039
    parallel_answer_stops "the close box" close
    parallel_answer_stops Escape key 1004 escape
    parallel_answer_stops Enter key 1004 return
    parallel_answer_stops "OK without a selection" click-bottom 1004 wait-selected 1004 -1 5000 click 1037

    # TCP/IP: no port, and no monitor to add one with.
    before=$(value text 1011 "$(ui text 1011)")
    after=$(ui key 1004 end wait-selected 1004 3 5000 click 1012 answer "$program" 1 30000 \
        wait-enabled 1012 10000 wait-selected 1004 3 10000 text 1011 --dialog "Configure TCP/IP PrinterPort" wait-gone 0)
    printf '== %s: TCP/IP\n%s\n' "$name" "$after" >>"$artifacts/uidriver.log"
    check "$name: TCP/IP without a port or monitor installs nothing, Install enabled again, TCP/IP row kept" \
        "1 3 $before" "$(value enabled 1012 "$after") $(value listview-selected 1004 "$after") $(value text 1011 "$after")"
    check "$name: the failed TCP/IP port add is said with the spooler's error" "1" \
        "$(grep -c '^message-box-text = The TCP/IP port could not be added\.\\r\\n\\r\\n.*(error [0-9]*)$' <<<"$after")"
    check "$name: TCP/IP without a port shows no TCP/IP port dialog" "dialog gone" "$(grep '^dialog gone' <<<"$after")"

    end_program "$name" close
}

# A package that takes a few seconds to unpack: the sample package with a large, well
# compressible file added, so that the close box reaches the program while it unpacks.
# Packed once per suite, staged into each prefix that needs it.
stage_slow_package() {
    local tree="$work/slow-tree"
    if [ ! -f "$work/slow.Drv" ]; then
        mkdir -p "$tree"
        7zz x -y -o"$tree" "$package" >/dev/null
        seq 1 30000000 >"$tree/Ticket/x86/slow-to-unpack.txt"
        (cd "$tree" && 7zz a -t7z -mx1 "$work/slow.Drv" . >/dev/null)
        rm -rf "$tree"
    fi
    mkdir -p "$drive_c/suite/slow"
    cp "$work/slow.Drv" "$drive_c/suite/slow/DriverData.Drv"
    cp "$programs_dir/multisetup.exe" "$archiver_dll" "$drive_c/suite/slow/"
}

# Closing while the preparation still unpacks ends the program at once and leaves nothing.
run_close_while_unpacking() {
    local name="multisetup closed while unpacking" preparing
    program=multisetup
    caption=$(caption_of multisetup)
    (cd "$drive_c/suite/slow" && exec "$loader" multisetup.exe >/dev/null 2>&1) &
    program_pid=$!
    preparing=$(value enabled 1012 "$(ui wait-dialog 60000 enabled 1012)")
    [ "$preparing" == "0" ] && say "note - closed during preparation" || say "note - preparation had ended before the close"
    ui close >/dev/null
    if wait_exit 30; then check "$name: the close box ends the program" "ended" "ended"; else
        check "$name: the close box ends the program" "ended" "still running"
        kill "$program_pid" 2>/dev/null
    fi
    check "$name: nothing left in C:\\" "" "$(unpacked_items)"
}

run_close_box_without_package() {
    local name="$program without package"
    start_program "$program" without
    end_program "$name" close
}

stage_programs() {  # the programs, the archiver and the UI driver in C:\suite
    mkdir -p "$drive_c/suite/with" "$drive_c/suite/without"
    cp "$tools_dir/uidriver.exe" "$drive_c/suite/"
    for folder in with without; do
        cp "$programs_dir/multisetup.exe" "$programs_dir/solosetup.exe" "$drive_c/suite/$folder/"
        [ -f "$archiver_dll" ] && cp "$archiver_dll" "$drive_c/suite/$folder/"
    done
    [ "$have_package" -eq 1 ] && cp "$package" "$drive_c/suite/with/"
}

# The resources of the 32-bit deliverables as built (whether or not they can run here): the
# main dialog's language and the values that differ per program, the version block and the
# manifest.
check_resources() {
    local program=$1 language=$2 caption=$3 edit_style=$4 hint=$5 version=$6 supported=$7
    local exe="$root/dist/$program.exe" rc manifest
    rc=$(x86_64-w64-mingw32-windres -i "$exe" -O rc 2>/dev/null)
    if [ -z "$rc" ]; then
        check "$program resources: readable from $exe" "readable" "not readable"
        return
    fi
    check "$program resources: main dialog 103 stored under language $language" "$language" \
        "$(grep -B2 '^103 DIALOGEX' <<<"$rc" | sed -n 's/^LANGUAGE \([0-9]*\), \([0-9]*\)$/\1 \2/p' |
           awk '{ print $1 + $2 * 1024 }')"
    check "$program resources: main dialog 103 is 343 x 222" "103 DIALOGEX 0, 0, 343, 222" "$(grep '^103 DIALOGEX' <<<"$rc")"
    check "$program resources: caption" "CAPTION \"$caption\"" "$(grep -A3 '^103 DIALOGEX' <<<"$rc" | grep '^CAPTION')"
    check "$program resources: printer-name edit style" "$edit_style" \
        "$(grep 'CONTROL "", 1001,' <<<"$rc" | sed 's/.*"EDIT", \(0x[0-9a-f]*\),.*/\1/')"
    check "$program resources: port hint text" "$hint" "$(sed -n 's/^ *LTEXT "\(.*\)", 1003,.*/\1/p' <<<"$rc")"
    check "$program resources: file version" "$version" "$(sed -n 's/^ *VALUE "FileVersion", "\(.*\)"/\1/p' <<<"$rc")"
    check "$program resources: original file name" "$program.EXE" \
        "$(sed -n 's/^ *VALUE "OriginalFilename", "\(.*\)"/\1/p' <<<"$rc")"
    # The manifest comes back as quoted pieces cut at any place: join them again.
    manifest=$(sed -n '/^1 24/,/^END/p' <<<"$rc" | sed -n 's/^ *"\(.*\)"$/\1/p' | tr -d '\n' | sed 's/""/"/g; s/\\n/\n/g')
    check "$program resources: manifest supported systems in order" "$supported" \
        "$(grep -o 'supportedOS Id="[^"]*"' <<<"$manifest" | cut -d'"' -f2 | tr '\n' ' ')"
    check "$program resources: manifest identity, trust and common controls" "1 1 2" \
        "$(grep -c 'name="solosetup.exe.manifest"' <<<"$manifest") $(grep -c 'level="highestAvailable" uiAccess="false"' <<<"$manifest") $(grep -o 'processorArchitecture="X86"' <<<"$manifest" | wc -l)"
    check_port_dialog_resources "$program" "$rc"
}

# The port dialogs' templates, the same in both programs: every control's id, kind, text,
# rectangle and style as windres reads them back.
check_port_dialog_resources() {
    local program=$1 rc=$2
    local list='  CONTROL "", 1004, "SYSLISTVIEW32", 0x5081000d, 7, 15, 246, 57'
    local frame='STYLE 0x80c800c0' font='FONT 10, "Arial Narrow", 400, 0, 0'
    check "$program resources: parallel port dialog 137" "137 DIALOGEX 0, 0, 260, 97
$frame
CAPTION \"Select A Parallel Port\"
$font
BEGIN
$list
  LTEXT \"Please select a port from the following ports\", 1030, 8, 4, 245, 8, 0x50020000
  PUSHBUTTON \"&Ok\", 1037, 74, 78, 52, 14, 0x50010000
  PUSHBUTTON \"&Cancel\", 1039, 135, 78, 52, 14, 0x50010000
END" "$(sed -n '/^137 DIALOGEX/,/^END/p' <<<"$rc")"
    check "$program resources: TCP/IP port dialog 129" "129 DIALOGEX 0, 0, 260, 116
$frame
CAPTION \"Configure TCP/IP PrinterPort\"
$font
BEGIN
$list
  PUSHBUTTON \"&Add Port\", 1029, 149, 75, 44, 11, 0x50010000
  LTEXT \"Please select/create a TCP/IP printer port\", 1030, 8, 4, 186, 8, 0x50020000
  PUSHBUTTON \"OK\", 1037, 73, 97, 52, 14, 0x50010000
  PUSHBUTTON \"&ConfigurePort\", 1031, 199, 75, 54, 11, 0x50010000
  PUSHBUTTON \"&Delete Port\", 1032, 11, 75, 50, 11, 0x50010000
  PUSHBUTTON \"Cancel\", 1039, 134, 97, 52, 14, 0x50010000
END" "$(sed -n '/^129 DIALOGEX/,/^END/p' <<<"$rc")"
}

check_all_resources() {
    local win10="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}" win81="{1f676c76-80e1-4239-95bb-83d0f6d0da78}"
    local win8="{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}" vista="{e2011457-1546-43c5-a5fe-008deee3d3f0}"
    local win7="{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"
    local hint="Specify the port that you are using.\\r\\nThe program"
    check_resources multisetup 1033 "Configure & Install" 0x50810880 \
        "$hint help you to configure the printer port during installation." "2, 0, 4, 2" \
        "$win10 $win8 $vista $win7 "
    check_resources solosetup 1042 "Configure & Install v1.4" 0x50810080 \
        "$hint will help you to configure the printer port during installation." "1, 0, 0, 4" \
        "$win10 $win81 $win8 $vista $win7 "
}

# The platform's families on Wine itself, each check reported as one of ours.
run_platform_checks() {
    local folder="$drive_c/suite/checks" output line status
    mkdir -p "$folder"
    cp "$tools_dir/platform_checks.exe" "$tools_dir/scripted_archiver.dll" "$folder/"
    "$loader" reg add 'HKCU\Software\SetupChecks' /v Port /d COM1: /f >/dev/null 2>&1
    output=$(cd "$folder" && timeout 120 "$loader" platform_checks.exe 2>/dev/null | tr -d '\r')
    status=$?
    while IFS= read -r line; do
        case "$line" in
            "ok - "*) passed=$((passed + 1)); say "ok   - platform: ${line#ok - }" ;;
            "FAIL - "*) failed=$((failed + 1)); say "FAIL - platform: ${line#FAIL - }" ;;
            "note - "*) say "note - platform: ${line#note - }" ;;
        esac
    done <<<"$output"
    # A fault the guard did not catch ends the program early, without a FAIL line.
    [ "$status" -eq 0 ] || check "platform: the checks ran to their end" "exit 0" "exit $status"
}

source "$root/tests/wine/install_rounds.sh"
# Unattended runs: /quiet, the exit code, the log.
source "$root/tests/wine/unattended_rounds.sh"
# A printer of the same name kept, the replace question, the fallback port's status.
source "$root/tests/wine/tail_rounds.sh"
# Hostile and awkward driver packages, user files, a planted DLL, two installers.
source "$root/tests/wine/package_safety.sh"
# What the machine had stays: the monitor, the user's files, leftovers, swapped files.
source "$root/tests/wine/package_files_rounds.sh"
# The serial line, the serial prompt and the port searches (COM ports on socat ptys).
source "$(dirname "$0")/serial_rounds.sh"
# The package checker's Windows console build against its native build.
source "$root/tests/wine/pkgcheck_rounds.sh"
# The spooler disabled; a cancelled parallel port choice keeps the port kind.
source "$(dirname "$0")/service_rounds.sh"

# ---- the runs -------------------------------------------------------------------------------

say "== resources of the deliverables in dist/"
if [ -f "$root/dist/multisetup.exe" ] && [ -f "$root/dist/solosetup.exe" ]; then
    check_all_resources
else
    check "dist/ holds both 32-bit programs" "present" "missing"
fi

say "== default prefix"
new_prefix default
stage_programs
run_platform_checks
run_pkgcheck_rounds
for program in multisetup solosetup; do
    run_without_package
    run_close_box_without_package
    if [ "$have_package" -eq 1 ]; then
        run_with_package
        run_port_choice
    fi
done
if [ "$have_package" -eq 1 ]; then
    stage_slow_package
    run_close_while_unpacking
    run_quiet_refusal_rounds
    run_package_safety
    run_disabled_spooler
    # Where only the 64-bit variant runs, the killed unpacking is tried here; else on the
    # 32-bit prefix, where the runs after it install.
    if [ "$loader" != "$wine32_loader" ]; then
        add_printer_settings_key
        run_killed_while_unpacking "x86 refused"
        run_killed_with_last_months_package "x86 refused"
    fi
fi
# Wine's AddPrinterA takes only drivers of the calling process's environment: the 32-bit
# program on this 64-bit prefix is refused; the 64-bit variant would install, unlike Windows.
if [ "$have_package" -eq 1 ] && [ "$loader" == "$wine32_loader" ]; then
    add_printer_settings_key
    keep_one_parallel_port
    run_receipt_refused_on_64bit
    run_label_monitor_refused_on_64bit
    run_existing_printer_kept_on_64bit
else
    say "SKIP: the installation rounds on the 64-bit prefix need the 32-bit programs and the package."
fi

# On a 32-bit Windows the same 32-bit programs are not WOW64 processes.
if [ "$loader" == "$wine32_loader" ] && [ "$native_bitness" == "64 bit" ]; then
    say "== 32-bit prefix (WINEARCH=win32)"
    new_prefix win32 win32
    stage_programs
    for program in multisetup solosetup; do
        start_program "$program" without
        check_prepared "$program on a 32-bit system" "32 bit"
        end_program "$program on a 32-bit system" cancel
    done
    if [ "$have_package" -eq 1 ]; then
        add_printer_settings_key
        run_receipt_on_parallel
        run_label_on_parallel
        run_package_files_rounds
        run_replace_question
        run_fallback_port_status
        say "== unattended runs (WINEARCH=win32)"
        new_prefix quiet win32
        stage_programs
        add_printer_settings_key
        run_unattended_rounds
    else
        say "SKIP: the installation rounds on the 32-bit prefix need the package."
    fi
else
    say "SKIP: the 32-bit prefix rounds (start-up and installations) need a machine that runs 32-bit programs."
fi

say "== serial ports on socat pty pairs (a namespace of its own hides the host's serial devices)"
run_serial_rounds

finish
