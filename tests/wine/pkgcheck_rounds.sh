# Package checker rounds of the Wine suite, sourced by run_wine_suite.sh (which defines check,
# say, the loader, programs_dir, drive_c, package, have_package, work and root).
#
# The Windows console build of pkgcheck checks the sample package and a broken one made from
# its tree; its exit code and output (lines ended CRLF by the console convention, compared
# without the CR) must be those of the native build run on the same files.

run_pkgcheck_rounds() {
    local native=${PKGCHECK_NATIVE:-$root/build/native/pkgcheck/pkgcheck}
    local exe="$programs_dir/pkgcheck.exe"
    if [ ! -f "$exe" ] || [ ! -x "$native" ] || [ "$have_package" -ne 1 ]; then
        say "SKIP: the package checker rounds need $exe, $native and the sample package."
        return
    fi
    local folder="$drive_c/suite/pkgcheck" tree="$work/pkgcheck-tree"
    mkdir -p "$folder"
    cp "$exe" "$package" "$folder/"
    # The broken package: a 64-bit DLL in an x86 folder and a GPD file missing.
    rm -rf "$tree"
    mkdir -p "$tree"
    7zz x -o"$tree" "$package" >/dev/null
    cp "$tree/Ticket/x64/RCPT01.DLL" "$tree/Ticket/x86/RCPT01.DLL"
    rm "$tree/Ticket/x64/TKR58B.GPD"
    (cd "$tree" && 7zz a -t7z "$folder/Broken.Drv" . >/dev/null)
    rm -rf "$tree"

    local name expected options native_out native_status wine_out wine_status
    for name in DriverData.Drv Broken.Drv; do
        expected=0
        [ "$name" == Broken.Drv ] && expected=1
        for options in "" "--program solosetup" "--json"; do
            native_out=$(cd "$folder" && "$native" $options "$name")
            native_status=$?
            wine_out=$(cd "$folder" && timeout 120 "$loader" pkgcheck.exe $options "$name" 2>/dev/null)
            wine_status=$?
            wine_out=$(tr -d '\r' <<<"$wine_out")
            check "pkgcheck.exe $options $name: exit code" "$expected $expected" "$native_status $wine_status"
            check "pkgcheck.exe $options $name: output as natively" "$native_out" "$wine_out"
        done
    done
    local summary
    summary=$(cd "$folder" && timeout 120 "$loader" pkgcheck.exe --json Broken.Drv 2>/dev/null |
        python3 -c 'import json,sys; d=json.load(sys.stdin); print(d["exit_code"], d["errors"], sorted(f["check"] for f in d["findings"] if f["severity"] == "error"))')
    check "pkgcheck.exe --json Broken.Drv: parses, two errors" "1 2 ['files', 'machine']" "$summary"
    rm -rf "$folder"
}
