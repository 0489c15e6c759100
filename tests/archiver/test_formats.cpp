// Archives written by 7zz with each coder and layout we support extract to the same tree,
// byte for byte, with the same times and permissions, as `7zz x` gives.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "archiver/core/command.h"
#include "archiver/core/extractor.h"
#include "archiver/core/posix_host.h"
#include "test_support.h"

namespace archiver_test {
namespace {

#define REQUIRE_7ZZ() \
    if (seven_zip().empty()) GTEST_SKIP() << "7zz is not installed"

// A tree with what a driver package has and what trips extractors: code, text, random
// data, empty files and folders, nested folders, names in several scripts, a read-only file.
void make_source_tree(const fs::path& root) {
    write_file(root / "driver" / "x86" / "printer.dll", code_like_data(700000, 1));
    write_file(root / "driver" / "x86" / "port.sys", code_like_data(90000, 2));
    write_file(root / "driver" / "setup.inf", text_data(120000, 3));
    write_file(root / "driver" / "firmware.bin", random_data(300000, 4));
    write_file(root / "docs" / "readme.txt", text_data(5000, 5));
    write_file(root / "docs" / "empty.txt", "");
    write_file(root / fs::path("docs/日本語のプリンタ.txt"), text_data(1000, 6));
    write_file(root / fs::path("docs/Привет мир/файл.txt"), text_data(3000, 7));
    write_file(root / fs::path("docs/emoji 😀 ünïcödé.txt"), "smile");
    write_file(root / "tiny.txt", "x");
    fs::create_directories(root / "empty_folder" / "nested_empty");
    fs::permissions(root / "docs" / "readme.txt", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
}

struct Packing {
    const char* name;
    const char* switches;
};

class SevenZipFormats : public ::testing::TestWithParam<Packing> {};

TEST_P(SevenZipFormats, ExtractsTheSameTreeAs7zz) {
    REQUIRE_7ZZ();
    TempDir tmp;
    make_source_tree(tmp / "src");
    const fs::path archive = tmp / "package.7z";
    ASSERT_TRUE(run_seven_zip("a " + quote(archive) + " " + std::string(GetParam().switches) + " " +
                              quote(tmp.path() / "src") + "/*"));
    ASSERT_TRUE(run_seven_zip("x -y " + quote(archive) + " -o" + quote(tmp / "reference")));

    std::string report;
    const int result = extract("x -y \"" + archive.string() + "\" -o\"" + (tmp / "ours").string() + "\"", &report);
    ASSERT_EQ(result, 0) << report;
    EXPECT_EQ(compare_trees(tmp / "reference", tmp / "ours"), "");
}

INSTANTIATE_TEST_SUITE_P(
    Coders, SevenZipFormats,
    ::testing::Values(Packing{"Copy", "-m0=Copy"}, Packing{"LZMA", "-m0=LZMA"}, Packing{"LZMA2", "-m0=LZMA2"},
                      Packing{"Defaults", ""}, Packing{"BcjFilter", "-mf=BCJ"},
                      Packing{"BcjThenLzma", "-m0=BCJ -m1=LZMA"}, Packing{"Bcj2", "-mf=BCJ2"},
                      Packing{"Arm64", "-mf=ARM64"}, Packing{"Delta4", "-mf=Delta:4"}, Packing{"Delta1", "-mf=Delta:1"},
                      Packing{"SolidOn", "-ms=on"}, Packing{"SolidOff", "-ms=off"},
                      Packing{"PlainHeader", "-mhc=off"}, Packing{"PlainHeaderCopy", "-m0=Copy -mhc=off -ms=off"},
                      // Small dictionaries make the window wrap many times within one file.
                      Packing{"LzmaSmallDictionary", "-m0=LZMA:d=64k:lc=0:lp=2:pb=0"},
                      Packing{"Lzma2SmallDictionary", "-m0=LZMA2:d=64k:lc=4:pb=4"},
                      // The largest contexts the LZMA format has: 0x300 << 12 literal probabilities.
                      Packing{"LzmaWidestContexts", "-m0=LZMA:lc=8:lp=4:pb=4"},
                      // Blocks of 256k with a 192k window: dictionary resets fall mid-window.
                      Packing{"Lzma2ResetsMidWindow", "-m0=LZMA2:d=192k:c=256k"},
                      Packing{"Lzma2Fastest", "-mx=1"}, Packing{"Ultra", "-mx=9"},
                      Packing{"SolidBlocksBySize", "-ms=100k"}),
    [](const ::testing::TestParamInfo<Packing>& info) { return std::string(info.param.name); });

TEST(SevenZipCommandE, ExtractsFilesWithoutFoldersLike7zz) {
    REQUIRE_7ZZ();
    TempDir tmp;
    write_file(tmp / "src/a/one.txt", text_data(2000, 1));
    write_file(tmp / "src/b/c/two.bin", random_data(5000, 2));
    fs::create_directories(tmp / "src/empty");
    const fs::path archive = tmp / "e.7z";
    ASSERT_TRUE(run_seven_zip("a " + quote(archive) + " " + quote(tmp.path() / "src") + "/*"));
    ASSERT_TRUE(run_seven_zip("e -y " + quote(archive) + " -o" + quote(tmp / "reference")));
    std::string report;
    ASSERT_EQ(extract("e -y " + archive.string() + " -o" + (tmp / "ours").string(), &report), 0) << report;
    // 7zz e also creates empty folders; we put only files there.
    std::vector<std::string> files;
    for (const auto& e : list_tree(tmp / "reference"))
        if (e.back() != '/') files.push_back(e);
    EXPECT_EQ(list_tree(tmp / "ours"), files);
    EXPECT_EQ(read_file(tmp / "ours/two.bin"), random_data(5000, 2));
}

TEST(SevenZipProgress, ReportsEveryEntryAndStopsWhenTold) {
    REQUIRE_7ZZ();
    TempDir tmp;
    write_file(tmp / "src/first.txt", text_data(10000, 1));
    write_file(tmp / "src/second.txt", text_data(20000, 2));
    write_file(tmp / "src/third.txt", text_data(30000, 3));
    const fs::path archive = tmp / "p.7z";
    ASSERT_TRUE(run_seven_zip("a -ms=on " + quote(archive) + " " + quote(tmp.path() / "src") + "/*"));

    archiver::PosixHost host;
    std::vector<std::pair<std::string, uint64_t>> seen;
    uint64_t packed_total = 0;
    std::string report;
    auto record = [&](const archiver::ProgressInfo& p) {
        seen.emplace_back(p.path, p.size);
        packed_total += p.packed_size;
        return true;
    };
    ASSERT_EQ(archiver::run_command("x -y " + archive.string() + " -o" + (tmp / "all").string(), host, record, report), 0);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0], std::make_pair(std::string("first.txt"), uint64_t{10000}));
    EXPECT_EQ(seen[2], std::make_pair(std::string("third.txt"), uint64_t{30000}));
    EXPECT_GT(packed_total, 0u);
    EXPECT_LE(packed_total, fs::file_size(archive));

