// pkgcheck run as a maker runs it: on the sample package, and on packages with one fault
// each, packed with 7zz from a copy of the sample package's tree.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tools/sample_package/sample_package.h"

namespace {

namespace fs = std::filesystem;

struct Outcome {
    int exitCode = -1;
    std::string out;
};

Outcome runShell(const std::string& command) {
    Outcome run;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.out.append(buffer, n);
    int status = ::pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::string quoted(const fs::path& path) {
    std::string out = "'";
    for (char c : path.string()) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeAll(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

// The lines of one severity.
std::vector<std::string> linesOf(const std::string& out, const std::string& severity) {
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);)
        if (line.rfind(severity + " [", 0) == 0) lines.push_back(line);
    return lines;
}

std::vector<std::string> errorsAndWarnings(const std::string& out) {
    std::vector<std::string> lines = linesOf(out, "error");
    for (std::string& line : linesOf(out, "warning")) lines.push_back(line);
    return lines;
}

std::string lastLine(const std::string& out) {
    std::size_t end = out.find_last_not_of('\n');
    std::size_t start = out.rfind('\n', end);
    return out.substr(start == std::string::npos ? 0 : start + 1, end - (start == std::string::npos ? 0 : start + 1) + 1);
}

class PackageCheck : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!*PKGCHECK_7ZZ || !fs::exists(PKGCHECK_SAMPLE32) || !fs::exists(PKGCHECK_SAMPLE64)) return;
        root_ = fs::temp_directory_path() / ("pkgcheck-test-" + std::to_string(::getpid()));
        fs::create_directories(root_);
        setup::sample::writeSamplePackage(root_ / "sample", PKGCHECK_SAMPLE32, PKGCHECK_SAMPLE64);
    }
    static void TearDownTestSuite() {
        std::error_code ignored;
        if (!root_.empty()) fs::remove_all(root_, ignored);
    }

    void SetUp() override {
        if (root_.empty()) GTEST_SKIP() << "needs 7zz and the mingw-w64 compilers";
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        work_ = root_ / name;
        fs::remove_all(work_);
        fs::create_directories(work_);
        fs::copy(root_ / "sample", tree(), fs::copy_options::recursive);
    }

    fs::path tree() const { return work_ / "tree"; }
    fs::path in(const std::string& relative) const { return tree() / relative; }

    // Packs the tree as a maker would: 7zz a from inside its folder.
    fs::path pack(const std::string& switches = "") {
        fs::path package = work_ / "DriverData.Drv";
        fs::remove(package);
        Outcome packed = runShell("cd " + quoted(tree()) + " && " + PKGCHECK_7ZZ + " a -t7z " + switches + " " +
                              quoted(package) + " . >/dev/null 2>&1");
        EXPECT_EQ(packed.exitCode, 0);
        return package;
    }

    Outcome check(const fs::path& package, const std::string& options = "") {
        return runShell(std::string(PKGCHECK_PROGRAM) + " " + options + " " + quoted(package));
    }

    void editList(const std::function<std::string(std::string)>& edit) {
        writeAll(in("DriverName.cfg"), edit(readAll(in("DriverName.cfg"))));
    }

    // One fault: exactly these errors and warnings (in any order: 7zz orders the entries by
    // kind), and this exit code.
    void expectFindings(const Outcome& run, int exitCode, std::vector<std::string> lines) {
        EXPECT_EQ(run.exitCode, exitCode) << run.out;
        std::vector<std::string> found = errorsAndWarnings(run.out);
        std::sort(found.begin(), found.end());
        std::sort(lines.begin(), lines.end());
        EXPECT_EQ(found, lines) << run.out;
    }

    static inline fs::path root_;
    fs::path work_;
};

// ---- the sample package ----------------------------------------------------------------

