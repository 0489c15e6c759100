# removal_rounds.sh: /uninstall under Wine. Sourced by run_wine_suite.sh after
# unattended_rounds.sh (check, quiet_detached, check_detached_end, quiet_launch,
# check_quiet_run, log_has, quiet_log, exit_code_in, wine_reg, printers_key, drivers_key and the
# prefix variables).

# ---- runs that need no installed printer: any prefix, either bitness ------------------------

# C:\suite\removal holds only the programs: no DriverData.Drv and no 7-zip32.dll beside them.
stage_removal_folder() {
    cp "$tools_dir/launch.exe" "$drive_c/suite/"
    mkdir -p "$drive_c/suite/logs" "$drive_c/suite/removal"
    cp "$programs_dir/multisetup.exe" "$programs_dir/solosetup.exe" "$drive_c/suite/removal/"
}

run_removal_rounds_without_printer() {
    local name out program
    stage_removal_folder

    for program in multisetup solosetup; do
        name="$program /uninstall with nothing installed, no package beside it"
        out=$(quiet_detached removal "$program" /uninstall /quiet "/printer:Series R01" \
            "/log:C:\\suite\\logs\\removal-none-$program.log")
        check_detached_end "$name" 0 "$out"
        log_has "$name: the log says there was nothing to remove" "removal-none-$program" \
            "Nothing to remove: there is no printer Series R01 and no installation record of it."
        log_has "$name: the log ends with its exit code" "removal-none-$program" "Exit code 0: nothing to remove"
        check "$name: no call failed" "0" "$(quiet_log "removal-none-$program" | grep -c '^Failed:')"
    done

    local run="/printer:Series R01"
    local -a cases=(
        "noprinter|multisetup|Command line refused: /uninstall needs /printer: the printer's name as it was created.|/uninstall|/quiet"
        "port|multisetup|Command line refused: /uninstall takes no /port: it removes the printer /printer names.|/uninstall|/quiet|$run|/port:parallel"
        "name|solosetup|Command line refused: /uninstall takes no /name: it removes the printer /printer names.|/uninstall|/quiet|$run|/name:Front till"
    )
    local entry label line args
    for entry in "${cases[@]}"; do
        IFS='|' read -r label program line args <<<"$entry"
        IFS='|' read -r -a args <<<"$args"
        name="detached $program /uninstall with a bad command line ($label)"
        out=$(quiet_detached removal "$program" "/log:C:\\suite\\logs\\removal-bad-$label.log" "${args[@]}")
        check_detached_end "$name" 87 "$out"
        log_has "$name: the log says why" "removal-bad-$label" "$line"
    done

    name="the usage text names /uninstall and /force"
    out=$(quiet_launch removal multisetup "/?")
    check "$name: the removal's form" "1" "$(grep -c '^       multisetup /uninstall /printer:NAME \[/quiet\] \[/log:PATH\]$' <<<"$out")"
    check "$name: the /force line" "1" "$(grep -c "^/force     With /quiet: install again also when the printer is there with this package's$" <<<"$out")"
}

# ---- runs that remove printers the programs installed (install_target says which driver) ----

# On a fresh prefix with the package staged.
run_removal_rounds_installed() {
    local name out env="$inst_env"
    stage_removal_folder
    keep_one_parallel_port
    # Two printers on one driver: multisetup's and solosetup's receipt printer under a name of its own.
    out=$(quiet_launch with multisetup /quiet "/printer:Series R01" /port:parallel '/log:C:\suite\logs\rm-install1.log')
    check_quiet_run "removal: the first printer installed" rm-install1 0 "$out"
    out=$(quiet_launch with solosetup /quiet "/printer:Series R01" /port:parallel "/name:Back till" \
        '/log:C:\suite\logs\rm-install2.log')
    check_quiet_run "removal: the second printer on the same driver installed" rm-install2 0 "$out"

    name="removal of a printer whose driver another printer uses"
    out=$(quiet_launch removal multisetup /uninstall /quiet "/printer:Series R01" '/log:C:\suite\logs\rm-first.log')
    check_quiet_run "$name" rm-first 0 "$out"
    check "$name: the printer is gone" "" "$(wine_reg "$printers_key\\Series R01" Port)"
    check "$name: the other printer stays" "LPT1:" "$(wine_reg "$printers_key\\Back till" Port)"
    check "$name: the driver stays" "1" "$("$loader" reg query "$(drivers_key "$env" "Series R01")" >/dev/null 2>&1 && echo 1)"
    log_has "$name: the log says why the driver stays" rm-first \
        "Kept: the driver Series R01 ($env), as the printer Back till uses it"

    name="removal again"
    out=$(quiet_launch removal multisetup /uninstall /quiet "/printer:Series R01" '/log:C:\suite\logs\rm-again.log')
    check_quiet_run "$name" rm-again 0 "$out"
    log_has "$name: the log says there was nothing to remove" rm-again \
        "Nothing to remove: there is no printer Series R01 and no installation record of it."

    # Wine's DeletePrinterDriverExW refuses DPD_DELETE_UNUSED_FILES with 87 (the seam check's
    # known gap): the last printer goes, its driver stays and the run says so. On Windows the
    # driver goes too (the native tests).
    name="removal of the last printer on the driver"
    out=$(quiet_launch removal solosetup /uninstall /quiet "/printer:Back till" '/log:C:\suite\logs\rm-last.log')
    check_quiet_run "$name" rm-last 1603 "$out"
    check "$name: the printer is gone" "" "$(wine_reg "$printers_key\\Back till" Port)"
    check "$name: the driver stays, as Wine refuses the delete flag" "1" \
        "$("$loader" reg query "$(drivers_key "$env" "Series R01")" >/dev/null 2>&1 && echo 1)"
    check "$name: the log names the refused call" "1" \
        "$(quiet_log rm-last | grep -c "^The removal stopped: DeletePrinterDriverEx(Series R01, $env) failed: .*(error 87)\.$")"
    check "$name: the log says what is left" "1" "$(quiet_log rm-last | grep -c "^Left: the driver Series R01 ($env)")"
}