    int calls = 0;
    auto stop_at_second = [&](const archiver::ProgressInfo&) { return ++calls < 2; };
    const int result = archiver::run_command("x -y " + archive.string() + " -o" + (tmp / "part").string(), host,
                                             stop_at_second, report);
    EXPECT_EQ(result, archiver::kResultCancelled);
    EXPECT_NE(report.find("cancelled"), std::string::npos) << report;
    EXPECT_EQ(list_tree(tmp / "part"), std::vector<std::string>{"first.txt"});
}

TEST(SevenZipOverwrite, ExistingFileNeedsYes) {
    REQUIRE_7ZZ();
    TempDir tmp;
    write_file(tmp / "src/file.txt", "new content");
    const fs::path archive = tmp / "o.7z";
    ASSERT_TRUE(run_seven_zip("a " + quote(archive) + " " + quote(tmp / "src/file.txt")));
    write_file(tmp / "out/file.txt", "old");
    std::string report;
    EXPECT_EQ(extract("x " + archive.string() + " -o" + (tmp / "out").string(), &report), archiver::kResultIo);
    EXPECT_EQ(read_file(tmp / "out/file.txt"), "old");
    EXPECT_EQ(extract("x -y " + archive.string() + " -o" + (tmp / "out").string(), &report), 0) << report;
    EXPECT_EQ(read_file(tmp / "out/file.txt"), "new content");
}

TEST(SevenZipLargeFile, StreamsAFileLargerThanTheDictionary) {
    REQUIRE_7ZZ();
    TempDir tmp;
    std::string big;
    for (unsigned i = 0; i < 24; ++i) big += (i % 3 == 0 ? random_data(1 << 20, i) : text_data(1 << 20, i));
    write_file(tmp / "src/big.bin", big);
    const fs::path archive = tmp / "big.7z";
    ASSERT_TRUE(run_seven_zip("a -m0=LZMA2:d=1m " + quote(archive) + " " + quote(tmp / "src/big.bin")));
    std::string report;
    ASSERT_EQ(extract("x -y " + archive.string() + " -o" + (tmp / "out").string(), &report), 0) << report;
    EXPECT_TRUE(read_file(tmp / "out/big.bin") == big);
}

}  // namespace
}  // namespace archiver_test

namespace archiver_test {
namespace {

// Peak resident memory (KiB) of the command-line tool extracting `archive`.
long cli_peak_kib(const fs::path& archive, const fs::path& out) {
    const pid_t pid = fork();
    if (pid == 0) {
        const std::string o = "-o" + out.string();
        execl(ARCHIVER_CLI, ARCHIVER_CLI, "x", "-y", archive.c_str(), o.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? usage.ru_maxrss : -1;
}

// A solid block far larger than its dictionary streams into its files: memory follows the
// dictionary, not the unpacked size.
TEST(SevenZipMemory, SolidBlockStreamsInsteadOfBuffering) {
    if (seven_zip().empty()) GTEST_SKIP() << "7zz is not installed";
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "address sanitizer memory is not the extractor's";
#endif
    TempDir tmp;
    for (unsigned i = 0; i < 12; ++i) write_file(tmp / ("src/part" + std::to_string(i) + ".txt"), text_data(8 << 20, i));
    const fs::path archive = tmp / "solid.7z";
    ASSERT_TRUE(run_seven_zip("a -ms=on -mx=1 -m0=LZMA2:d=1m " + quote(archive) + " " + quote(tmp.path() / "src") + "/*"));
    const long peak = cli_peak_kib(archive, tmp / "out");
    ASSERT_GT(peak, 0);
    RecordProperty("peak_kib", static_cast<int>(peak));
    EXPECT_LT(peak, 24 * 1024) << "peak RSS " << peak << " KiB for 96 MiB unpacked";
    EXPECT_TRUE(read_file(tmp / "out/part11.txt") == text_data(8 << 20, 11));
}

}  // namespace
}  // namespace archiver_test
