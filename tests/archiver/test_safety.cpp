// Entry names that would leave the destination, or mean a device on Windows, refuse the
// whole archive before anything is written.
#include <gtest/gtest.h>

#include "archiver/core/archive_error.h"
#include "archiver/core/command.h"
#include "archiver/core/entry_path.h"
#include "test_support.h"

namespace archiver_test {
namespace {

TEST(EntryPath, AcceptsOrdinaryNamesAndNormalisesSeparators) {
    EXPECT_EQ(archiver::safe_relative_path("driver\\x86\\printer.dll"), "driver/x86/printer.dll");
    EXPECT_EQ(archiver::safe_relative_path("a/./b//c.txt"), "a/b/c.txt");
    EXPECT_EQ(archiver::safe_relative_path("..hidden/file..txt"), "..hidden/file..txt");
    EXPECT_EQ(archiver::safe_relative_path("CONFIG.SYS"), "CONFIG.SYS");
    EXPECT_EQ(archiver::safe_relative_path("COM10.txt"), "COM10.txt");
    EXPECT_EQ(archiver::safe_relative_path("console/aux_port.txt"), "console/aux_port.txt");
    EXPECT_EQ(archiver::safe_relative_path("日本語/файл.txt"), "日本語/файл.txt");
}

TEST(EntryPath, RefusesNamesThatEscapeOrNameDevices) {
    const char* unsafe[] = {
        "../evil.txt", "..\\evil.txt", "a/../../evil.txt", "a\\..\\..\\evil.txt", "..", "a/..",
        "/etc/passwd", "\\Windows\\evil.dll", "\\\\server\\share\\x", "C:\\evil.txt", "c:evil.txt",
        "file.txt:stream", "dir/file:$DATA", "CON", "con", "CON.txt", "con.tar.gz", "PRN", "AUX.log",
        "NUL", "nul.txt", "COM1", "com9.txt", "LPT1", "lpt3.dat", "sub/CON", "sub/Com1.txt", "CON .txt",
        "CONIN$", "", "/", "./", "...", ". .", "a\x01b", "what?.txt", "a*b", "pipe|name",
    };
    for (const char* name : unsafe) {
        try {
            archiver::safe_relative_path(name);
            ADD_FAILURE() << "accepted \"" << name << "\"";
        } catch (const archiver::ArchiveError& e) {
            EXPECT_EQ(e.kind(), archiver::ErrorKind::UnsafePath) << name;
        }
    }
}

class HostileArchive : public ::testing::TestWithParam<const char*> {};

TEST_P(HostileArchive, IsRefusedBeforeAnythingIsWritten) {
    TempDir tmp;
    // Good entries come first: the refusal must still happen before they are written.
    const auto bytes = make_stored_archive({{"good/first.txt", "fine"},
                                            {"good/folder", "", true},
                                            {"empty.txt", ""},
                                            {GetParam(), "payload"}});
    write_bytes(tmp / "hostile.7z", bytes);
    std::string report;
    const fs::path out = tmp / "out";
    EXPECT_EQ(extract("x -y \"" + (tmp / "hostile.7z").string() + "\" -o\"" + out.string() + "\"", &report),
              archiver::kResultUnsafePath)
        << report;
    EXPECT_NE(report.find("refused"), std::string::npos) << report;
    EXPECT_FALSE(fs::exists(out));
    EXPECT_EQ(list_tree(tmp.path()), std::vector<std::string>{"hostile.7z"});
}

INSTANTIATE_TEST_SUITE_P(Names, HostileArchive,
                         ::testing::Values("../escape.txt", "..\\escape.txt", "good/../../escape.txt", "/tmp/abs.txt",
                                           "\\abs.txt", "C:\\Windows\\evil.dll", "D:evil.txt", "file.txt:hidden",
                                           "CON", "con.txt", "Com1.log", "LPT9", "sub/NUL.dat", "AUX"));

TEST(HostileArchiveControl, TheSameArchiveWithSafeNamesExtracts) {
    TempDir tmp;
    write_bytes(tmp / "ok.7z", make_stored_archive({{"good/first.txt", "fine"},
                                                    {"good/folder", "", true},
                                                    {"empty.txt", ""},
                                                    {"sub/last.txt", "payload"}}));
    std::string report;
    ASSERT_EQ(extract("x -y " + (tmp / "ok.7z").string() + " -o" + (tmp / "out").string(), &report), 0) << report;
    EXPECT_EQ(list_tree(tmp / "out"),
              (std::vector<std::string>{"empty.txt", "good/", "good/first.txt", "good/folder/", "sub/", "sub/last.txt"}));
    EXPECT_EQ(read_file(tmp / "out/sub/last.txt"), "payload");
}

}  // namespace
}  // namespace archiver_test
