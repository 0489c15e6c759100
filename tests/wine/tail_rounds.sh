# Rounds of the printer creation's tail, sourced by run_wine_suite.sh after install_rounds.sh
# (whose wine_reg, printers_key, windows_key, install_with and install_on_parallel they use):
# a printer of the same name that the new one cannot replace, the question before another
# driver's printer is replaced, the default printer's missing key, and the status of a printer
# that went to the parallel port because its kind had no port.

# printer_settings <printer>: the values of the printer's key as reg lists them, sorted.
printer_settings() {
    "$loader" reg query "$printers_key\\$1" 2>/dev/null | tr -d '\r' | grep ' REG_' | sed 's/^ *//' | sort
}

# make_printer <printer> <port> <driver>: a printer of the user's, with the settings a user
# gives one, written where Wine's spooler keeps its printers.
make_printer() {
    local key="$printers_key\\$1" entry
    for entry in "Name=$1" "Port=$2" "Printer Driver=$3" "Print Processor=WinPrint" "Datatype=RAW" \
        "Description=Front desk tickets" "Location=Hall" "Share Name=desk"; do
        "$loader" reg add "$key" /v "${entry%%=*}" /d "${entry#*=}" /f >/dev/null 2>&1
    done
    "$loader" reg add "$key" /v Attributes /t REG_DWORD /d 64 /f >/dev/null 2>&1
    "$loader" reg add "$key" /v Priority /t REG_DWORD /d 3 /f >/dev/null 2>&1
    # What Wine's spooler writes when it first opens a printer it made.
    "$loader" reg add "$key" /v Status /t REG_DWORD /d 0 /f >/dev/null 2>&1
}

box_text() { sed -n 's/^message-box-text = //p' <<<"$1"; }

# On a 64-bit prefix the 32-bit program cannot create a printer of the x64 driver (87): a
# printer of that name and driver, as a 64-bit Windows has them, stays as it was.
run_existing_printer_kept_on_64bit() {
    local name="multisetup on a 64-bit prefix: the printer there before is kept" printer="Series R01" before out
    program=multisetup
    make_printer "$printer" LPT1: "$printer"
    before=$(printer_settings "$printer")
    start_program multisetup with
    install_with multisetup "$printer" 2
    out=$(ui wait-box "Error prompt" 90000)
    check "$name: the box says why and that the printer was kept" \
        "Error AddPrinter 87\\r\\n\\r\\nThe printer $printer that was there before was kept as it was (port LPT1:, driver $printer)." \
        "$(box_text "$out")"
    screenshot "$program-existing-printer-kept"
    ui answer "Error prompt" 1 5000 >/dev/null
    out=$(ui wait-enabled 1012 10000 text 1011)
    check "$name: the status line says it was kept" \
        "The printer $printer that was there before was kept as it was (port LPT1:, driver $printer)." \
        "$(value text 1011 "$out")"
    check "$name: every setting as before" "$before" "$(printer_settings "$printer")"
    check "$name: no other printer left" "" "$(printer_settings "Printer check of the driver setup")"
    end_program "$name" cancel
    "$loader" reg delete "$printers_key\\$printer" /f >/dev/null 2>&1
}

# A reinstall of a printer that is there (/force: a quiet run would otherwise keep it)
# deletes it and adds the new one: no other printer is added or deleted on the way, not even
# for a moment. Wine's relay trace of the program's calls into the spooler counts them.
run_reinstall_adds_one_printer() {
    local name="a reinstall over the printer that is there" trace calls out
    cp "$tools_dir/launch.exe" "$drive_c/suite/"
    mkdir -p "$drive_c/suite/logs"
    "$loader" reg add 'HKCU\Software\Wine\Debug' /v RelayInclude \
        /d 'winspool.drv.AddPrinterA;winspool.drv.DeletePrinter;winspool.drv.AddPrinterW' /f >/dev/null 2>&1
    trace="$artifacts/reinstall-relay.txt"
    out=$(cd "$drive_c/suite/with" && WINEDEBUG=+relay timeout 300 "$loader" "$drive_c/suite/launch.exe" \
        multisetup.exe /quiet /force "/printer:Series R01" /port:parallel /portname:LPT3: \
        '/log:C:\suite\logs\reinstall.log' \
        2>"$trace" | tr -d '\r')
    "$loader" reg delete 'HKCU\Software\Wine\Debug' /v RelayInclude /f >/dev/null 2>&1
    check "$name: exit code" 0 "$(sed -n 's/^exit-code = //p' <<<"$out")"
    calls=$(grep -o -E 'Call winspool\.drv\.(AddPrinterA|AddPrinterW|DeletePrinter)\(' "$trace" |
        sed -E 's/^Call winspool\.drv\.//; s/\($//' | tr '\n' ' ')
    check "$name: the program's spooler calls: one printer deleted, one added" "DeletePrinter AddPrinterA " "$calls"
    check "$name: the printer is on the port given" "LPT3:" "$(wine_reg "$printers_key\\Series R01" Port)"
    check "$name: no other printer was left" "" "$(printer_settings "Printer check of the driver setup")"
}

