# package_safety.sh: sourced by run_wine_suite.sh. The driver package as an attacker or a
# careless user hands it over: entries outside the package's places, a damaged archive,
# long, unspellable and read-only entries, files of the user's in the way or in the
# package's folders, an archiver DLL planted in the current folder, two installers at once,
# a folder the ANSI code page cannot spell. Every run compares the whole of C:\ before and
# after: nothing outside the three places changes, nothing of the user's goes, nothing of
# the package stays.
#
# Uses the suite's drive_c, programs_dir, tools_dir, archiver_dll, package, loader, work and
# its helpers check, value, ui, caption_of, start_program, end_program, wait_exit.

# The whole of C:\: folders, and files with size, permissions and time; the suite's own
# folder left out.
drive_snapshot() {
    (cd "$drive_c" && find . -path ./suite -prune -o -type d -printf '%p/\n' -o -printf '%p %s %m %T@\n') | LC_ALL=C sort
}

check_drive_unchanged() {  # check_drive_unchanged <name> <snapshot before>
    check "$1: C:\\ is as it was before" "" "$(diff <(echo "$2") <(drive_snapshot))"
}

# stage_package <folder> <tree>: C:\suite\<folder> with both programs, the archiver and the
# tree packed as DriverData.Drv.
stage_package() {
    local folder="$drive_c/suite/$1"
    mkdir -p "$folder"
    cp "$programs_dir/multisetup.exe" "$programs_dir/solosetup.exe" "$archiver_dll" "$folder/"
    rm -f "$folder/DriverData.Drv"
    (cd "$2" && 7zz a -t7z "$folder/DriverData.Drv" . >/dev/null)
}

# sample_tree <name>: a fresh copy of the sample package's tree in $work/<name>.
sample_tree() {
    rm -rf "${work:?}/$1"
    mkdir -p "$work/$1"
    7zz x -y -o"$work/$1" "$package" >/dev/null
    echo "$work/$1"
}

# launch <program> <folder> [<program path>]: starts a program with C:\suite\<folder> as its
# current folder, in the background. Sets caption and program_pid.
launch() {
    caption=$(caption_of "$1")
    (cd "$drive_c/suite/$2" && exec "$loader" "${3:-$1.exe}" >/dev/null 2>&1) &
    program_pid=$!
}

# check_holds <check name> <expected part> <text>: the text holds that part.
check_holds() {
    check "$1" "$2" "$(grep -o -F -- "$2" <<<"$3" | head -n 1)"
}

# check_install_refused <name> <what Install must say>: once preparation is over the driver
# list is empty, and Install says why.
check_install_refused() {
    local shown box
    shown=$(ui wait-dialog 60000 wait-enabled 1012 60000 combo 1000)
    check "$1: the driver list stays empty" "0" "$(value combo-count 1000 "$shown")"
    ui click 1012 >/dev/null
    box=$(ui answer Error 1 20000)
    check_holds "$1: Install says why" "$2" "$box"
}

# told <caption> <screenshot>: waits for the program's message box, keeps a screenshot of it,
# answers OK and prints the box's text.
told() {
    ui wait-box "$1" 60000 >/dev/null
    screenshot "$2"
    ui answer "$1" 1 5000
}

