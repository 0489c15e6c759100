# unattended_rounds.sh: the programs started by a deployment tool - /quiet, the exit code
# read from the process, the log - under Wine, with the real 32-bit programs in a
# WINEARCH=win32 prefix, where Install can create printers. Sourced by run_wine_suite.sh
# (check, value, ui, new_prefix, stage_programs, add_printer_settings_key,
# keep_one_parallel_port, wine_reg, unpacked_items, printers_key, windows_key and the prefix
# variables) and, for the serial rounds, by serial_rounds.sh inside its namespace
# (quiet_serial_rounds).

# quiet_launch <folder> <program> <argument>...: runs C:\suite\<folder>\<program>.exe with
# the arguments through launch.exe; prints the windows it showed and its whole exit code.
quiet_launch() {
    (cd "$drive_c/suite/$1" && timeout 300 "$loader" "$drive_c/suite/launch.exe" "$2.exe" "${@:3}" 2>/dev/null |
        tr -d '\r')
}
exit_code_in() { sed -n 's/^exit-code = //p' <<<"$1"; }
windows_in() { sed -n 's/^window = //p' <<<"$1" | tr '\n' ' '; }
# The log's lines without their time stamps; a line without one shows as it is, and fails.
quiet_log() {
    tr -d '\r' <"$drive_c/suite/logs/$1.log" 2>/dev/null |
        sed -E 's/^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3} //'
}
log_has() {  # log_has <check name> <log> <line>
    check "$1" "$3" "$(quiet_log "$2" | grep -x -F -- "$3" | head -n 1)"
}

# One run: the exit code, no window, and the log's last line.
check_quiet_run() {  # check_quiet_run <name> <log> <expected code> <launch output>
    check "$1: exit code" "$3" "$(exit_code_in "$4")"
    check "$1: no window shown" "" "$(windows_in "$4")"
    check "$1: the log ends with the exit code" "Exit code $3" "$(quiet_log "$2" | tail -n 1 | cut -d: -f1)"
}

run_unattended_rounds() {
    local name out
    cp "$tools_dir/launch.exe" "$drive_c/suite/"
    mkdir -p "$drive_c/suite/logs"

    name="quiet receipt printer on /portname:LPT2: made default"
    out=$(quiet_launch with multisetup /quiet "/printer:Series R01" /port:parallel /portname:LPT2: /default \
        '/log:C:\suite\logs\receipt.log')
    check_quiet_run "$name" receipt 0 "$out"
    check "$name: the printer's port" "LPT2:" "$(wine_reg "$printers_key\\Series R01" Port)"
    check "$name: default printer" "Series R01,winspool,LPT2:" "$(wine_reg "$windows_key" Device)"
    log_has "$name: log names the program and the command line" receipt \
        "multisetup 2, 0, 4, 2, command line: multisetup.exe /quiet \"/printer:Series R01\" /port:parallel /portname:LPT2: /default /log:C:\\suite\\logs\\receipt.log"
    log_has "$name: log names the system" receipt "System: Microsoft Windows 7  32 bit"
    log_has "$name: the port dialog answered by /portname" receipt "Port dialog (parallel): ports LPT1:, LPT2:, LPT3: -> LPT2:"
    log_has "$name: log shows the status texts" receipt "Status: The installation is completed."
    log_has "$name: log names the printer's port" receipt "The printer is on LPT2:"
    check "$name: unpacked files removed" "" "$(unpacked_items)"

    name="quiet solosetup with /name"
    out=$(quiet_launch with solosetup /quiet "/printer:Series R01" /port:parallel /portname:LPT3: \
        "/name:Front till" '/log:C:\suite\logs\solo.log')
    check_quiet_run "$name" solo 0 "$out"
    check "$name: the printer has the name given" "LPT3:" "$(wine_reg "$printers_key\\Front till" Port)"
    check "$name: without /default the default printer stays" "Series R01,winspool,LPT2:" "$(wine_reg "$windows_key" Device)"

    name="the usage text on the standard output"
    out=$(quiet_launch with multisetup "/?")
    check "$name: exit code" 0 "$(exit_code_in "$out")"
    check "$name: no window shown" "" "$(windows_in "$out")"
    check "$name: the text" "Usage: multisetup [/quiet] [/printer:NAME] [/port:serial|usb|parallel|tcpip] [/portname:PORT]" \
        "$(grep -m 1 '^Usage: ' <<<"$out")"
    check "$name: the exit codes in it" "1" "$(grep -c '^Exit codes: 0 installed; 1167 installed' <<<"$out")"

    name="quiet unknown printer"
    out=$(quiet_launch with multisetup /quiet "/printer:Series R99" /port:parallel /portname:LPT1: \
        '/log:C:\suite\logs\unknown.log')
    check_quiet_run "$name" unknown 87 "$out"
    check "$name: nothing unpacked left" "" "$(unpacked_items)"
    check "$name: no printer" "" "$(wine_reg "$printers_key\\Series R99" Port)"

    name="quiet with an invalid command line"
    out=$(quiet_launch with multisetup /quiet /port:parallel '/log:C:\suite\logs\invalid.log')
    check_quiet_run "$name" invalid 87 "$out"
    log_has "$name: log says why" invalid "Command line refused: /quiet needs /printer."

    name="quiet while another installer runs"
    start_program multisetup with
    out=$(quiet_launch with multisetup /quiet "/printer:Series R01" /port:parallel /portname:LPT1: \
        '/log:C:\suite\logs\second.log')
    check_quiet_run "$name" second 1618 "$out"
    end_program "$name: the first installer" cancel

    name="quiet without a package"
    out=$(quiet_launch without multisetup /quiet "/printer:Series R01" /port:parallel /portname:LPT1: \
        '/log:C:\suite\logs\missing.log')
    check_quiet_run "$name" missing 2 "$out"

    name="quiet with a damaged package"
    local damaged="$drive_c/suite/damaged" size
    mkdir -p "$damaged"
    cp "$programs_dir/multisetup.exe" "$archiver_dll" "$package" "$damaged/"
    size=$(stat -c %s "$damaged/DriverData.Drv")
    printf '\x5a' | dd of="$damaged/DriverData.Drv" bs=1 seek=$((32 + (size - 32) / 2)) conv=notrunc 2>/dev/null
    out=$(quiet_launch damaged multisetup /quiet "/printer:Series R01" /port:parallel /portname:LPT1: \
        '/log:C:\suite\logs\damaged.log')
    check_quiet_run "$name" damaged 13 "$out"
    check "$name: nothing unpacked left" "" "$(unpacked_items)"

    # From here on Wine's spooler has one parallel port.
    keep_one_parallel_port
    name="quiet label printer on the only parallel port"
    out=$(quiet_launch with multisetup /quiet "/printer:Series L40" /port:parallel '/log:C:\suite\logs\label.log')
    check_quiet_run "$name" label 0 "$out"
    check "$name: the printer's port" "LPT1:" "$(wine_reg "$printers_key\\Series L40" Port)"

    # USB: Wine sets no "PrinterOnLine", so no port is ever online; Retry is never asked.
    for port in USB001 USB002; do
        "$loader" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\Ports' /v "$port" /d "" /f >/dev/null 2>&1
    done
    "$wineserver_bin" -w
    name="quiet USB printer with no port online"
    out=$(quiet_launch with multisetup /quiet "/printer:Series R02" /port:usb '/log:C:\suite\logs\usb.log')
    check_quiet_run "$name" usb 1167 "$out"
    check "$name: the printer stays on the last USB port" "USB002" "$(wine_reg "$printers_key\\Series R02" Port)"
    check "$name: the Retry/Cancel box answered Cancel by rule" "1" \
        "$(quiet_log usb | grep -c '^Box "Fail to select port": .* -> Cancel (by rule)$')"
    log_has "$name: log names the port" usb "The printer is on USB002, where the search did not find it"
    check "$name: unpacked files removed" "" "$(unpacked_items)"
}

