// Files are written under a temporary name beside their final one. A run killed while it
// wrote leaves that file behind; a later run, even one whose process got the same id, must
// neither fail on it nor touch it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <set>

#include "archiver/core/temporary_name.h"
#include "test_support.h"

namespace archiver_test {
namespace {

using archiver::Creation;

TEST(TemporaryName, IsTheFinalNameWithProcessAndSequence) {
    EXPECT_EQ(archiver::temporary_suffix(252, 162), ".7ztmp252_162");
    EXPECT_EQ(archiver::temporary_suffix(0, 0), ".7ztmp0_0");
    EXPECT_EQ(archiver::temporary_suffix(4294967295ul, 4294967295u), ".7ztmp4294967295_4294967295");
    EXPECT_EQ(archiver::final_name_of_temporary("uniDRV.DLL.7ztmp252_162"), "uniDRV.DLL");
    EXPECT_EQ(archiver::final_name_of_temporary("DriverName.cfg.7ztmp0_0"), "DriverName.cfg");
    EXPECT_EQ(archiver::final_name_of_temporary("a.7ztmp1.7ztmp4294967295_10"), "a.7ztmp1");
}

TEST(TemporaryName, OtherNamesAreNotOurs) {
    const char* others[] = {"uniDRV.DLL",         "uniDRV.DLL.7ztmp",     ".7ztmp1_2",
                            "a.7ztmp1_",          "a.7ztmp_2",            "a.7ztmp1_2.bak",
                            "a.7ztmp01_2",        "a.7ztmp1_02",          "a.7ztmp1_2_3",
                            "a.7ztmpx_2",         "a.7ZTMP1_2",           "a.7ztmp12345678901_1",
                            "a.7ztmp1_2 ",        "a.7ztmp-1_2",          "a7ztmp1_2",
                            "notes.7ztmp.txt"};
    for (const char* name : others) EXPECT_FALSE(archiver::final_name_of_temporary(name)) << name;
}

TEST(TemporaryName, TakenNamesArePassedByAndOtherFailuresStop) {
    std::set<std::string> taken{".7ztmp7_0", ".7ztmp7_1", ".7ztmp7_3"};
    std::vector<std::string> tried;
    unsigned sequence = 0;
    auto create = [&](const std::string& suffix) {
        tried.push_back(suffix);
        return taken.insert(suffix).second ? Creation::Created : Creation::NameTaken;
    };
    ASSERT_TRUE(archiver::create_temporary(7, sequence, create));
    EXPECT_EQ(tried, (std::vector<std::string>{".7ztmp7_0", ".7ztmp7_1", ".7ztmp7_2"}));
    ASSERT_TRUE(archiver::create_temporary(7, sequence, create));
    EXPECT_EQ(tried.back(), ".7ztmp7_4");
    EXPECT_EQ(sequence, 5u);

    tried.clear();
    EXPECT_FALSE(archiver::create_temporary(7, sequence, [&](const std::string& suffix) {
        tried.push_back(suffix);
        return Creation::Failed;
    }));
    EXPECT_EQ(tried, std::vector<std::string>{".7ztmp7_5"});
}

TEST(TemporaryName, AFolderFullOfTakenNamesIsGivenUpOn) {
    unsigned sequence = 0, calls = 0;
    EXPECT_FALSE(archiver::create_temporary(7, sequence, [&](const std::string&) {
        ++calls;
        return Creation::NameTaken;
    }));
    EXPECT_EQ(calls, 1000u);
}

// What a killed run of a process with this one's id left: the names this run picks first.
TEST(TemporaryName, TheHostWritesPastAKilledRunsFilesAndLeavesThem) {
    TempDir tmp;
    write_bytes(tmp / "p.7z", make_stored_archive({{"Ticket/x64/uniDRV.DLL", "driver"}, {"Ticket/x64/UNIRES.DLL", "res"}}));
    const fs::path folder = tmp / "out/Ticket/x64";
    const std::string pid = std::to_string(::getpid());
    std::vector<std::string> planted;
    for (const char* name : {"uniDRV.DLL", "UNIRES.DLL"})
        for (int sequence = 0; sequence < 4; ++sequence) {
            planted.push_back(std::string("Ticket/x64/") + name + ".7ztmp" + pid + "_" + std::to_string(sequence));
            write_file(tmp / ("out/" + planted.back()), "left by a killed run");
        }
    std::string report;
    ASSERT_EQ(extract("x -y \"" + (tmp / "p.7z").string() + "\" -o\"" + (tmp / "out").string() + "\"", &report), 0)
        << report;
    EXPECT_EQ(read_file(folder / "uniDRV.DLL"), "driver");
    EXPECT_EQ(read_file(folder / "UNIRES.DLL"), "res");
    for (const std::string& name : planted) EXPECT_EQ(read_file(tmp / ("out/" + name)), "left by a killed run") << name;
    std::vector<std::string> expected = planted;
    expected.push_back("Ticket/");
    expected.push_back("Ticket/x64/");
    expected.push_back("Ticket/x64/UNIRES.DLL");
    expected.push_back("Ticket/x64/uniDRV.DLL");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(list_tree(tmp / "out"), expected);
}

}  // namespace
}  // namespace archiver_test