# run_refused <name> <folder> <text the message must hold>: the package is refused during
# preparation with that message; the list stays empty, Install says why, and Cancel leaves
# C:\ as it was.
run_refused() {
    local name=$1 folder=$2 expected=$3 before
    before=$(drive_snapshot)
    launch multisetup "$folder"
    check_holds "$name: the user is told" "$expected" "$(told multisetup "refused-${name//[^A-Za-z0-9]/-}")"
    check_install_refused "$name" "$expected"
    end_program "$name" cancel
    check_drive_unchanged "$name" "$before"
}

# Entries outside the three places, and packages that make the list a folder or a driver
# folder a file: refused before anything is written.
run_outside_entries() {
    local tree
    tree=$(sample_tree outside)
    mkdir -p "$tree/windows" "$tree/users/Public/Desktop"
    echo "[fonts]" >"$tree/windows/win.ini"
    echo "evil" >"$tree/evil.txt"
    echo "@echo evil" >"$tree/users/Public/Desktop/x.bat"
    stage_package outside "$tree"
    run_refused "package with entries outside its places" outside "which lies outside the places"

    tree=$(sample_tree cfg-folder)
    rm "$tree/DriverName.cfg"
    mkdir "$tree/DriverName.cfg" && echo x >"$tree/DriverName.cfg/inner.txt"
    stage_package cfg-folder "$tree"
    run_refused "package whose DriverName.cfg is a folder" cfg-folder "it holds \"DriverName.cfg\\"

    tree=$(sample_tree ticket-file)
    rm -r "$tree/Ticket"
    echo "not a folder" >"$tree/Ticket"
    stage_package ticket-file "$tree"
    run_refused "package whose Ticket is a file" ticket-file "it holds \"Ticket\", which lies outside"
}

# A C:\DriverName.cfg folder or a C:\Ticket file of the user's: left alone and named.
run_things_in_the_way() {
    mkdir -p "$drive_c/DriverName.cfg" && echo mine >"$drive_c/DriverName.cfg/notes.txt"
    run_refused "a folder C:\\DriverName.cfg of the user's" with "C:\\DriverName.cfg is a folder, where the package needs a file"
    rm -r "$drive_c/DriverName.cfg"
    echo mine >"$drive_c/Ticket"
    run_refused "a file C:\\Ticket of the user's" with "C:\\Ticket is a file, where the package needs a folder"
    rm "$drive_c/Ticket"
}

# One byte of the packed data flipped: the archiver fails partway; the user is told, what was
# written goes at once, and the list stays empty.
run_damaged_package() {
    local name="damaged package" size folder="$drive_c/suite/damaged" before box
    mkdir -p "$folder"
    cp "$programs_dir/multisetup.exe" "$archiver_dll" "$folder/"
    cp "$package" "$folder/DriverData.Drv"
    size=$(stat -c %s "$folder/DriverData.Drv")
    # Packed data starts after the 32-byte signature header; the catalogue is at the end.
    printf '\x5a' | dd of="$folder/DriverData.Drv" bs=1 seek=$((32 + (size - 32) / 2)) conv=notrunc 2>/dev/null
    before=$(drive_snapshot)
    launch multisetup damaged
    box=$(told multisetup package-damaged)
    check_holds "$name: the user is told it is damaged" "The driver package DriverData.Drv is damaged" "$box"
    check_holds "$name: with the archiver's reason" "The archiver said: Error: " "$box"
    check_drive_unchanged "$name, before the dialog ends" "$before"
    check_install_refused "$name" "No printer is chosen.\\r\\n\\r\\nThe driver package DriverData.Drv is damaged"
    end_program "$name" cancel
    check_drive_unchanged "$name" "$before"
}

# Files of the user's in the package's folders survive Cancel and the close box, and so do
# the folders that hold them.
run_user_files_survive() {
    local name before how shown
    for how in cancel close; do
        name="user's files in C:\\Ticket and C:\\Barcode, $how"
        mkdir -p "$drive_c/Ticket/x86" "$drive_c/Barcode/Photos"
        echo mine >"$drive_c/Ticket/keep.txt"
        echo notes >"$drive_c/Ticket/x86/notes.txt"
        echo photo >"$drive_c/Barcode/Photos/img.jpg"
        before=$(drive_snapshot)
        start_program multisetup with
        check "$name: the driver list is filled" "1" "$([ "$(value combo-count 1000 "$shown")" -gt 0 ] && echo 1)"
        end_program "$name" "$how"
        check_drive_unchanged "$name" "$before"
        rm -rf "$drive_c/Ticket" "$drive_c/Barcode"
    done
}

# Entries past MAX_PATH, names the ANSI code page cannot spell, and read-only entries are
# all removed.
run_awkward_entries() {
    local name="long, unspellable and read-only entries" tree deep before
    tree=$(sample_tree awkward)
    deep="Ticket"
    for i in 1 2 3 4 5 6 7 8 9 10 11 12; do deep="$deep/a-folder-with-a-rather-long-name-$i"; done
    mkdir -p "$tree/$deep" && echo deep >"$tree/$deep/driver.gpd"
    echo help >"$tree/Barcode/Common/Справка.chm"
    echo locked >"$tree/Barcode/Common/locked.dat" && chmod 444 "$tree/Barcode/Common/locked.dat"
    stage_package awkward "$tree"
    before=$(drive_snapshot)
    start_program multisetup awkward
    check "$name: the deep entry was unpacked" "1" "$(find "$drive_c/$deep" -name driver.gpd | wc -l)"
    check "$name: the unspellable entry was unpacked" "1" "$(find "$drive_c/Barcode/Common" -name 'Справка.chm' | wc -l)"
    check "$name: the read-only entry is read-only" "444" "$(stat -c %a "$drive_c/Barcode/Common/locked.dat" 2>/dev/null)"
    end_program "$name" cancel
    check_drive_unchanged "$name" "$before"
}

# A 7-zip32.dll in the current folder and none beside the program: it is never loaded.
run_planted_dll() {
    local name="archiver DLL only in the current folder" before
    mkdir -p "$drive_c/suite/nodll" "$drive_c/suite/plant"
    cp "$programs_dir/multisetup.exe" "$drive_c/suite/nodll/"
    cp "$package" "$drive_c/suite/plant/"
    cp "$tools_dir/planted_dll.dll" "$drive_c/suite/plant/7-zip32.dll"
    rm -f "$drive_c/suite/planted-dll-ran.txt"
    before=$(drive_snapshot)
    launch multisetup plant 'C:\suite\nodll\multisetup.exe'
    check_install_refused "$name" "7-zip32.dll beside the program"
    end_program "$name" cancel
    check "$name: the planted DLL never ran" "absent" \
        "$([ -e "$drive_c/suite/planted-dll-ran.txt" ] && echo present || echo absent)"
    check_drive_unchanged "$name" "$before"
}

# check_second_refused <name> <program> <folder> <screenshot>: while a multisetup runs, a
# second start says that the installer is running and ends. The first is the current
# program again afterwards.
check_second_refused() {
    local first_pid=$program_pid
    launch "$2" "$3"
    check_holds "$1: the second says the installer is running" "The driver installer is already running." \
        "$(told "$2" "$4")"
    if wait_exit 20; then check "$1: the second ends" "ended" "ended"; else
        check "$1: the second ends" "ended" "still running"
        kill "$program_pid" 2>/dev/null
    fi
    program_pid=$first_pid
    caption=$(caption_of multisetup)
}

# A second installer, of either program, says so and ends; the first keeps its files.
run_two_installers() {
    local name="two installers" before first_count
    before=$(drive_snapshot)
    start_program multisetup with
    first_count=$(value combo-count 1000 "$shown")
    check_second_refused "$name" solosetup with installer-already-running
    shown=$(ui combo 1000)
    check "$name: the first still lists its drivers" "$first_count" "$(value combo-count 1000 "$shown")"
    check "$name: the first's files are in place" "1" "$(find "$drive_c" -maxdepth 1 -iname DriverName.cfg | wc -l)"
    end_program "$name" close
    check_drive_unchanged "$name" "$before"
}

# A second start while the first still unpacks (the suite's slow package): the first unpacks
# to its end undisturbed.
run_second_start_while_unpacking() {
    local name="second start while the first unpacks" before preparing shown
    before=$(drive_snapshot)
    launch multisetup slow
    preparing=$(value enabled 1012 "$(ui wait-dialog 60000 enabled 1012)")
    [ "$preparing" == "0" ] && say "note - second start during the unpacking" || say "note - the unpacking had ended"
    check_second_refused "$name" multisetup slow installer-already-running-while-unpacking
    shown=$(ui wait-enabled 1012 120000 combo 1000)
    check "$name: the first lists its drivers" "1" "$([ "$(value combo-count 1000 "$shown")" -gt 0 ] && echo 1)"
    check "$name: the first unpacked everything" "1" "$(find "$drive_c/Ticket/x86" -name slow-to-unpack.txt | wc -l)"
    end_program "$name" cancel
    check_drive_unchanged "$name" "$before"
}

# A folder whose name the ANSI code page cannot spell.
run_unspellable_folder() {
    local name="package in a Cyrillic folder" before
    mkdir -p "$drive_c/suite/Пакет"
    cp "$programs_dir/multisetup.exe" "$archiver_dll" "$package" "$drive_c/suite/Пакет/"
    before=$(drive_snapshot)
    start_program multisetup "Пакет"
    check "$name: the driver list is filled" "1" "$([ "$(value combo-count 1000 "$shown")" -gt 0 ] && echo 1)"
    end_program "$name" cancel
    check_drive_unchanged "$name" "$before"
}

# The archiver never writes into a temporary name that is taken. Its temporary names carry
# the process id, and a killed run's file stays where a later process with that id would
# write: a file of the exact pattern is planted for every process id below 65536 at the name
# the first file of a run gets. The DLL, loaded by the driver program, unpacks all the same
# and leaves every planted file as it was.
run_planted_temporary_names() {
    local name="the archiver with a temporary name taken for every process id" tree folder out process planted
    local driver
    driver="$(dirname "$tools_dir")/archiver/sevenzip_dll_driver.exe"
    if [ ! -f "$driver" ]; then
        check "$name: $driver is built" "built" "missing"
        return
    fi
    folder="$drive_c/suite/planted"
    tree="$work/planted-tree"
    rm -rf "$folder" "$tree"
    mkdir -p "$folder/out/Ticket/x86" "$tree/Ticket/x86"
    printf 'the GPD file' >"$tree/Ticket/x86/TKP80R.GPD"
    (cd "$tree" && 7zz a -t7z "$folder/one.7z" . >/dev/null)
    cp "$driver" "$archiver_dll" "$folder/"
    for ((process = 0; process < 65536; process += 4)); do
        : >"$folder/out/Ticket/x86/TKP80R.GPD.7ztmp${process}_0"
    done
    printf 'x -y "C:\\suite\\planted\\one.7z" -o"C:\\suite\\planted\\out" -hide' >"$folder/command.txt"
    out=$(cd "$folder" && timeout 120 "$loader" sevenzip_dll_driver.exe 7-zip32.dll @command.txt 2>/dev/null | tr -d '\r')
    process=$(sed -n 's/^process=//p' <<<"$out")
    check "$name: its process id was one of those planted" "yes" \
        "$([ -n "$process" ] && [ "$process" -lt 65536 ] && [ $((process % 4)) -eq 0 ] && echo yes || echo "no: [$process]")"
    check "$name: it unpacks" "result=0" "$(grep -o '^result=[0-9]*' <<<"$out")"
    check "$name: the file is whole" "the GPD file" "$(cat "$folder/out/Ticket/x86/TKP80R.GPD" 2>/dev/null)"
    planted=$(find "$folder/out/Ticket/x86" -name 'TKP80R.GPD.7ztmp*_0' -size 0 | wc -l)
    check "$name: every planted file is there and empty" "16384" "$planted"
    check "$name: nothing else written" "16385" "$(find "$folder/out" -type f | wc -l)"
    rm -rf "$folder" "$tree"
}

run_package_safety() {
    say "== the driver package handled safely"
    run_outside_entries
    run_things_in_the_way
    run_damaged_package
    run_user_files_survive
    run_awkward_entries
    run_planted_dll
    run_two_installers
    run_second_start_while_unpacking
    run_unspellable_folder
    run_planted_temporary_names
}
