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
    log_has "$name: log names the system" receipt "System: Microsoft Windows 7  $inst_bitness"
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
    check "$name: the log does not say the default printer was set" "0" \
        "$(quiet_log solo | grep -c '^Status: Set the printer .* to default printer$')"
    log_has "$name: the log says the default printer stays" solo "The default printer stays as it was."

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

# ---- runs that end before anything is installed: any prefix, either bitness ----------------

# quiet_detached <folder> <program> <argument>...: as a deployment agent starts it, with no
# console and nobody to answer a box; a run that waits more than 30 s is ended.
quiet_detached() {
    (cd "$drive_c/suite/$1" && timeout 120 "$loader" "$drive_c/suite/launch.exe" --detached 30 "$2.exe" "${@:3}" \
        2>/dev/null | tr -d '\r')
}

# check_detached_end <name> <expected code> <launch output>: it ended by itself, showed
# nothing and unpacked nothing.
check_detached_end() {
    check "$1: ends by itself" "" "$(grep '^timed-out' <<<"$3")"
    check "$1: exit code" "$2" "$(exit_code_in "$3")"
    check "$1: no window shown" "" "$(windows_in "$3")"
    check "$1: nothing unpacked" "" "$(unpacked_items)"
}

run_quiet_refusal_rounds() {
    local name out log
    cp "$tools_dir/launch.exe" "$drive_c/suite/"
    mkdir -p "$drive_c/suite/logs"
    local run="/printer:Series R01"

    # Each bad command line, started detached: no box waits for anybody, the log says why.
    local -a cases=(
        "bogus|multisetup|Command line refused: Unknown option /bogus.|/bogus|/quiet|$run|/port:parallel|/portname:LPT1:"
        "twice|multisetup|Command line refused: The option /printer is given twice.|$run|$run|/quiet|/port:parallel"
        "comma|solosetup|Command line refused: The printer name /name gives cannot be used: it holds a comma.|/quiet|$run|/port:parallel|/name:Till, front"
        "blanks|solosetup|Command line refused: The printer name /name gives cannot be used: it holds only blanks.|/quiet|$run|/port:parallel|/name:   "
        "tcpip|multisetup|Command line: this machine has no TCP/IP port: add one first and name it with /portname.|/quiet|$run|/port:tcpip"
    )
    local entry label program line args
    for entry in "${cases[@]}"; do
        IFS='|' read -r label program line args <<<"$entry"
        IFS='|' read -r -a args <<<"$args"
        name="detached $program with a bad command line ($label)"
        out=$(quiet_detached with "$program" "/log:C:\\suite\\logs\\bad-$label.log" "${args[@]}")
        check_detached_end "$name" 87 "$out"
        log_has "$name: the log says why" "bad-$label" "$line"
        check "$name: the log ends with the exit code" "Exit code 87" "$(quiet_log "bad-$label" | tail -n 1 | cut -d: -f1)"
    done

    # A log that cannot be opened: 1622 before anything changes, as msiexec ends. (Wine lets
    # root append to a read-only file: that case is the native tests'.)
    mkdir -p "$drive_c/suite/logs/a folder"
    for log in 'C:\suite\no such folder\x.log' 'C:\suite\logs\a folder'; do
        name="detached quiet run with /log:$log"
        out=$(quiet_detached with multisetup /quiet "$run" /port:parallel /portname:LPT1: "/log:$log")
        check_detached_end "$name" 1622 "$out"
    done

    for log in 'C:\Ticket\setup.log' 'C:\DriverName.cfg'; do
        name="detached quiet run with /log:$log in the package's places"
        out=$(quiet_detached with multisetup /quiet "$run" /port:parallel /portname:LPT1: "/log:$log")
        check_detached_end "$name" 87 "$out"
    done

    name="quiet /help"
    out=$(quiet_detached with multisetup /quiet /help '/log:C:\suite\logs\help.log')
    check_detached_end "$name" 0 "$out"
    log_has "$name: the log says the usage text was shown" help "Exit code 0: the usage text was shown, nothing was installed"

    # No package: the log names the file and the folder looked in, not the command line.
    local missing="$drive_c/suite/missing"
    mkdir -p "$missing/nodll" "$missing/wrongdll" "$missing/elsewhere"
    cp "$programs_dir/multisetup.exe" "$package" "$missing/nodll/"
    cp "$programs_dir/multisetup.exe" "$package" "$missing/wrongdll/"
    cp "$tools_dir/planted_dll.dll" "$missing/wrongdll/7-zip32.dll"
    local -a absent=(
        "nodriverdata|without|No driver package: DriverData.Drv is not in C:\\suite\\without, the folder the program was started from, where it is looked for."
        "nodll|missing/nodll|No driver package: 7-zip32.dll is neither in the program's folder C:\\suite\\missing\\nodll nor in the system folder C:\\windows\\system32."
        "wrongdll|missing/wrongdll|Failed: GetProcAddress(C:\\suite\\missing\\wrongdll\\7-zip32.dll, SevenZip): no such entry point, so it is not the archiver this program drives"
    )
    local folder
    for entry in "${absent[@]}"; do
        IFS='|' read -r label folder line <<<"$entry"
        name="detached quiet run without a usable package ($label)"
        out=$(quiet_detached "$folder" multisetup /quiet "$run" /port:parallel /portname:LPT1: \
            "/log:C:\\suite\\logs\\absent-$label.log")
        check_detached_end "$name" 2 "$out"
        log_has "$name: the log names the file and the folder" "absent-$label" "$line"
        check "$name: the log does not blame the command line" "0" \
            "$(quiet_log "absent-$label" | grep -c '^Command line')"
    done
    name="detached quiet run started from another folder"
    out=$(cd "$drive_c/suite/missing/elsewhere" && timeout 120 "$loader" "$drive_c/suite/launch.exe" --detached 30 \
        'C:\suite\with\multisetup.exe' /quiet "$run" /port:parallel /portname:LPT1: \
        '/log:C:\suite\logs\elsewhere.log' 2>/dev/null | tr -d '\r')
    check_detached_end "$name" 2 "$out"
    log_has "$name: the log names the folder looked in" elsewhere \
        "No driver package: DriverData.Drv is not in C:\\suite\\missing\\elsewhere, the folder the program was started from, where it is looked for."

    # Last: a process without a display cannot reach the desktop.
    name="quiet run with no display"
    out=$(cd "$drive_c/suite/with" && env -u DISPLAY timeout 120 "$loader" "$drive_c/suite/launch.exe" --detached 30 \
        multisetup.exe /quiet "$run" /port:parallel /portname:LPT1: '/log:C:\suite\logs\nodisplay.log' 2>/dev/null |
        tr -d '\r')
    check_detached_end "$name" 1603 "$out"
    check "$name: the log names what failed and its error number" "1" \
        "$(quiet_log nodisplay | grep -c '^The main window could not be created: .*(error [0-9]*)\. Nothing was installed\.$')"
    # The session that began without a display ends here; the next rounds start one with it.
    "$wineserver_bin" -k 2>/dev/null
}
