# Installation rounds of the Wine suite, sourced by run_wine_suite.sh (which defines check,
# ui, value, start_program, end_program, wait_exit, screenshot, unpacked_items,
# printer_names_of and the prefix variables).

wine_reg() {  # wine_reg <key> <value>: the data of a value in the prefix's registry, or nothing
    "$loader" reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
        awk -v name="$2" '{ line = $0; sub(/^ +/, "", line)
                            if (index(line, name) == 1) { sub(/^[^ ]+( [^ ]+)* +REG_[A-Z_]+ +/, "", line); print line; exit } }'
}

printers_key='HKLM\System\CurrentControlSet\Control\Print\Printers'
drivers_key() {  # drivers_key <environment> <driver>: the spooler's key of a version-3 driver
    printf 'HKLM\\System\\CurrentControlSet\\Control\\Print\\Environments\\%s\\Drivers\\Version-3\\%s' "$1" "$2"
}
windows_key='HKCU\Software\Microsoft\Windows NT\CurrentVersion\Windows'

# install_target x86|x64: what an installation round's program installs, and where. The
# 32-bit programs on a 32-bit prefix take the x86 driver from C:\Ticket\x86 and put the
# monitor DLL into system32; the 64-bit test variant, on the 64-bit system it is always on,
# takes the x64 driver and puts the monitor DLL where a WOW64 program would, SysWOW64.
install_target() {
    if [ "$1" == x86 ]; then
        inst_env='Windows NT x86' inst_driver_dir=w32x86 inst_src=x86 inst_bitness="32 bit"
        inst_monitor_dll=almonNT.dll inst_system_dir=system32
    else
        inst_env='Windows x64' inst_driver_dir=x64 inst_src=x64 inst_bitness="64 bit"
        inst_monitor_dll=almon64.dll inst_system_dir=SysWOW64
    fi
}
install_target x86

# The monitor DLL the label installation copied into the system folder (Wine's folder names
# differ in case from the program's).
monitor_dll_file() {
    find "$drive_c/windows" -maxdepth 1 -iname "$inst_system_dir" -exec find {} -maxdepth 1 -iname "$inst_monitor_dll" \; | head -n 1
}

# The user's key of printer settings, which every Windows has and a fresh Wine prefix lacks:
# the default printer is written into it.
add_printer_settings_key() {
    "$loader" reg add "$windows_key" /f >/dev/null 2>&1
}

# Leaves Wine's spooler one parallel port, LPT1:, so that the parallel check takes it
# without its dialog.
keep_one_parallel_port() {
    local port
    for port in LPT2: LPT3:; do
        "$loader" reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\Ports' /v "$port" /f >/dev/null 2>&1
    done
}

# The driver-list position of a printer name of the sample package.
driver_position() {
    [ -f "$work/DriverName.cfg" ] || 7zz e -so "$package" DriverName.cfg >"$work/DriverName.cfg" 2>/dev/null
    printer_names_of "$work/DriverName.cfg" | grep -n -x -F "$1" | head -n 1 | cut -d: -f1 | awk '{ print $1 - 1 }'
}

# install_with <program> <printer name> <port row>: chooses them and presses Install.
install_with() {
    local position
    position=$(driver_position "$2")
    ui choose 1000 "$position" select-row 1004 "$3" click 1012 >/dev/null
}

# install_on_parallel <printer name> <row>: Install with the parallel row, and that row of
# Wine's three LPT ports picked in the parallel port dialog.
install_on_parallel() {
    install_with "$program" "$1" 2
    ui --dialog "Select A Parallel Port" wait-dialog 30000 key 1004 home select-row 1004 "$2" \
        wait-selected 1004 "$2" 5000 click 1037 wait-gone 10000 >/dev/null
}

