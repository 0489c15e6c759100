#!/usr/bin/env bash
# serial_rounds.sh: the serial line, the serial prompt and the USB and serial port searches
# under Wine, with COM ports backed by socat pty pairs and printer_emulator on the far end.
#
# Sourced by run_wine_suite.sh, which calls run_serial_rounds; it runs this script again as
#   serial_rounds.sh --inside <work> <artifacts> <loader> <wineserver> <tools-dir> <programs-dir> <emulator> [win32]
# in a mount namespace of its own in which every host serial device (/dev/ttyS*, ttyUSB*,
# ttyACM*) is an empty file: Wine maps /dev/ttyS0 - the machine's console - onto the next
# free COM port whatever the prefix says, and nothing here may ever write to it.
#
# Ports of the prefix (HKLM\Software\Wine\Ports, from which Wine rebuilds its serial device
# map at every session start): COM1, COM2 and COM3 are pty pairs with an emulator each
# (silent, answering, silent); COM4 is a folder, which Wine opens with error 5 as Windows
# does a port in use.
# Prints "ok - ...", "FAIL - ...", "SKIP - ...", "note - ..." and "figure - ..." lines.

# ---- part sourced by the suite ----------------------------------------------------------------

serial_rounds_script=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/serial_rounds.sh

run_serial_rounds() {
    local emulator=${PRINTER_EMULATOR:-$root/build/native/tools/printer_emulator/printer_emulator}
    local arch="" line output
    [ "$loader" == "$wine32_loader" ] && arch=win32
    # What the rounds need is installed and built by the suite's own scripts: its absence is
    # a broken set-up, not a machine that cannot run them.
    if ! command -v socat >/dev/null || ! command -v unshare >/dev/null; then
        check "serial rounds: socat and unshare are installed" "installed" "missing"
        return
    fi
    if [ ! -x "$emulator" ] || [ ! -f "$tools_dir/serial_check.exe" ]; then
        check "serial rounds: $emulator (native build) and $tools_dir/serial_check.exe are built" "built" "missing"
        return
    fi
    mkdir -p "$work/serial"
    cp "$package" "$work/serial/DriverData.Drv"
    output=$(unshare -m "$serial_rounds_script" --inside "$work/serial" "$artifacts" "$loader" "$wineserver_bin" \
        "$tools_dir" "$programs_dir" "$emulator" $arch 2>&1)
    while IFS= read -r line; do
        case "$line" in
            "ok - "*) passed=$((passed + 1)); say "ok   - serial: ${line#ok - }" ;;
            "FAIL - "*) failed=$((failed + 1)); say "FAIL - serial: ${line#FAIL - }" ;;
            "SKIP - "* | "note - "* | "figure - "*) say "$line" ;;
        esac
    done <<<"$output"
    # Only a machine whose serial devices cannot be hidden may run none of them.
    grep -q '^ok - \|^FAIL - \|^SKIP - serial rounds: .* cannot be hidden' <<<"$output" || {
        failed=$((failed + 1))
        say "FAIL - serial: the rounds did not run"
        tail -n 5 <<<"$output" | sed 's/^/       /'
    }
}

[ "${1:-}" == "--inside" ] || return 0 2>/dev/null || exit 0

# ---- part run in the namespace ------------------------------------------------------------------

set -u
work=$2 artifacts=$3 loader=$4 wineserver_bin=$5 tools_dir=$6 programs_dir=$7 emulator=$8 arch=${9:-}
mkdir -p "$work/folder"
: >"$work/no-device"

for device in /dev/ttyS* /dev/ttyUSB* /dev/ttyACM*; do
    [ -e "$device" ] || continue
    if ! mount --bind "$work/no-device" "$device" 2>/dev/null; then
        echo "SKIP - serial rounds: $device cannot be hidden (no mount namespace here); no COM port is opened"
        exit 0
    fi
