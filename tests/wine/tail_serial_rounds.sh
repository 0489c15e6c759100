# The serial search ended by the user while it has the COM printers parked, sourced at the end
# of the rounds serial_rounds.sh runs in its namespace (whose ui, run, printer_port, pids,
# install_pid, the emulator and the pty pairs it uses). Every emulator is silent, so that the
# search is still probing when the close box or Escape reaches the dialog; the two other COM
# printers and the printer being installed must all be back on their ports afterwards.

# parked_round <tag> <uidriver command that ends the dialog or the session>...: installs on the
# serial row, answers the prompt Yes and, while the first port is probed, ends it that way.
parked_round() {
    local tag=$1 shown printer
    shift
    (cd "$drive_c/suite/install" && timeout 300 "$loader" multisetup.exe >/dev/null 2>&1) &
    install_pid=$!
    shown=$(ui wait-dialog 60000 wait-enabled 1012 90000 select-row 1004 0 wait-selected 1004 0 5000 text 1001 click 1012)
    printer=$(value_of "text 1001" "$shown")
    shown=$(run 90 uidriver.exe --dialog "$prompt_caption" wait-dialog 60000 click 1030 \
        --dialog "$main_caption" wait-text 1011 "Checking COM1:" 20000 "$@")
    grep -q '^FAIL' <<<"$shown" && echo "FAIL - $tag: the search was not reached: $(grep '^FAIL' <<<"$shown")"
    # At the end of a session the process is ended from outside once the dialog has answered:
    # the ports must be back before that.
    [ "$1" == end-session ] && parked_ports_back "$tag" "$printer" && ui close >/dev/null
    if timeout 30 tail --pid="$install_pid" -f /dev/null 2>/dev/null; then echo "ok - $tag: the program ends"; else
        echo "FAIL - $tag: the program does not end"; kill "$install_pid" 2>/dev/null; fi
    [ "$1" == end-session ] || parked_ports_back "$tag" "$printer"
}

parked_ports_back() {  # parked_ports_back <tag> <printer being installed>
    local expected="$2=COM1: Second on COM2=COM2: Beside on COM3=COM3:" actual="" name
    for name in "$2" "Second on COM2" "Beside on COM3"; do actual+="$name=$(printer_port "$name") "; done
    [ "$actual" == "$expected " ] && echo "ok - $1: every COM printer is back on its port ($expected)" ||
        echo "FAIL - $1: the COM printers are on [$actual], expected [$expected]"
    return 0
}

if [ "$(printer_port "Beside on COM3")" == "COM3:" ]; then
    for n in 1 2 3; do "$emulator" "$work/emu$n" "$work/parked-emu$n.log" --silent & pids+=($!); done
    run 60 serial_check.exe add-printer "Second on COM2" COM2: "Series R01" >/dev/null
    parked_round "serial search ended by the close box" close
    parked_round "serial search ended by Escape" key 1004 escape
    parked_round "serial search ended by the end of the session" end-session
    stop_emulators
else
    if [ "$arch" != win32 ]; then
        echo "SKIP - parked printers: this machine cannot run 32-bit programs, so no printer was installed on COM3:"
    else
        echo "FAIL - parked printers: not run, the install rounds on the pty ports did not put a printer on COM3:"
    fi
fi