TEST_F(PackageCheck, SamplePackageIsCleanForBothPrograms) {
    fs::path package = pack();
    Outcome multi = check(package);
    EXPECT_EQ(multi.exitCode, 0) << multi.out;
    EXPECT_EQ(errorsAndWarnings(multi.out), std::vector<std::string>{}) << multi.out;
    // What only the other program installs is unpacked for nothing.
    EXPECT_EQ(linesOf(multi.out, "note").size(), 10u) << multi.out;
    EXPECT_NE(multi.out.find("note [files] Ticket\\x86\\SOLO7.DLL: is needed by no printer DriverName.cfg offers"),
              std::string::npos);
    EXPECT_EQ(lastLine(multi.out), "0 errors, 0 warnings, 10 notes: the installer can use this package");

    Outcome solo = check(package, "--program solosetup");
    EXPECT_EQ(solo.exitCode, 0) << solo.out;
    EXPECT_EQ(errorsAndWarnings(solo.out), std::vector<std::string>{}) << solo.out;
    EXPECT_EQ(linesOf(solo.out, "note").size(), 8u) << solo.out;
    EXPECT_NE(solo.out.find("note [files] Ticket\\x64\\RCPT05.DLL:"), std::string::npos);
    EXPECT_NE(solo.out.find("175 files and 7 folders"), std::string::npos) << solo.out;
}

// ---- the archive -------------------------------------------------------------------------

TEST_F(PackageCheck, CodersTheDllDoesNotReadRefuseThePackage) {
    const std::string tail = " entries); the installer refuses the whole package and offers no printer.";
    expectFindings(check(pack("-m0=PPMd")), 1,
                   {"error [archive] Barcode\\Common\\THERMAL.chm: packed with PPMd, which 7-zip32.dll does not read (175" + tail});
    expectFindings(check(pack("-m0=BZip2")), 1,
                   {"error [archive] Barcode\\Common\\THERMAL.chm: packed with BZip2, which 7-zip32.dll does not read (175" + tail});
    expectFindings(check(pack("-psecret")), 1,
                   {"error [archive] Barcode\\Common\\THERMAL.chm: encrypted (7zAES encryption); 7-zip32.dll reads no "
                    "encrypted package (175" + tail});
}

TEST_F(PackageCheck, AnUnreadablePackageExitsWithTwo) {
    fs::path package = pack("-psecret -mhe=on");
    Outcome run = check(package);
    expectFindings(run, 2,
                   {"error [archive] " + package.string() + ": cannot be read: encrypted archives are not supported "
                    "(7zAES encryption); the installer unpacks nothing and offers no printer."});
    EXPECT_EQ(lastLine(run.out), "1 errors, 0 warnings, 0 notes: the package cannot be read");
    Outcome absent = check(work_ / "absent.Drv");
    EXPECT_EQ(absent.exitCode, 2);
    const std::string absentPath = (work_ / "absent.Drv").string();
    const std::string expected = "pkgcheck " + absentPath + " for multisetup\nerror [archive] " + absentPath +
                                 ": cannot be read: cannot open archive";
    EXPECT_EQ(absent.out.substr(0, expected.size()), expected);
}

TEST_F(PackageCheck, EveryDamagedBlockIsFoundNotOnlyTheFirst) {
    // Stored, one block per file: a changed byte of a file's data is a CRC error in that file.
    fs::path package = pack("-m0=Copy -ms=off");
    std::string bytes = readAll(package);
    for (const char* file : {"Barcode/Common/TKL40.DAT", "Barcode/Common/TKL80.PP0"}) {
        std::size_t at = bytes.find(readAll(in(file)));
        ASSERT_NE(at, std::string::npos) << file;
        bytes[at + 3] ^= 0x20;
    }
    writeAll(package, bytes);
    const std::string tail = "; the installer stops unpacking, removes what it wrote and offers no printer.";
    expectFindings(check(package), 1,
                   {"error [archive] Barcode\\Common\\TKL40.DAT: CRC error in \"Barcode/Common/TKL40.DAT\"" + tail,
                    "error [archive] Barcode\\Common\\TKL80.PP0: CRC error in \"Barcode/Common/TKL80.PP0\"" + tail});
}