done

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX="$work/prefix"
if [ -n "$arch" ]; then export WINEARCH=$arch; else unset WINEARCH; fi
pids=()
finish() {
    "$wineserver_bin" -k 2>/dev/null
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
}
trap finish EXIT

reg_add() { "$loader" reg add "$1" /v "$2" /d "$3" /f >/dev/null 2>&1; }

# pty pairs: COMn is $work/comN for Wine, $work/emuN for the emulator.
for n in 1 2 3; do
    socat "pty,raw,echo=0,link=$work/com$n" "pty,raw,echo=0,link=$work/emu$n" 2>/dev/null &
    pids+=($!)
done
for _ in $(seq 50); do [ -e "$work/emu1" ] && [ -e "$work/emu2" ] && [ -e "$work/emu3" ] && break; sleep 0.1; done
start_emulators() {  # start_emulators <tag>: COM2 answers, COM1 and COM3 are silent; logs <tag>-emuN.log
    for n in 1 2 3; do
        local silent=--silent
        [ "$n" == 2 ] && silent=""
        "$emulator" "$work/emu$n" "$work/$1-emu$n.log" $silent &
        pids+=($!)
    done
}
stop_emulators() {
    for pid in "${pids[@]:3}"; do kill "$pid" 2>/dev/null; done
    pids=("${pids[@]:0:3}")
}