# A receipt printer on the parallel port picked in the dialog, twice, then Finish.
run_receipt_on_parallel() {
    local name="multisetup installs a receipt printer on LPT2:" printer="Series R01" out folder
    program=multisetup
    start_program multisetup with
    install_on_parallel "$printer" 1
    out=$(ui wait-text 1012 "&Finish" 90000 text 1011 enabled 1012)
    check "$name: status" "The installation is completed." "$(value text 1011 "$out")"
    check "$name: Install reads &Finish and is enabled" "1" "$(value enabled 1012 "$out")"
    check "$name: the printer's port" "LPT2:" "$(wine_reg "$printers_key\\$printer" Port)"
    check "$name: the printer's driver" "$printer" "$(wine_reg "$printers_key\\$printer" 'Printer Driver')"
    check "$name: driver registered for $inst_env" "$printer" \
        "$("$loader" reg query "HKLM\\System\\CurrentControlSet\\Control\\Print\\Environments\\$inst_env\\Drivers\\Version-3" 2>/dev/null |
           tr -d '\r' | sed -n 's/.*\\Version-3\\//p' | grep -x -F "$printer")"
    check "$name: the driver's dependent files" 'ttfsub.GPD\0unires.DLL\0stdnames.GPD\0RCPT01.DLL' \
        "$(wine_reg "$(drivers_key "$inst_env" "$printer")" 'Dependent Files')"
    check "$name: default printer" "$printer,winspool,LPT2:" "$(wine_reg "$windows_key" Device)"
    folder="$drive_c/windows/system32/spool/drivers/$inst_driver_dir"
    check "$name: staged files gone but the plug-in files" "TKTPLUG.dll TKTPLUG.ini " \
        "$(find "$folder" -maxdepth 1 -type f -printf '%f\n' | sort | tr '\n' ' ')"
    screenshot "$program-installed-on-parallel"
    ui click 1012 >/dev/null
    if wait_exit 20; then check "$name: Finish ends the program" "ended" "ended"; else
        check "$name: Finish ends the program" "ended" "still running"; kill "$program_pid" 2>/dev/null; fi
    check "$name: unpacked files removed after Finish" "" "$(unpacked_items)"

    name="multisetup installs the same printer again, on LPT3:"
    start_program multisetup with
    install_on_parallel "$printer" 2
    out=$(ui wait-text 1012 "&Finish" 90000 text 1011)
    check "$name: status" "The installation is completed." "$(value text 1011 "$out")"
    check "$name: the printer re-added on LPT3:" "LPT3:" "$(wine_reg "$printers_key\\$printer" Port)"
    end_program "$name" close
}

# A label printer on the parallel port: the sample monitor DLL is a language monitor.
run_label_on_parallel() {
    local name="multisetup installs a label printer on LPT1:" printer="Series L40" out
    program=multisetup
    start_program multisetup with
    install_on_parallel "$printer" 0
    out=$(ui wait-text 1012 "&Finish" 90000 text 1011)
    check "$name: status" "The installation is completed." "$(value text 1011 "$out")"
    check "$name: monitor registered" "$inst_monitor_dll" \
        "$(basename "$(wine_reg 'HKLM\System\CurrentControlSet\Control\Print\Monitors\Advanced Language Monitor' Driver | tr '\\' '/')")"
    check "$name: the printer's driver" "$printer" "$(wine_reg "$printers_key\\$printer" 'Printer Driver')"
    check "$name: the driver names the monitor" "Advanced Language Monitor" \
        "$(wine_reg "$(drivers_key "$inst_env" "$printer")" Monitor)"
    end_program "$name" close
    check "$name: unpacked files removed" "" "$(unpacked_items)"
}

# On a 64-bit prefix Wine's AddPrinterA refuses the x64 driver to a 32-bit process (87).
run_receipt_refused_on_64bit() {
    local name="multisetup on a 64-bit prefix: AddPrinter refused" out
    program=multisetup
    start_program multisetup with
    install_with multisetup "Series R01" 2
    out=$(ui wait-box "Error prompt" 90000)
    check "$name: the box says why" "Error AddPrinter 87" "$(sed -n 's/^message-box-text = //p' <<<"$out")"
    check "$name: the driver went to the x64 environment from C:\\Ticket\\x64" "TKR58A.GPD" \
        "$(wine_reg "$(drivers_key 'Windows x64' 'Series R01')" 'Data File')"
    screenshot "$program-error-addprinter"
    ui answer "Error prompt" 1 5000 >/dev/null
    out=$(ui wait-enabled 1012 10000 text 1012)
    check "$name: Install usable again" "&Install" "$(value text 1012 "$out")"
    end_program "$name" cancel
    check "$name: unpacked files removed" "" "$(unpacked_items)"
}

# Wine loads a monitor DLL in the calling process: the 64-bit monitor fails in a 32-bit one.
run_label_monitor_refused_on_64bit() {
    local name="multisetup on a 64-bit prefix: monitor refused" out
    program=multisetup
    start_program multisetup with
    install_with multisetup "Series L40" 2
    out=$(ui wait-box multisetup 90000)
    check "$name: the box says so, and that the copied DLL was removed" \
        'Failed to add Monitor\r\nThe copied monitor DLL C:\windows\SysWOW64\almon64.dll was removed; there was none before.' \
        "$(sed -n 's/^message-box-text = //p' <<<"$out")"
    screenshot "$program-monitor-refused"
    ui answer multisetup 1 5000 >/dev/null
    if wait_exit 20; then check "$name: the program ends" "ended" "ended"; else
        check "$name: the program ends" "ended" "still running"; kill "$program_pid" 2>/dev/null; fi
    check "$name: no monitor DLL left in SysWOW64" "" "$(find "$drive_c/windows" -maxdepth 2 -ipath '*/syswow64/almon64.dll*')"
    check "$name: unpacked files removed" "" "$(unpacked_items)"
}