// ---- the places ----------------------------------------------------------------------------

TEST_F(PackageCheck, EntriesOutsideThePlacesOrWithRefusedNames) {
    writeAll(in("readme.txt"), "notes\n");
    expectFindings(check(pack()), 1,
                   {"error [places] readme.txt: lies outside C:\\DriverName.cfg, C:\\Ticket\\ and C:\\Barcode\\; the "
                    "installer refuses the whole package and offers no printer."});
    fs::remove(in("readme.txt"));

    writeAll(in("Barcode/Common/aux.txt"), "device\n");
    expectFindings(check(pack()), 1,
                   {"error [places] Barcode/Common/aux.txt: refused entry \"Barcode/Common/aux.txt\": Windows device "
                    "name; the installer refuses the whole package and offers no printer."});
    fs::remove(in("Barcode/Common/aux.txt"));

    fs::create_symlink("RCPT01.DLL", in("Ticket/x86/RCPTLINK.DLL"));
    expectFindings(check(pack("-snl")), 1,
                   {"error [places] Ticket\\x86\\RCPTLINK.DLL: is stored as a link; the installer writes the link's "
                    "target as the text of an ordinary file."});
}

TEST_F(PackageCheck, ANameLongerThanWindowsTakes) {
    fs::path package = pack();
    // Linux keeps names of 255 bytes; 7zz takes a longer one for data from standard input.
    std::string name(128, 'n');
    for (int i = 0; i < 64; ++i) name += "\xC3\xA9";  // 192 characters in 256 bytes
    Outcome added = runShell("echo data | " + std::string(PKGCHECK_7ZZ) + " a " + quoted(package) + " -si" +
                         quoted(fs::path("Ticket/" + name)) + " >/dev/null 2>&1");
    ASSERT_EQ(added.exitCode, 0);
    expectFindings(check(package), 0, {});  // 192 characters: Windows takes it
    name += std::string(64, 'n');           // 256 characters
    runShell("echo data | " + std::string(PKGCHECK_7ZZ) + " a " + quoted(package) + " -si" + quoted(fs::path("Ticket/" + name)) +
             " >/dev/null 2>&1");
    expectFindings(check(package), 1,
                   {"error [places] Ticket\\" + name + ": a part of its name has 256 characters; Windows takes at "
                    "most 255; the installer fails to write it, removes what it wrote and offers no printer."});
}

// ---- DriverName.cfg --------------------------------------------------------------------------

TEST_F(PackageCheck, SectionsOutOfTheTablesOrder) {
    editList([](std::string list) {
        std::size_t r03 = list.find("[Series R03]"), r04 = list.find("[Series R04]"), r05 = list.find("[Series R05]");
        return list.substr(0, r03) + list.substr(r04, r05 - r04) + list.substr(r03, r04 - r03) + list.substr(r05);
    });
    expectFindings(check(pack()), 1,
                   {"error [DriverName.cfg] section 3 [Series R04]: stands at position 3, the place of \"Series R03\", "
                    "but offers the printers of \"Series R04\" (position 4); the installer installs the \"Series R03\" "
                    "driver for its printers.",
                    "error [DriverName.cfg] section 4 [Series R03]: stands at position 4, the place of \"Series R04\", "
                    "but offers the printers of \"Series R03\" (position 3); the installer installs the \"Series R04\" "
                    "driver for its printers."});
}

TEST_F(PackageCheck, PrinterNamesTheInstallerRefusesOrMayHaveCut) {
    editList([](std::string list) {
        list = replaced(list, "PrintName1=Series R07\r\n", "PrintName1=Series R07,Kiosk\r\n");
        return replaced(list, "PrintName1=Series R11\r\n", "PrintName1=Series R11 " + std::string(116, 'x') + "\r\n");
    });
    expectFindings(check(pack()), 1,
                   {"error [DriverName.cfg] section 7 [Series R07] PrintName1: the printer name \"Series R07,Kiosk\" "
                    "cannot be used: it holds a comma; the installer refuses to install it and says why.",
                    "warning [DriverName.cfg] section 11 [Series R11] PrintName1: the printer name \"Series R11 " +
                        std::string(116, 'x') + "\" has 127 bytes, the most the installer reads; the installer cuts a "
                        "longer name there: check that it is whole."});
}