timeout 120 "$loader" wineboot -i >/dev/null 2>&1
reg_add 'HKCU\Software\Wine\X11 Driver' Managed N
for n in 1 2 3; do reg_add 'HKLM\Software\Wine\Ports' "COM$n" "$work/com$n"; done
reg_add 'HKLM\Software\Wine\Ports' COM4 "$work/folder"
"$wineserver_bin" -w
# A new session: Wine rebuilds its serial device map from the ports above.
map=$("$loader" reg query 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' 2>/dev/null | tr -d '\r' | awk '/REG_SZ/ { print $3 }' | tr '\n' ' ')
echo "note - serial device map: $map"
[[ "$map" == "COM1 COM2 COM3 COM4 "* ]] && echo "ok - the serial device map starts with the four ports of the prefix" ||
    echo "FAIL - the serial device map starts with the four ports of the prefix: $map"

drive_c="$WINEPREFIX/drive_c"
mkdir -p "$drive_c/suite"
cp "$tools_dir/serial_check.exe" "$tools_dir/uidriver.exe" "$drive_c/suite/"
run() { (cd "$drive_c/suite" && timeout "$1" "$loader" "${@:2}" 2>/dev/null | tr -d '\r'); }

# ---- the serial line ----------------------------------------------------------------------------

start_emulators line
run 300 serial_check.exe probe 2 3 4 5
run 60 serial_check.exe label 2 | grep -v '^ok - the label query'
grep -q '^1B 21 3F$' "$work/line-emu2.log" && echo "ok - a label probe sends 1B 21 3F (the emulator logged it)" ||
    echo "FAIL - a label probe sends 1B 21 3F: the emulator logged $(tr '\n' '|' <"$work/line-emu2.log")"
stop_emulators
source "$(dirname "$0")/serial_stream_rounds.sh"
stream_line_rounds

# ---- the serial prompt (dialog 136) ---------------------------------------------------------------

prompt_caption="Prompt(automatically select the available serial port) "
(cd "$drive_c/suite" && timeout 60 "$loader" serial_check.exe prompt >"$work/prompt.out" 2>/dev/null) &
prompt_pid=$!
shown=$(run 60 uidriver.exe --dialog "$prompt_caption" wait-dialog 30000 combo 1034 text 1030 text 1036)
items=$(sed -n 's/^combo-item 1034 = //p' <<<"$shown" | tr '\n' ' ')
[ "$items" == "300 1200 2400 4800 9600 19200 38400 57600 115200 " ] && echo "ok - dialog 136 lists the nine baud rates in order" ||
    echo "FAIL - dialog 136 lists the nine baud rates in order: [$items]"
grep -q '^combo-selection 1034 = 5$' <<<"$shown" && echo "ok - dialog 136 opens on 19200" ||
    echo "FAIL - dialog 136 opens on 19200: $(grep combo-selection <<<"$shown")"
sleep 0.5
import -window root "$artifacts/serial-prompt-136.png" 2>/dev/null || echo "note - no screenshot serial-prompt-136.png"
run 30 uidriver.exe --dialog "$prompt_caption" click 1030 wait-gone 10000 >/dev/null
wait "$prompt_pid"
grep -q '^prompt-answer = 0x1205.$' "$work/prompt.out" && echo "ok - Yes at once answers 0x1205" ||
    echo "FAIL - Yes at once answers 0x1205: $(cat "$work/prompt.out")"

# ---- the programs' port searches ------------------------------------------------------------------
# Run only when Install creates printers (the driver installation engines are built): a
# receipt printer on serial with the prompt answered Yes at 19200 ends on COM2: with the Ports
# value 19200,n,8,1 and a printer created beforehand on COM3: keeps its port; with silent
# emulators it ends on the not-found path; on USB ports, for which Wine sets no
# "PrinterOnLine", the Retry/Cancel box comes and Cancel leaves the printer on the last one.

main_caption="Configure & Install"
mkdir -p "$drive_c/suite/install"
cp "$programs_dir/multisetup.exe" "$drive_c/suite/install/"
# The package is dist/'s, whichever variant of the programs runs; the suite put it in $work.
cp "$programs_dir/7-zip32.dll" "$work/DriverData.Drv" "$drive_c/suite/install/"
ui() { run 90 uidriver.exe --dialog "$main_caption" "$@"; }
value_of() { sed -n "s/^$1 = //p" <<<"$2" | head -n 1; }
registry_value() {  # registry_value <key> <name>
    "$loader" reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"
}
printer_port() { registry_value "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\$1" Port; }

# install <tag> [<driver name>]: starts multisetup, chooses the driver (the list's first
# name when none is given), presses Install on the preselected port row and leaves it
# running; sets printer and install_pid.
install() {
    (cd "$drive_c/suite/install" && timeout 300 "$loader" multisetup.exe >/dev/null 2>&1) &
    install_pid=$!
    local shown position chosen=()
    if [ -n "${2:-}" ]; then
        shown=$(ui wait-dialog 60000 wait-enabled 1012 90000 combo 1000)
        position=$(sed -n 's/^combo-item 1000 = //p' <<<"$shown" | grep -n -x -F "$2" | head -n 1 | cut -d: -f1)
        chosen=(choose 1000 $((${position:-1} - 1)) wait-text 1001 "$2" 10000)
    fi
    shown=$(ui wait-dialog 60000 wait-enabled 1012 90000 "${chosen[@]}" text 1001 listview 1004 click 1012)
    printer=$(value_of "text 1001" "$shown")
    echo "note - $1: installing \"$printer\" on port row $(value_of "listview-selected 1004" "$shown")"
}
# finished <seconds>: waits until Install reads "&Finish"; prints the status line.
finished() {
    local tries=$(($1 * 2)) shown
    while [ "$tries" -gt 0 ]; do
        shown=$(ui text 1012 text 1011)
        if [ "$(value_of "text 1012" "$shown")" == "&Finish" ]; then
            value_of "text 1011" "$shown"
            return 0
        fi
        sleep 0.5
        tries=$((tries - 1))
    done
    return 1
}
end_install() {
    ui click 1012 >/dev/null
    timeout 20 tail --pid="$install_pid" -f /dev/null 2>/dev/null || kill "$install_pid" 2>/dev/null
}

serial_install_round() {  # serial_install_round <tag> <expected status> <expected port> [<driver name>]
    local answer status
    install "$1" "${4:-}"
    answer=$(run 90 uidriver.exe --dialog "$prompt_caption" wait-dialog 60000 click 1030)
    if ! grep -q '^clicked 1030' <<<"$answer"; then
        local status_line
        status_line=$(ui text 1011 | sed -n 's/^text 1011 = //p')
        echo "FAIL - $1: Install does not reach the serial prompt (status: $status_line)"
        ui close >/dev/null
        return 1
    fi
    if ! status=$(finished 30); then
        echo "FAIL - $1: the dialog does not finish"
        ui close >/dev/null
        return 0
    fi
    [[ "$status" == $2 ]] && echo "ok - $1: status \"$status\"" || echo "FAIL - $1: status \"$status\", expected $2"
    [ "$(printer_port "$printer")" == "$3" ] && echo "ok - $1: the printer is on $3" ||
        echo "FAIL - $1: the printer is on $(printer_port "$printer"), expected $3"
    end_install
}

start_emulators install
if serial_install_round "serial, printer on COM2" "The available printer port:  COM2:" "COM2:"; then
    import -window root "$artifacts/serial-search-finished.png" 2>/dev/null
    ports=$(registry_value 'HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Ports' COM2:)
    [ "$ports" == "19200,n,8,1" ] && echo "ok - serial: the Ports value of COM2: is 19200,n,8,1" ||
        echo "FAIL - serial: the Ports value of COM2: is [$ports]"
    grep -q '^10 04 01$' "$work/install-emu2.log" && echo "ok - serial: the receipt query reached COM2" ||
        echo "FAIL - serial: the receipt query reached COM2"
    run 60 serial_check.exe add-printer "Beside on COM3" COM3: "$printer"
    serial_install_round "serial again, with a printer on COM3:" "The available printer port:  COM2:" "COM2:"
    [ "$(printer_port "Beside on COM3")" == "COM3:" ] && echo "ok - serial: the printer on COM3: keeps its port" ||
        echo "FAIL - serial: the printer on COM3: is on $(printer_port "Beside on COM3")"
    # A label printer asks with ESC ! ?.
    serial_install_round "serial, label printer on COM2" "The available printer port:  COM2:" "COM2:" "Series L40"
    grep -q '^1B 21 3F$' "$work/install-emu2.log" && echo "ok - serial: a label install sends 1B 21 3F (the emulator logged it)" ||
        echo "FAIL - serial: a label install sends 1B 21 3F: the emulator logged $(tr '\n' '|' <"$work/install-emu2.log")"
    stop_emulators
    stream_program_rounds
    for n in 1 2 3; do "$emulator" "$work/emu$n" "$work/silent-emu$n.log" --silent & pids+=($!); done
    serial_install_round "serial, silent printer" "Cannot select a available port*The current printer port is COM1:,you can configure after finished" "COM1:"

    # USB: two ports in Wine's list; no "PrinterOnLine" ever, so the Retry/Cancel box comes.
    for port in USB001 USB002; do reg_add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\Ports' "$port" ""; done
    "$wineserver_bin" -w
    install "usb"
    box=$(run 120 uidriver.exe --dialog "Fail to select port" answer "Fail to select port" 2 90000)
    grep -q '^message-box-text = Failed to select usb port,please check the port is connected' <<<"$box" &&
        echo "ok - usb: the Retry/Cancel box comes" || echo "FAIL - usb: the Retry/Cancel box comes: $box"
    if status=$(finished 60); then
        echo "ok - usb: Cancel finishes the installation ($status)"
        [ "$(printer_port "$printer")" == "USB002" ] && echo "ok - usb: the printer stays on the last USB port" ||
            echo "FAIL - usb: the printer is on $(printer_port "$printer")"
        end_install
    else
        echo "FAIL - usb: the dialog does not finish after Cancel"
        ui close >/dev/null
    fi
fi
stop_emulators

# The same searches started unattended (/quiet), where Install creates printers.
source "$(dirname "$serial_rounds_script")/unattended_rounds.sh"
quiet_serial_rounds
# The search ended by the user while the COM printers are parked.
source "$(dirname "${BASH_SOURCE[0]}")/tail_serial_rounds.sh"
