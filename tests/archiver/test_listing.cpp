// A listing names exactly what "x" writes, in the order x writes it, and refuses what x
// refuses, before anything is decoded.
#include <gtest/gtest.h>

#include "archiver/core/command.h"
#include "archiver/core/posix_host.h"
#include "test_support.h"

namespace archiver_test {
namespace {

struct Listing {
    int result = -1;
    std::string report;
    std::vector<std::string> paths;  // folders end with '/'
};

Listing list(const fs::path& archive) {
    archiver::PosixHost host;
    Listing listing;
    listing.result = archiver::list_entries(
        archive.string(), host,
        [&](const archiver::ListedEntry& e) {
            listing.paths.push_back(e.path + (e.is_directory ? "/" : ""));
            return true;
        },
        listing.report);
    return listing;
}

TEST(Listing, NamesWhatExtractionWritesInTheOrderItWritesIt) {
    TempDir tmp;
    write_bytes(tmp / "a.7z", make_stored_archive({{"Ticket/x86/b.gpd", "b"},
                                                   {"Ticket", "", true},
                                                   {"./DriverName.cfg", "[A]"},
                                                   {"Barcode\\Common\\THERMAL.chm", "help"}}));
    Listing listing = list(tmp / "a.7z");
    ASSERT_EQ(listing.result, 0) << listing.report;
    EXPECT_EQ(listing.paths, (std::vector<std::string>{"Ticket/x86/b.gpd", "Ticket/", "DriverName.cfg",
                                                       "Barcode/Common/THERMAL.chm"}));

    std::vector<std::string> announced;
    archiver::PosixHost host;
    std::string report;
    ASSERT_EQ(archiver::run_command("x -y \"" + (tmp / "a.7z").string() + "\" -o\"" + (tmp / "out").string() + "\"",
                                    host,
                                    [&](const archiver::ProgressInfo& p) {
                                        announced.push_back(p.path);
                                        return true;
                                    },
                                    report),
              0)
        << report;
    EXPECT_EQ(announced, (std::vector<std::string>{"Ticket/x86/b.gpd", "Ticket", "DriverName.cfg",
                                                   "Barcode/Common/THERMAL.chm"}));
}

TEST(Listing, RefusesWhatExtractionRefuses) {
    TempDir tmp;
    write_bytes(tmp / "hostile.7z", make_stored_archive({{"good.txt", "fine"}, {"../escape.txt", "payload"}}));
    Listing hostile = list(tmp / "hostile.7z");
    EXPECT_EQ(hostile.result, archiver::kResultUnsafePath);
    EXPECT_NE(hostile.report.find("escape.txt"), std::string::npos) << hostile.report;
    EXPECT_TRUE(hostile.paths.empty());

    write_file(tmp / "not.7z", "not an archive at all");
    EXPECT_EQ(list(tmp / "not.7z").result, archiver::kResultCorrupt);
    EXPECT_EQ(list(tmp / "missing.7z").result, archiver::kResultIo);
}

TEST(Listing, ACallbackThatSaysStopEndsIt) {
    TempDir tmp;
    write_bytes(tmp / "a.7z", make_stored_archive({{"one.txt", "1"}, {"two.txt", "2"}}));
    archiver::PosixHost host;
    std::string report;
    int calls = 0;
    EXPECT_EQ(archiver::list_entries((tmp / "a.7z").string(), host,
                                     [&](const archiver::ListedEntry&) { return ++calls < 1; }, report),
              archiver::kResultCancelled);
    EXPECT_EQ(calls, 1);
}


// The installer tells its own leftovers from the user's files, and checks the copies it
// makes, by the size and CRC the listing gives.
TEST(Listing, GivesEachFilesSizeAndCrc) {
    TempDir tmp;
    write_bytes(tmp / "a.7z", make_stored_archive({{"Ticket", "", true}, {"Ticket/a.ini", "123456789"}}));
    archiver::PosixHost host;
    std::string report;
    std::vector<archiver::ListedEntry> entries;
    ASSERT_EQ(archiver::list_entries((tmp / "a.7z").string(), host,
                                     [&](const archiver::ListedEntry& e) {
                                         entries.push_back(e);
                                         return true;
                                     },
                                     report),
              0)
        << report;
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_FALSE(entries[0].has_crc);
    EXPECT_EQ(entries[1].size, 9u);
    ASSERT_TRUE(entries[1].has_crc);
    EXPECT_EQ(entries[1].crc, 0xCBF43926u);  // the CRC-32 check value of "123456789"
}

}  // namespace
}  // namespace archiver_test