TEST_F(PackageCheck, ANameInTwoSectionsIsAWarning) {
    // Twice in one section is no second section.
    editList([](std::string list) {
        return replaced(list, "PrintName1=Series R09\r\n", "PrintName1=Series R08\r\nPrintName2=Series R08\r\n");
    });
    expectFindings(check(pack()), 0,
                   {"warning [DriverName.cfg] \"Series R08\": is offered in sections 8 and 9; the installer installs "
                    "the driver of the last of them, \"Series R09\"."});
}

TEST_F(PackageCheck, NamesTheInstallerNeverReads) {
    editList([](std::string list) {
        // R01 has PrintName1 and 2: a 4th behind the missing 3rd. R02 gets keys 2 to 52.
        list = replaced(list, "PrintName2=Series R01 Kiosk\r\n", "PrintName2=Series R01 Kiosk\r\nPrintName4=Series R01 Wall\r\n");
        std::string many;
        for (int k = 2; k <= 52; ++k) many += "PrintName" + std::to_string(k) + "=R02 no " + std::to_string(k) + "\r\n";
        return replaced(list, "PrintName1=Series R02\r\n", "PrintName1=Series R02\r\n" + many);
    });
    const std::string tail = "; the installer never offers it.";
    expectFindings(check(pack()), 0,
                   {"warning [DriverName.cfg] section 1 [Series R01] PrintName4: the printer name \"Series R01 Wall\" "
                    "stands behind PrintName3, which is missing or empty" + tail,
                    "warning [DriverName.cfg] section 2 [Series R02] PrintName51: the printer name \"R02 no 51\" stands "
                    "past the 50 keys the installer reads" + tail,
                    "warning [DriverName.cfg] section 2 [Series R02] PrintName52: the printer name \"R02 no 52\" stands "
                    "past the 50 keys the installer reads" + tail});
}

TEST_F(PackageCheck, ASectionWithoutNamesIsAModelNotOffered) {
    editList([](std::string list) { return replaced(list, "PrintName1=Series R12\r\n", ""); });
    Outcome run = check(pack());
    expectFindings(run, 0, {});
    EXPECT_NE(run.out.find("note [DriverName.cfg] section 12 [Series R12]: offers no printer: the package does not "
                           "offer \"Series R12\"; the installer lists no printer for this model."),
              std::string::npos)
        << run.out;
    // Its GPD file is then needed by no printer.
    EXPECT_NE(run.out.find("note [files] Ticket\\x86\\TKR80E.GPD:"), std::string::npos) << run.out;
}

TEST_F(PackageCheck, SectionsBeyondTheInstallersSectionNameBuffer) {
    // 38 names of 79 bytes and their NULs pass 3000 bytes in the 38th section.
    editList([](std::string list) {
        for (std::size_t at = 0; (at = list.find("]\r\n", at)) != std::string::npos; at += 3)
            list.insert(at, " " + std::string(68, 's')), at += 69;
        return list;
    });
    Outcome run = check(pack());
    std::vector<std::string> errors = linesOf(run.out, "error");
    ASSERT_EQ(errors.size(), 1u) << run.out;
    EXPECT_EQ(errors[0], "error [DriverName.cfg] section 38 [Series L80 " + std::string(68, 's') +
                             "]: its name does not fit in the 3000 bytes the installer reads the section names into; "
                             "the installer never sees this section or its printers.");
    EXPECT_EQ(run.exitCode, 1);
}

TEST_F(PackageCheck, APackageWithoutItsPrinterNameList) {
    fs::remove(in("DriverName.cfg"));
    expectFindings(check(pack()), 1,
                   {"error [DriverName.cfg] DriverName.cfg: the package has no DriverName.cfg; the installer shows an "
                    "empty driver list and installs nothing."});
}

