# rerun_rounds.sh: a deployment tool's second and later runs under Wine - the same command
# again changes nothing, a package with another driver DLL upgrades the driver and keeps the
# printer - with the programs the installation rounds use (install_target says which driver
# they install). Sourced by
# run_wine_suite.sh (check, say, wine_reg, printers_key, windows_key, drivers_key and the
# prefix variables) after unattended_rounds.sh (quiet_launch, quiet_log, log_has,
# check_quiet_run, exit_code_in).

record_key='HKLM\SOFTWARE\Thermal Printer Setup\Printers'

# The printer's own values as the spooler keeps them, one "name type data" line each, sorted.
printer_values() {
    "$loader" reg query "$printers_key\\$1" 2>/dev/null | tr -d '\r' | sed -n 's/^ \{4\}//p' | sort
}

# Milliseconds since the epoch.
now_ms() { echo $(($(date +%s%N) / 1000000)); }

# rerun_package <folder>: C:\suite\<folder> with the programs and a package whose universal
# driver DLL of the installed bitness has bytes appended (it still loads): another driver DLL.
rerun_package() {
    local tree="$work/rerun-tree" folder="$drive_c/suite/$1"
    rm -rf "$tree" && mkdir -p "$tree" "$folder"
    7zz x -y -o"$tree" "$package" >/dev/null
    printf 'a later build of the driver' >>"$tree/Ticket/$inst_src/uniDRV.DLL"
    (cd "$tree" && 7zz a -t7z "$folder/DriverData.Drv" . >/dev/null)
    cp "$programs_dir/multisetup.exe" "$archiver_dll" "$folder/"
}

run_rerun_rounds() {
    local name out before after started ms empty_ms identity
    cp "$tools_dir/launch.exe" "$tools_dir/empty_program.exe" "$drive_c/suite/"
    mkdir -p "$drive_c/suite/logs"
    keep_one_parallel_port
    local -a command=(/quiet "/printer:Series R01" /port:parallel /portname:LPT1:)

    name="rerun: the first install"
    out=$(quiet_launch with multisetup "${command[@]}" '/log:C:\suite\logs\first.log')
    check_quiet_run "$name" first 0 "$out"
    check "$name: the record names the program" multisetup "$(wine_reg "$record_key\\Series R01" Program)"
    check "$name: the record names the driver" "Series R01" "$(wine_reg "$record_key\\Series R01" Driver)"
    check "$name: the record names the environment" "$inst_env" "$(wine_reg "$record_key\\Series R01" Environment)"
    check "$name: the record names the port" "LPT1:" "$(wine_reg "$record_key\\Series R01" Port)"
    identity=$(wine_reg "$record_key\\Series R01" PackageIdentity)
    check "$name: the record holds an identity" 1 "$(grep -c -E '^[0-9a-f]{16}$' <<<"$identity")"

    # The server is running from the install: both runs below start on it.
    name="rerun: the same command again"
    before=$(printer_values "Series R01")
    started=$(now_ms)
    out=$(quiet_launch with multisetup "${command[@]}" '/log:C:\suite\logs\again.log')
    ms=$(($(now_ms) - started))
    check_quiet_run "$name" again 0 "$out"
    log_has "$name: the log says it was there" again "Exit code 0: already installed, nothing was changed"
    check "$name: the log says why" 1 "$(quiet_log again | grep -c "^Already installed: the printer Series R01 has the driver Series R01 of the package's identity $identity, its port LPT1: is the port named")"
    check "$name: the printer's values unchanged" "$before" "$(printer_values "Series R01")"
    check "$name: Install was never pressed" 0 "$(quiet_log again | grep -c '^Install pressed')"
    started=$(now_ms)
    (cd "$drive_c/suite" && timeout 60 "$loader" "$drive_c/suite/launch.exe" empty_program.exe >/dev/null 2>&1)
    empty_ms=$(($(now_ms) - started))
    say "     figure: re-run ${ms} ms, an empty program started the same way ${empty_ms} ms (the goal: at most 500 ms more)"

    name="rerun: a package with another driver DLL"
    rerun_package upgrade
    "$loader" reg add "$printers_key\\Series R01" /v Description /d "by the door" /f >/dev/null 2>&1
    before=$(printer_values "Series R01")
    out=$(quiet_launch upgrade multisetup "${command[@]}" '/log:C:\suite\logs\upgrade.log')
    check_quiet_run "$name" upgrade 0 "$out"
    check "$name: the printer's values kept" "$before" "$(printer_values "Series R01")"
    check "$name: no printer deleted or added" 0 "$(quiet_log upgrade | grep -c '^Status: Added the printer')"
    after=$(wine_reg "$record_key\\Series R01" PackageIdentity)
    check "$name: the record has the new identity" 1 "$([ -n "$after" ] && [ "$after" != "$identity" ] && echo 1)"
    check "$name: the log names both identities" 1 "$(quiet_log upgrade | grep -c "^Upgrading, the printer is kept: .* Identity $identity -> $after\.$")"
    local installed
    installed=$(find "$drive_c/windows/system32/spool/drivers/$inst_driver_dir" -iname uniDRV.DLL | head -n 1)
    check "$name: the spooler has the new driver DLL" "the new one" \
        "$(tail -c 27 "$installed" 2>/dev/null | grep -q 'a later build of the driver' && echo "the new one")"
}
