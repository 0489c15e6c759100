# service_rounds.sh: sourced by run_wine_suite.sh. The print spooler disabled in the prefix
# (start type 4): the service manager refuses the start with 1058, and the program says so
# at once, at start-up and at Install, installs nothing and leaves Install usable; then
# Escape in the parallel port dialog and Install again, which asks for a parallel port again.
# Uses the suite's ui, value, check, say, screenshot, end_program, unpacked_items,
# choose_parallel_row and parallel_dialog; restores the spooler's start type.

spooler_key='HKLM\System\CurrentControlSet\Services\Spooler'

spooler_start_type() {
    "$loader" reg query "$spooler_key" /v Start 2>/dev/null | tr -d '\r' | awk '$1 == "Start" { print $3 }'
}

# refusal_box <what>: answers the program's box about the spooler and checks its text.
refusal_box() {
    local box
    box=$(ui answer "$program" 1 60000)
    printf '== %s: %s\n%s\n' "$name" "$1" "$box" >>"$artifacts/uidriver.log"
    check "$name: $1 says the spooler could not be started, with the system's reason and error 1058" "1" \
        "$(grep -c '^message-box-text = The service Spooler could not be started\.\\r\\n\\r\\n.* (error 1058)$' <<<"$box")"
}

run_disabled_spooler() {
    local name="multisetup with the spooler disabled" start_type began after again
    program=multisetup
    caption=$(caption_of multisetup)
    start_type=$(spooler_start_type)
    "$loader" reg add "$spooler_key" /v Start /t REG_DWORD /d 4 /f >/dev/null 2>&1
    "$wineserver_bin" -k 2>/dev/null  # a new session, in which the spooler does not run
    say "note - $name: the spooler's start type was ${start_type:-absent}, now $(spooler_start_type)"

    (cd "$drive_c/suite/with" && exec "$loader" multisetup.exe >/dev/null 2>&1) &
    program_pid=$!
    began=$(date +%s)
    refusal_box "start-up"
    say "figure - $name: the start-up box came $(($(date +%s) - began)) s after the program started"
    after=$(ui wait-enabled 1012 60000 text 1011)
    check "$name: preparation goes on and enables Install" "1" "$(value enabled 1012 "$after")"

    # Parallel: the port is chosen first, then the spooler is asked for before registering.
    choose_parallel_row
    ui --dialog "$parallel_dialog" wait-dialog 30000 click 1037 wait-gone 10000 >/dev/null
    refusal_box "Install"
    after=$(ui wait-enabled 1012 30000 text 1011 text 1012 listview 1004)
    check "$name: Install stops, says why in the status line and is usable again, parallel row kept" \
        "The installation is stopped: the print spooler is not running.|&Install|1|2" \
        "$(value text 1011 "$after")|$(value text 1012 "$after")|$(value enabled 1012 "$after")|$(value listview-selected 1004 "$after")"
    screenshot "multisetup-spooler-disabled"

    # Escape in the parallel dialog, then Install again: still a parallel printer.
    ui click 1012 --dialog "$parallel_dialog" wait-dialog 30000 key 1004 escape wait-gone 10000 >/dev/null
    again=$(ui wait-enabled 1012 10000 listview 1004 click 1012 --dialog "$parallel_dialog" wait-dialog 30000 \
        click 1039 wait-gone 10000)
    printf '== %s: Escape, then Install again\n%s\n' "$name" "$again" >>"$artifacts/uidriver.log"
    check "$name: after Escape in the parallel dialog the parallel row stays and Install asks for a parallel port again" \
        "2 1" "$(value listview-selected 1004 "$again") $(grep -c '^dialog found' <<<"$again")"

    end_program "$name" close
    check "$name: unpacked files removed" "" "$(unpacked_items)"
    if [ -n "$start_type" ]; then
        "$loader" reg add "$spooler_key" /v Start /t REG_DWORD /d $((start_type)) /f >/dev/null 2>&1
    else
        "$loader" reg delete "$spooler_key" /v Start /f >/dev/null 2>&1
    fi
    "$wineserver_bin" -k 2>/dev/null
    check "$name: the spooler's start type is restored" "$start_type" "$(spooler_start_type)"
}