// ---- the files of each model -------------------------------------------------------------------

TEST_F(PackageCheck, AMissingFileIsAnErrorForTheProgramThatNeedsIt) {
    fs::remove(in("Ticket/x64/SOLO7.DLL"));
    fs::path package = pack();
    expectFindings(check(package), 0, {});
    expectFindings(check(package, "--program solosetup"), 1,
                   {"error [files] Ticket\\x64\\SOLO7.DLL: is missing; needed by \"Series R32\"; the installer fails "
                    "to add the driver on this bitness (\"Failed to add the driver 2\")."});
}

TEST_F(PackageCheck, ALabelFileMissingOrInAnotherCase) {
    fs::rename(in("Barcode/x64/QLBJAP56.DLL"), in("Barcode/x64/qlbjap56.dll"));
    fs::remove(in("Barcode/Common/TKL62.PP0"));
    expectFindings(check(pack()), 1,
                   {"error [files] Barcode\\Common\\TKL62.PP0: is missing; needed by \"Series L62\"; the installer "
                    "fails to add the driver on this bitness (\"Failed to add the driver 2\").",
                    "warning [files] Barcode\\x64\\QLBJAP56.DLL: is stored as Barcode\\x64\\qlbjap56.dll; the tables "
                    "spell it Barcode\\x64\\QLBJAP56.DLL; the installer finds it, as Windows compares names without "
                    "case; a copy unpacked elsewhere may not."});
}

// ---- machine types -------------------------------------------------------------------------------

TEST_F(PackageCheck, DllsOfTheWrongMachineOrNoPeFileAtAll) {
    fs::copy_file(PKGCHECK_SAMPLE64, in("Ticket/x86/RCPT01.DLL"), fs::copy_options::overwrite_existing);
    fs::copy_file(PKGCHECK_SAMPLE32, in("Barcode/x64/almon64.dll"), fs::copy_options::overwrite_existing);
    writeAll(in("Ticket/x64/TKTPLUG.dll"), "MZ but nothing more");
    const std::string tail = "; the installer registers it, and the spooler then fails to load it.";
    expectFindings(check(pack()), 1,
                   {"error [machine] Barcode\\x64\\almon64.dll: is a PE file for 32-bit x86, in an x64 folder" + tail,
                    "error [machine] Ticket\\x64\\TKTPLUG.dll: is not a PE file" + tail,
                    "error [machine] Ticket\\x86\\RCPT01.DLL: is a PE file for x64, in an x86 folder" + tail});
}

// ---- JSON ------------------------------------------------------------------------------------------

TEST_F(PackageCheck, JsonGivesTheSameFindingsForAPipeline) {
    if (!*PKGCHECK_PYTHON) GTEST_SKIP() << "needs python3";
    editList([](std::string list) { return replaced(list, "PrintName1=Series R07\r\n", "PrintName1=\"Q\\R\"\r\n"); });
    fs::path package = pack();
    Outcome text = check(package);
    const char* script =
        "import json,sys\n"
        "d=json.load(sys.stdin)\n"
        "print(d['program'], d['exit_code'], d['errors'], d['warnings'], d['notes'], d['shape']['files'])\n"
        "for f in d['findings']:\n"
        "    if f['severity'] != 'note': print(f['severity'], f['check'], f['subject'], f['problem'], f['installer'])\n";
    Outcome json = runShell(std::string(PKGCHECK_PROGRAM) + " --json " + quoted(package) + " | " + PKGCHECK_PYTHON +
                        " -c " + quoted(script));
    EXPECT_EQ(json.exitCode, 0) << json.out;
    EXPECT_EQ(json.out,
              "multisetup 1 1 0 10 175\n"
              "error DriverName.cfg section 7 [Series R07] PrintName1 the printer name \"Q\\R\" cannot be used: it "
              "holds a backslash refuses to install it and says why\n");
    EXPECT_EQ(text.exitCode, 1);
}

}  // namespace