# The user's key of printer settings only readable, as on a locked profile: the default
# printer cannot be written. The box says so in the program's own words (the full-width
# colon is the code page 936 bytes A3 BA, which Wine's code page 1252 shows as "£º") with the
# error on the next line, and the installation goes on to its end.
run_default_printer_not_written() {
    local name="the default printer cannot be written" printer="Series R01" out
    program=multisetup
    check "$name: the key made read-only" 0 "$(checks_tool key-dacl 'Software\Microsoft\Windows NT\CurrentVersion\Windows' 'D:P(A;;KR;;;WD)')"
    start_program multisetup with
    install_on_parallel "$printer" 1
    out=$(ui wait-box multisetup 90000)
    screenshot "$program-default-printer-not-written"
    check "$name: the box's text" 'Error£ºFailed to set regist\r\n(error 5)' "$(box_text "$out")"
    ui answer multisetup 1 5000 >/dev/null
    out=$(ui wait-text 1012 "&Finish" 90000 text 1011)
    check "$name: the installation goes on to its end" "The installation is completed." "$(value text 1011 "$out")"
    check "$name: the printer is on the chosen port" "LPT2:" "$(wine_reg "$printers_key\\$printer" Port)"
    end_program "$name" close
    checks_tool key-dacl 'Software\Microsoft\Windows NT\CurrentVersion\Windows' 'D:P(A;;KA;;;WD)' >/dev/null
}

# solosetup: a typed name that is another driver's printer is replaced only after Yes, and
# the question comes after the port is chosen. Before the Yes the user's key of printer
# settings is removed, as a new profile lacks it: the default printer is written all the same.
run_replace_question() {
    local name="solosetup: another driver's printer of the typed name" printer="Front Desk" before out question
    program=solosetup
    make_printer "$printer" LPT2: "Series L40"
    before=$(printer_settings "$printer")
    question="A printer named $printer is already installed, with the driver Series L40 on the port LPT2:.\\r\\n\\r\\n"
    question+="Replace it with a printer of the driver Series R01?\\r\\n\\r\\nYes: the printer is deleted and created"
    question+=" again with the new driver.\\r\\nNo: the printer stays as it is and nothing is installed."
    start_program solosetup with
    ui choose 1000 "$(driver_position "Series R01")" set-text 1001 "$printer" select-row 1004 2 click 1012 >/dev/null
    out=$(ui --dialog "Select A Parallel Port" wait-dialog 30000 --dialog "$caption" wait-box Prompt 0)
    check "$name: the port dialog comes first, no question before it" "dialog found" \
        "$(grep -o '^dialog found' <<<"$out" | head -n 1)$(grep -o '^message-box-text = .*' <<<"$out")"
    ui --dialog "Select A Parallel Port" key 1004 home wait-selected 1004 0 5000 click 1037 wait-gone 10000 >/dev/null
    out=$(ui wait-box Prompt 60000)
    check "$name: the question names the printer, its driver and port" "$question" "$(box_text "$out")"
    screenshot "$program-replace-question"
    out=$(ui answer Prompt 7 5000 wait-enabled 1012 10000 text 1012)
    check "$name: No leaves Install usable" "&Install" "$(value text 1012 "$out")"
    check "$name: No leaves the printer as it was" "$before" "$(printer_settings "$printer")"

    "$loader" reg delete "$windows_key" /f >/dev/null 2>&1
    ui click 1012 >/dev/null
    ui --dialog "Select A Parallel Port" wait-dialog 30000 key 1004 home wait-selected 1004 0 5000 click 1037 \
        wait-gone 10000 >/dev/null
    out=$(ui answer Prompt 6 60000)
    check "$name: the question comes again after the port" "$question" "$(box_text "$out")"
    out=$(ui wait-text 1012 "&Finish" 90000 text 1011)
    check "$name: Yes installs" "The installation is completed." "$(value text 1011 "$out")"
    check "$name: Yes replaces it with the new driver on the chosen port" "Series R01 LPT1:" \
        "$(wine_reg "$printers_key\\$printer" 'Printer Driver') $(wine_reg "$printers_key\\$printer" Port)"
    check "$name: the missing key of printer settings is created for the default printer" "$printer,winspool,LPT1:" \
        "$(wine_reg "$windows_key" Device)"
    ui click 1012 >/dev/null
    if wait_exit 20; then check "$name: Finish ends the program" "ended" "ended"; else
        check "$name: Finish ends the program" "ended" "still running"; kill "$program_pid" 2>/dev/null; fi
}

# multisetup: the printer name is the package's own, so a printer of that name is an earlier
# install of it and is replaced without a question, whatever its driver.
run_package_name_replaced() {
    local name="multisetup: a printer of the package's name with another driver" printer="Series R01" out
    program=multisetup
    make_printer "$printer" LPT2: "Series L40"
    start_program multisetup with
    install_on_parallel "$printer" 0
    out=$(ui wait-text 1012 "&Finish" 90000 text 1011 --dialog "$caption" wait-box Prompt 0)
    check "$name: installed, and no question was asked" "The installation is completed." \
        "$(value text 1011 "$out")$(grep -o '^message-box-text = .*' <<<"$out")"
    check "$name: the printer has the package's driver on the chosen port" "$printer LPT1:" \
        "$(wine_reg "$printers_key\\$printer" 'Printer Driver') $(wine_reg "$printers_key\\$printer" Port)"
    end_program "$name" close
}

# USB chosen and Wine has no USB port: the printer goes to the first parallel port, and the
# user ends on a status that names it.
run_fallback_port_status() {
    local name="multisetup: USB without a USB port" printer="Series R01" out
    program=multisetup
    start_program multisetup with
    install_with multisetup "$printer" 1
    out=$(ui answer "Fail to select port" 2 90000 wait-text 1012 "&Finish" 90000 text 1011 enabled 1012)
    check "$name: the final status names the parallel port the printer is on" \
        "There's no USB port,the current port isLPT1: 1" "$(value text 1011 "$out") $(value enabled 1012 "$out")"
    check "$name: the printer is on LPT1:" "LPT1:" "$(wine_reg "$printers_key\\$printer" Port)"
    screenshot "$program-usb-fallback-status"
    ui click 1012 >/dev/null
    if wait_exit 20; then check "$name: Finish ends the program" "ended" "ended"; else
        check "$name: Finish ends the program" "ended" "still running"; kill "$program_pid" 2>/dev/null; fi
}
