#include "tools/sample_package/sample_package.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "install/model_tables.h"
#include "tests/install/lookup_files.h"

namespace setup::sample {
namespace {
namespace fs = std::filesystem;

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

fs::path inPackage(const fs::path& root, PackageFolder folder, const std::string& name) {
    return folderOnDisk(root, folder) / name;
}

struct Section {
    std::string name;
    std::vector<std::string> printerNames;  // PrintName1, PrintName2, ... in key order
};

// Reads the printer-name list as the program does: sections in order, numbered keys from 1
// until the first missing one. Lines must end in CRLF.
std::vector<Section> readSections(const std::string& text) {
    std::vector<Section> sections;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        EXPECT_FALSE(line.empty() || line.back() != '\r') << "line without CRLF: " << line;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        if (line.front() == '[' && line.back() == ']') {
            sections.push_back({line.substr(1, line.size() - 2), {}});
            continue;
        }
        if (sections.empty()) {
            ADD_FAILURE() << "key outside a section: " << line;
            continue;
        }
        std::string key = "PrintName" + std::to_string(sections.back().printerNames.size() + 1) + "=";
        if (line.rfind(key, 0) != 0) {
            ADD_FAILURE() << "expected " << key << " got " << line;
            continue;
        }
        sections.back().printerNames.push_back(line.substr(key.size()));
    }
    return sections;
}

class SamplePackage : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        root_ = fs::temp_directory_path() / ("sample_package_test_" + std::to_string(std::random_device{}()));
        fs::create_directories(root_);
        std::ofstream(root_ / "x86.dll", std::ios::binary) << "MZ stand-in 32";
        std::ofstream(root_ / "x64.dll", std::ios::binary) << "MZ stand-in 64";
        writeSamplePackage(root_ / "tree", root_ / "x86.dll", root_ / "x64.dll");
    }
    static void TearDownTestSuite() { fs::remove_all(root_); }

    static fs::path tree() { return root_ / "tree"; }

    static inline fs::path root_;
};

TEST_F(SamplePackage, HoldsEveryFileTheEnginesCopyForEitherProgram) {
    for (Program program : {Program::MultiSetup, Program::SoloSetup}) {
        auto files = testing::lookupFiles(program);
        ASSERT_FALSE(files.empty());
        for (const auto& [folder, name] : files)
            EXPECT_TRUE(fs::is_regular_file(inPackage(tree(), folder, name)))
                << packageFolderPath(folder) << '\\' << name;
    }
}

TEST_F(SamplePackage, DllsComeFromTheirFoldersBitness) {
    const std::string dll32 = "MZ stand-in 32";
    const std::string dll64 = "MZ stand-in 64";
    EXPECT_EQ(readAll(inPackage(tree(), PackageFolder::TicketX86, "RCPT01.DLL")), dll32);
    EXPECT_EQ(readAll(inPackage(tree(), PackageFolder::TicketX64, "SOLO7.DLL")), dll64);
    EXPECT_EQ(readAll(inPackage(tree(), PackageFolder::TicketX64, "TKTPLUG.dll")), dll64);
    EXPECT_EQ(readAll(inPackage(tree(), PackageFolder::BarcodeX86, "almonNT.dll")), dll32);
    EXPECT_EQ(readAll(inPackage(tree(), PackageFolder::BarcodeX64, "QLBPBR56.DLL")), dll64);
    // Data files are not DLL copies.
    std::string gpd = readAll(inPackage(tree(), PackageFolder::TicketX86, "TKP80R.GPD"));
    EXPECT_NE(gpd.find("Series R20"), std::string::npos) << gpd;
}

TEST_F(SamplePackage, PrinterNameListHasOneSectionPerDriverInRowOrder) {
    std::vector<Section> sections = readSections(readAll(tree() / printerNameListFile));
    ASSERT_EQ(sections.size(), static_cast<std::size_t>(driverCount));
    for (int index = 0; index < driverCount; ++index) {
        const char* display = index < receiptDriverCount
                                  ? receiptDisplayTable()[index]
                                  : labelDisplayTable()[index - receiptDriverCount];
        EXPECT_EQ(sections[index].name, display) << index;
        ASSERT_FALSE(sections[index].printerNames.empty()) << index;
        EXPECT_EQ(sections[index].printerNames.front(), display) << index;
    }
}

TEST_F(SamplePackage, PrinterNameListOffersTheNamesThatPickADll) {
    std::vector<Section> sections = readSections(readAll(tree() / printerNameListFile));
    ASSERT_EQ(sections.size(), static_cast<std::size_t>(driverCount));
    // A further name in the "Series R20" section installs that row with the other group DLL.
    const auto& r20 = sections[19].printerNames;
    ASSERT_GE(r20.size(), 2u);
    EXPECT_EQ(r20[0], "Series R20");
    EXPECT_EQ(receiptLookup(Program::MultiSetup, 19, r20[1])->groupDllBaseName, std::string("RCPT02"));
    const auto& r32 = sections[31].printerNames;
    ASSERT_GE(r32.size(), 2u);
    EXPECT_EQ(r32[0], "Series R32");
    EXPECT_EQ(receiptLookup(Program::SoloSetup, 31, r32[1])->groupDllBaseName, std::string("SOLO6"));
}

}  // namespace
}  // namespace setup::sample