# ---- inside serial_rounds.sh's namespace: COM1 and COM3 silent, COM2 answering --------------

quiet_serial_rounds() {
    local out code port
    cp "$tools_dir/launch.exe" "$drive_c/suite/"
    quiet_serial() {  # quiet_serial <printer> <log>
        (cd "$drive_c/suite/install" && timeout 300 "$loader" "$drive_c/suite/launch.exe" multisetup.exe /quiet \
            "/printer:$1" /port:serial "/log:C:\\suite\\$2.log" 2>/dev/null | tr -d '\r')
    }
    start_emulators quiet
    out=$(quiet_serial "Series R03" quiet-found)
    code=$(sed -n 's/^exit-code = //p' <<<"$out")
    port=$(printer_port "Series R03")
    [ "$code" == 0 ] && echo "ok - quiet serial: exit code 0" || echo "FAIL - quiet serial: exit code [$code], expected 0"
    [ "$port" == COM2: ] && echo "ok - quiet serial: the printer is on COM2:" ||
        echo "FAIL - quiet serial: the printer is on [$port], expected COM2:"
    grep -q 'Serial prompt: Yes at 19200 baud (by rule)' "$drive_c/suite/quiet-found.log" &&
        echo "ok - quiet serial: the prompt answered Yes at 19200 by rule" ||
        echo "FAIL - quiet serial: the prompt answered Yes at 19200 by rule"
    grep -q '^window = ' <<<"$out" && echo "FAIL - quiet serial: a window was shown: $(grep '^window' <<<"$out")" ||
        echo "ok - quiet serial: no window shown"
    stop_emulators
    for n in 1 2 3; do "$emulator" "$work/emu$n" "$work/quiet-silent-emu$n.log" --silent & pids+=($!); done
    out=$(quiet_serial "Series R04" quiet-silent)
    code=$(sed -n 's/^exit-code = //p' <<<"$out")
    port=$(printer_port "Series R04")
    [ "$code" == 1167 ] && echo "ok - quiet serial, silent ports: exit code 1167" ||
        echo "FAIL - quiet serial, silent ports: exit code [$code], expected 1167"
    [ "$port" == COM1: ] && echo "ok - quiet serial, silent ports: the printer is on COM1:" ||
        echo "FAIL - quiet serial, silent ports: the printer is on [$port], expected COM1:"
    stop_emulators
}
