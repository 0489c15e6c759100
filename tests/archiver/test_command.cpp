// The command line the installer passes, and what the front ends make of others.
#include <gtest/gtest.h>

#include <cstdlib>

#include "archiver/core/archive_error.h"
#include "archiver/core/command.h"
#include "test_support.h"

namespace archiver_test {
namespace {

TEST(CommandLine, ParsesTheInstallersCall) {
    const auto c = archiver::parse_command(R"(x -y "C:\Program Files\Setup Dir\DriverData.Drv" -o"C:\" -hide)");
    EXPECT_TRUE(c.keep_paths);
    EXPECT_TRUE(c.assume_yes);
    EXPECT_TRUE(c.hide);
    EXPECT_EQ(c.archive, R"(C:\Program Files\Setup Dir\DriverData.Drv)");
    EXPECT_EQ(c.output_folder, R"(C:\)");
}

TEST(CommandLine, AcceptsSwitchSpellingsAndOrder) {
    auto c = archiver::parse_command(R"(E -oD:\out\ pkg.7z)");
    EXPECT_FALSE(c.keep_paths);
    EXPECT_FALSE(c.assume_yes);
    EXPECT_EQ(c.output_folder, R"(D:\out\)");
    EXPECT_EQ(c.archive, "pkg.7z");
    c = archiver::parse_command(R"(  x   "a b.7z"  -o"D:\with space"  -Y  )");
    EXPECT_EQ(c.archive, "a b.7z");
    EXPECT_EQ(c.output_folder, R"(D:\with space)");
    EXPECT_TRUE(c.assume_yes);
    c = archiver::parse_command(R"(x -o"C:\"Drivers pkg.7z)");
    EXPECT_EQ(c.output_folder, R"(C:\Drivers)");
}

TEST(CommandLine, RefusesWhatItDoesNotSupport) {
    const char* bad[] = {"", "   ", "a pkg.7z files", "l pkg.7z", "t pkg.7z", "x", "x -y", "x -p secret pkg.7z",
                         "x -r pkg.7z", "x pkg.7z file.txt", "x \"pkg.7z", "x -o pkg.7z", "-y -o\"C:\\\""};
    for (const char* line : bad) {
        try {
            archiver::parse_command(line);
            ADD_FAILURE() << "accepted: " << line;
        } catch (const archiver::ArchiveError& e) {
            EXPECT_EQ(e.kind(), archiver::ErrorKind::BadCommand) << line;
            EXPECT_STRNE(e.what(), "") << line;
        }
    }
}

TEST(CommandLine, RunReportsWhyItFailed) {
    std::string report;
    EXPECT_EQ(extract("x -y -q pkg.7z", &report), archiver::kResultBadCommand);
    EXPECT_NE(report.find("-q"), std::string::npos) << report;
    EXPECT_EQ(extract("x -y \"/nonexistent/dir/DriverData.Drv\" -o/tmp", &report), archiver::kResultIo);
    EXPECT_NE(report.find("DriverData.Drv"), std::string::npos) << report;
}

TEST(CommandLine, InstallerStyleCallWithSpacesExtracts) {
    TempDir tmp;
    const fs::path dir = tmp / "Setup Dir With Spaces";
    fs::create_directories(dir);
    write_bytes(dir / "DriverData.Drv", make_stored_archive({{"Drivers/printer.inf", "[Version]"}, {"readme.txt", "hi"}}));
    const fs::path out = tmp / "C drive";
    std::string report;
    ASSERT_EQ(extract("x -y \"" + (dir / "DriverData.Drv").string() + "\" -o\"" + out.string() + "/\" -hide", &report), 0)
        << report;
    EXPECT_EQ(read_file(out / "Drivers/printer.inf"), "[Version]");
    EXPECT_NE(report.find("2 files"), std::string::npos) << report;
}

TEST(CommandLineTool, ExitsWithTheResultForOneStringOrSeveralArguments) {
    TempDir tmp;
    write_bytes(tmp / "a b.7z", make_stored_archive({{"f.txt", "content"}}));
    const std::string cli = quote(ARCHIVER_CLI);
    const std::string one = cli + " " + quote("x -y \"" + (tmp / "a b.7z").string() + "\" -o\"" + (tmp / "one").string() + "\"");
    EXPECT_EQ(std::system((one + " >/dev/null").c_str()), 0);
    EXPECT_EQ(read_file(tmp / "one/f.txt"), "content");
    const std::string many = cli + " x -y " + quote(tmp / "a b.7z") + " -o" + quote(tmp / "many") + " -hide";
    EXPECT_EQ(std::system((many + " >/dev/null").c_str()), 0);
    EXPECT_EQ(read_file(tmp / "many/f.txt"), "content");
    const int status = std::system((cli + " x -y " + quote(tmp / "missing.7z") + " 2>/dev/null").c_str());
    EXPECT_EQ(WEXITSTATUS(status), archiver::kResultIo);
}

}  // namespace
}  // namespace archiver_test
