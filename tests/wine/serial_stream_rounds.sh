# serial_stream_rounds.sh: a printer that never stops sending (printer_emulator --stream at
# 115200 baud, 11,520 bytes a second) on the pty rig. Sourced by serial_rounds.sh inside its
# mount namespace, which provides run, install, ui, finished, serial_install_round,
# stop_emulators and the pty pairs $work/emuN.
# Prints "ok - ...", "FAIL - ...", "note - ..." and "figure - ..." lines.

stream_rate=11520

# The serial line alone: closing, bytes read and CPU while COM2's printer keeps sending.
stream_line_rounds() {
    local output
    "$emulator" "$work/emu2" "$work/stream-line-emu2.log" --stream "$stream_rate" &
    pids+=($!)
    output=$(run 120 serial_check.exe stream 2 3 3)
    echo "$output"
    grep -q '^figure - close with the printer sending' <<<"$output" ||
        echo "FAIL - serial: the rounds with a printer sending without end did not end in 120 s (a close that hangs)"
    stop_emulators
}

# The program: a serial search whose first port's printer keeps sending ends on that port,
# and the close box during that port's probe ends the dialog within a second.
stream_program_rounds() {
    local closed began ms
    "$emulator" "$work/emu1" "$work/stream-emu1.log" --stream "$stream_rate" &
    pids+=($!)
    for n in 2 3; do "$emulator" "$work/emu$n" "$work/stream-emu$n.log" --silent & pids+=($!); done
    serial_install_round "serial, printer on COM1 sending without end" "The available printer port:  COM1:" "COM1:"

    install "serial, the close box while COM1 sends"
    run 90 uidriver.exe --dialog "$prompt_caption" wait-dialog 60000 click 1030 >/dev/null
    sleep 0.3  # COM1's probe runs (700 ms), its printer sending
    began=$(date +%s%N)
    closed=$(ui close wait-gone 1000)
    ms=$((($(date +%s%N) - began) / 1000000))
    echo "figure - close box to dialog gone while the printer sends (with the UI driver's own start): $ms ms"
    grep -q '^dialog gone' <<<"$closed" && echo "ok - serial: the close box ends the dialog within a second while COM1 sends" ||
        echo "FAIL - serial: the close box ends the dialog within a second while COM1 sends: $(tail -n 1 <<<"$closed")"
    timeout 20 tail --pid="$install_pid" -f /dev/null 2>/dev/null || kill "$install_pid" 2>/dev/null
    stop_emulators
    # What COM1's printer sent and nobody read is still on its way through the pty pair: it
    # would answer the next round's probe of COM1 for a printer that no longer sends.
    timeout 1 cat "$work/com1" >/dev/null 2>&1
}
