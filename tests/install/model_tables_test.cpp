#include "install/model_tables.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "tests/install/lookup_files.h"

namespace setup {
namespace {

constexpr Program bothPrograms[] = {Program::MultiSetup, Program::SoloSetup};

std::string programName(Program program) {
    return program == Program::MultiSetup ? "multisetup" : "solosetup";
}

std::vector<std::string> rowsOf(NameTable table) {
    return std::vector<std::string>(table.begin(), table.end());
}

// The model list written out by hand, row by row: a row changed in the program must be
// changed here too.
const std::vector<std::string> receiptDisplayRows{
    "Series R01", "Series R02", "Series R03", "Series R04", "Series R05", "Series R06", "Series R07",
    "Series R08", "Series R09", "Series R10", "Series R11", "Series R12", "Series R13", "Series R14",
    "Series R15", "Series R16", "Series R17", "Series R18", "Series R19", "Series R20", "Series R21",
    "Series R22", "Series R23", "Series R24", "Series R25", "Series R26", "Series R27", "Series R28",
    "Series R29", "Series R30", "Series R31", "Series R32", "Series R33"};
const std::vector<std::string> multiBaseNameRows{
    "RCPT01", "RCPT02", "RCPT03", "RCPT04", "RCPT05",
    "TKR58A", "TKR58A", "TKR58B", "TKR58C", "TKR76A", "TKR76B", "TKR80A", "TKR80B", "TKR80B", "TKR80C",
    "TKR80D", "TKR80E", "TKR82A", "TKR82B", "TKR83A",
    "TKP80A", "TKP80B", "TKP80C", "TKP80D", "TKP80R", "TKP80E", "TKP80F",
    "TKK58A", "TKK58B", "TKK80A", "TKK80B", "TKK80C",
    "TKS80A", "TKS80B", "TKS80C", "TKS80D", "TKS80E", "TKS80F"};
const std::vector<std::string> soloBaseNameRows{
    "RCPT01", "RCPT02", "RCPT03", "RCPT04", "RCPT05", "SOLO6", "SOLO7",
    "TKR58A", "TKR58A", "TKR58B", "TKR58C", "TKR76A", "TKR76B", "TKR80A", "TKR80B", "TKR80B", "TKR80C",
    "TKR80D", "TKR80E", "TKR82A", "TKR82B", "TKR83A",
    "TKP80A", "TKP80B", "TKP80C", "TKP80D", "TKP80R", "TKP80E", "TKP80F",
    "TKK58A", "TKK58B", "TKK80A", "TKK80B", "TKK80C",
    "TKS80A", "TKS80B", "TKS80C", "KV310A", "KV310B", "KV310C"};
const std::vector<std::string> labelDisplayRows{"Series L40", "Series L42", "Series L60", "Series L62", "Series L80"};
const std::vector<std::string> labelBaseNameRows{"TKL40", "TKL42", "TKL60", "TKL62", "TKL80"};

ReceiptModel receipt(Program program, int index, std::string_view text = "") {
    auto model = receiptLookup(program, index, text);
    EXPECT_TRUE(model.has_value()) << "driver index " << index;
    return model.value_or(ReceiptModel{});
}

std::string dll(Program program, int index, std::string_view text = "") {
    auto model = receiptLookup(program, index, text);
    return model ? model->groupDllBaseName : "<none>";
}

// ---- Receipt groups and group DLLs -------------------------------------------------------

TEST(ReceiptLookup, GroupBoundariesFollowTheRunningSums) {
    struct Case { int index; int group; };
    const Case cases[] = {{0, 1}, {14, 1}, {15, 2}, {21, 2}, {22, 3}, {26, 3}, {27, 4}, {32, 4}};
    for (Program program : bothPrograms)
        for (const Case& c : cases) {
            ReceiptModel model = receipt(program, c.index);
            EXPECT_EQ(model.group, c.group) << programName(program) << " index " << c.index;
            EXPECT_EQ(model.row, c.index + 1);
        }
}

TEST(ReceiptLookup, GroupDllOfEachGroupWithAPlainText) {
    struct Case { int index; const char* multi; const char* solo; };
    const Case cases[] = {
        {0, "RCPT01", "RCPT01"},  {14, "RCPT01", "RCPT01"}, {15, "RCPT02", "RCPT02"},
        {21, "RCPT02", "RCPT02"}, {22, "RCPT04", "RCPT04"}, {26, "RCPT04", "RCPT04"},
        {27, "RCPT05", "SOLO6"},  {32, "RCPT05", "SOLO6"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(dll(Program::MultiSetup, c.index, "Series R01"), c.multi) << c.index;
        EXPECT_EQ(dll(Program::SoloSetup, c.index, "Series R01"), c.solo) << c.index;
    }
}

TEST(ReceiptLookup, GroupTwoDllIsChosenByTheDriverTextOnly) {
    for (Program program : bothPrograms) {
        for (int index = 15; index <= 21; ++index) {
            EXPECT_EQ(dll(program, index, "Series R20"), "RCPT03") << index;
            EXPECT_EQ(dll(program, index, "Series R21"), "RCPT02") << index;
        }
        // Exact, case-sensitive comparison of the whole text.
        for (const char* text : {"series r20", "Series R20 ", "Series R2", "", "Series R32"})
            EXPECT_EQ(dll(program, 19, text), "RCPT02") << '"' << text << '"';
    }
}

TEST(ReceiptLookup, MultiSetupGroupFourDllIsFixed) {
    for (int index = 27; index <= 32; ++index)
        for (const char* text : {"Series R32", "Series R20", "Series R28", ""})
            EXPECT_EQ(dll(Program::MultiSetup, index, text), "RCPT05") << index << ' ' << text;
}

TEST(ReceiptLookup, SoloSetupGroupFourDllIsChosenByTheDriverText) {
    for (int index = 27; index <= 32; ++index) {
        EXPECT_EQ(dll(Program::SoloSetup, index, "Series R32"), "SOLO7") << index;
        EXPECT_EQ(dll(Program::SoloSetup, index, "Series R33"), "SOLO6") << index;
        EXPECT_EQ(dll(Program::SoloSetup, index, "Series R32x"), "SOLO6") << index;
    }
    ReceiptModel model = receipt(Program::SoloSetup, 31, "Series R32");
    EXPECT_EQ(model.groupDllRow, 7);
    EXPECT_EQ(model.groupDllFile(), "SOLO7.DLL");
}

TEST(ReceiptLookup, OtherGroupsIgnoreTheDriverText) {
    for (Program program : bothPrograms) {
        EXPECT_EQ(dll(program, 0, "Series R20"), "RCPT01");
        EXPECT_EQ(dll(program, 0, "Series R32"), "RCPT01");
        EXPECT_EQ(dll(program, 24, "Series R20"), "RCPT04");
        EXPECT_EQ(dll(program, 24, "Series R32"), "RCPT04");
    }
    EXPECT_EQ(dll(Program::SoloSetup, 30, "Series R20"), "SOLO6");
    EXPECT_EQ(dll(Program::MultiSetup, 30, "Series R20"), "RCPT05");
}

// ---- Base-name table shape and GPD rows ---------------------------------------------------

TEST(ReceiptBaseNames, GroupDllRowsPrecedeTheGpdRows) {
    const std::vector<std::string> multiDlls{"RCPT01", "RCPT02", "RCPT03", "RCPT04", "RCPT05"};
    std::vector<std::string> soloDlls = multiDlls;
    soloDlls.insert(soloDlls.end(), {"SOLO6", "SOLO7"});
    for (Program program : bothPrograms) {
        const auto& expected = program == Program::MultiSetup ? multiDlls : soloDlls;
        NameTable table = receiptBaseNameTable(program);
        ASSERT_EQ(table.size(), expected.size() + 33);
        EXPECT_EQ(groupDllRowCount(program), static_cast<int>(expected.size()));
        for (std::size_t row = 0; row < expected.size(); ++row) EXPECT_EQ(table[row], expected[row]);
    }
}

TEST(ReceiptBaseNames, EveryRowAsTheModelListHasIt) {
    EXPECT_EQ(rowsOf(receiptBaseNameTable(Program::MultiSetup)), multiBaseNameRows);
    EXPECT_EQ(rowsOf(receiptBaseNameTable(Program::SoloSetup)), soloBaseNameRows);
}

TEST(ReceiptBaseNames, GpdRowIsOffsetByTheGroupDllRows) {
    struct Case { Program program; int index; int gpdRow; const char* gpd; const char* file; };
    const Case cases[] = {{Program::MultiSetup, 0, 6, "TKR58A", "TKR58A.GPD"},
                          {Program::SoloSetup, 0, 8, "TKR58A", "TKR58A.GPD"},
                          {Program::MultiSetup, 19, 25, "TKP80R", "TKP80R.GPD"},
                          {Program::SoloSetup, 19, 27, "TKP80R", "TKP80R.GPD"},
                          {Program::MultiSetup, 32, 38, "TKS80F", "TKS80F.GPD"},
                          {Program::SoloSetup, 32, 40, "KV310C", "KV310C.GPD"}};
    for (const Case& c : cases) {
        ReceiptModel model = receipt(c.program, c.index);
        EXPECT_EQ(model.gpdRow, c.gpdRow) << programName(c.program) << ' ' << c.index;
        EXPECT_STREQ(model.gpdBaseName, c.gpd) << programName(c.program) << ' ' << c.index;
        EXPECT_EQ(model.gpdFile(), c.file);
    }
    // The last display row reads the last row of the table: nothing is left over or missing.
    EXPECT_STREQ(receiptBaseNameTable(Program::MultiSetup).back(), "TKS80F");
    EXPECT_STREQ(receiptBaseNameTable(Program::SoloSetup).back(), "KV310C");
}

// Each driver index gets its own display row and the GPD row the offset gives, in both
// programs.
TEST(ReceiptLookup, EveryIndexGetsItsDisplayNameAndGpd) {
    for (int index = 0; index < 33; ++index) {
        for (Program program : bothPrograms) {
            ReceiptModel model = receipt(program, index);
            const auto& rows = program == Program::MultiSetup ? multiBaseNameRows : soloBaseNameRows;
            const int groupDllRows = program == Program::MultiSetup ? 5 : 7;
            EXPECT_EQ(model.displayName, receiptDisplayRows[index]) << programName(program) << ' ' << index;
            EXPECT_EQ(model.gpdBaseName, rows[index + groupDllRows]) << programName(program) << ' ' << index;
        }
    }
}

TEST(ReceiptBaseNames, OnlyTheLastThreeRowsDifferBetweenPrograms) {
    for (int index = 0; index < 33; ++index) {
        std::string multi = receipt(Program::MultiSetup, index).gpdBaseName;
        std::string solo = receipt(Program::SoloSetup, index).gpdBaseName;
        bool kv310Row = index >= 30;  // display rows 31-33
        EXPECT_EQ(solo.rfind("KV310", 0) == 0, kv310Row) << index << ' ' << solo;
        EXPECT_EQ(multi.rfind("KV310", 0) == 0, false) << index << ' ' << multi;
        if (!kv310Row) {
            EXPECT_EQ(multi, solo) << index;
        }
    }
}

// ---- Display rows and dependent files ----------------------------------------------------

TEST(ReceiptDisplay, SpecialRowsSitAtTheirPositions) {
    NameTable table = receiptDisplayTable();
    ASSERT_EQ(table.size(), 33u);
    EXPECT_EQ(rowsOf(table), receiptDisplayRows);
    EXPECT_STREQ(table[19], "Series R20");
    EXPECT_STREQ(table[30], "Series R31");
    EXPECT_STREQ(table[31], "Series R32");
    EXPECT_STREQ(table[32], "Series R33");
    for (Program program : bothPrograms)
        EXPECT_STREQ(receipt(program, 19).displayName, "Series R20");
}

std::vector<std::string> namesOf(std::string_view block) {
    std::vector<std::string> names;
    std::string current;
    for (char c : block) {
        if (c != '\0') { current += c; continue; }
        names.push_back(current);
        current.clear();
    }
    EXPECT_TRUE(current.empty()) << "block does not end with a NUL";
    return names;
}

TEST(DependentBlocks, ExactBytesAndLengths) {
    using namespace std::string_literals;
    const std::string shortBytes = "\\ttfsub.GPD\0\\unires.DLL\0\\stdnames.GPD\0"s;
    const std::string longBytes = shortBytes + "\\TKTPLUG.ini\0\\TKTPLUG.dll\0"s;
    EXPECT_EQ(shortDependentBlock().size(), 38u);
    EXPECT_EQ(longDependentBlock().size(), 64u);
    EXPECT_EQ(std::string(shortDependentBlock()), shortBytes);
    EXPECT_EQ(std::string(longDependentBlock()), longBytes);
    EXPECT_EQ(namesOf(longDependentBlock()).size(), 5u);
}

TEST(DependentBlocks, LongBlockOnlyForSeriesR31AndR33) {
    using namespace std::string_literals;
    const std::string shortBytes = "\\ttfsub.GPD\0\\unires.DLL\0\\stdnames.GPD\0"s;
    const std::string longBytes = shortBytes + "\\TKTPLUG.ini\0\\TKTPLUG.dll\0"s;
    for (Program program : bothPrograms)
        for (int index = 0; index < 33; ++index) {
            // The row decides, not the text the user picked.
            ReceiptModel model = receipt(program, index, "Series R31");
            bool longRow = index == 30 || index == 32;
            EXPECT_EQ(model.dependentBlock.size(), longRow ? 64u : 38u) << index;
            EXPECT_EQ(std::string(model.dependentBlock), longRow ? longBytes : shortBytes) << index;
        }
}

TEST(UnidrvFiles, SixFilesInCopyOrder) {
    const std::vector<std::string> expected{"uniDRVui.DLL", "uniDRV.DLL", "UNIDRV.HLP",
                                            "UNIRES.DLL",   "TTFSUB.GPD", "STDNAMES.GPD"};
    NameTable files = unidrvFiles();
    EXPECT_EQ(std::vector<std::string>(files.begin(), files.end()), expected);
}

// ---- Labels ------------------------------------------------------------------------------

TEST(LabelLookup, IndexesMapToLabelRows) {
    for (bool is64Bit : {false, true}) {
        auto first = labelLookup(33, is64Bit);
        auto last = labelLookup(37, is64Bit);
        ASSERT_TRUE(first && last);
        EXPECT_EQ(first->row, 1);
        EXPECT_EQ(last->row, 5);
        EXPECT_STREQ(first->displayName, "Series L40");
        EXPECT_STREQ(last->displayName, "Series L80");
        EXPECT_STREQ(first->baseName, "TKL40");
        EXPECT_STREQ(last->baseName, "TKL80");
        EXPECT_EQ(last->dataFile(".BA0"), "TKL80.BA0");
        for (int index = 33; index < 38; ++index) {
            auto model = labelLookup(index, is64Bit);
            ASSERT_TRUE(model);
            EXPECT_EQ(model->displayName, labelDisplayRows[index - 33]) << index;
            EXPECT_EQ(model->baseName, labelBaseNameRows[index - 33]) << index;
        }
    }
    EXPECT_EQ(rowsOf(labelDisplayTable()), labelDisplayRows);
    EXPECT_EQ(rowsOf(labelBaseNameTable()), labelBaseNameRows);
}

TEST(LabelLookup, FileListMatchesTheBitnessAndIsNeverMixed) {
    for (int index = 33; index < 38; ++index) {
        auto x86 = labelLookup(index, false);
        auto x64 = labelLookup(index, true);
        ASSERT_TRUE(x86 && x64);
        ASSERT_EQ(x86->files.size(), 30u);
        ASSERT_EQ(x64->files.size(), 30u);
        EXPECT_STREQ(x86->monitorDll(), "almonNT.dll");
        EXPECT_STREQ(x64->monitorDll(), "almon64.dll");
        EXPECT_STREQ(x86->driverDll(), "QLBDRV50.DLL");
        EXPECT_STREQ(x64->driverDll(), "QLBDRV56.DLL");
        EXPECT_STREQ(x86->uiDll(), "QLBUI50.DLL");
        EXPECT_STREQ(x64->uiDll(), "QLBUI56.DLL");
        for (const char* name : x64->languageDlls())
            EXPECT_NE(std::string(name).find("56.DLL"), std::string::npos) << name;
        for (const char* name : x86->languageDlls())
            EXPECT_NE(std::string(name).find("50.DLL"), std::string::npos) << name;
    }
}

TEST(LabelFileLists, LanguageCodesInRowOrder) {
    const char* codes[] = {"ENG", "SLO", "CRO", "GER", "DAN", "FRA", "SPA", "ITA", "FIN",
                           "DUT", "CZE", "POL", "HUN", "RUS", "TUR", "SWE", "HEB", "SVK",
                           "LIT", "CHI", "SCH", "TAI", "KOR", "JAP", "UKR", "NOR", "PBR"};
    for (bool is64Bit : {false, true}) {
        NameTable languages = labelFileList(is64Bit).subspan(3);
        ASSERT_EQ(languages.size(), std::size(codes));
        const char* suffix = is64Bit ? "56.DLL" : "50.DLL";
        for (std::size_t i = 0; i < languages.size(); ++i)
            EXPECT_EQ(languages[i], "QLB" + std::string(codes[i]) + suffix) << "row " << i + 4;
    }
}

// ---- Index guard -------------------------------------------------------------------------

TEST(IndexGuard, OutOfRangeIndexesAreRejected) {
    for (int index : {INT_MIN, -1, 38, 39, INT_MAX}) {
        EXPECT_FALSE(driverKind(index).has_value()) << index;
        EXPECT_FALSE(labelLookup(index, false).has_value()) << index;
        for (Program program : bothPrograms)
            EXPECT_FALSE(receiptLookup(program, index, "Series R20").has_value()) << index;
    }
    // Each lookup takes only its own side of the split at 33.
    EXPECT_FALSE(receiptLookup(Program::MultiSetup, 33, "").has_value());
    EXPECT_FALSE(labelLookup(32, true).has_value());
    EXPECT_EQ(driverKind(32), DriverKind::Receipt);
    EXPECT_EQ(driverKind(33), DriverKind::Label);
    EXPECT_EQ(driverKind(0), DriverKind::Receipt);
    EXPECT_EQ(driverKind(37), DriverKind::Label);
}

// ---- The package's file list ------------------------------------------------------------

TEST(PackageFiles, HoldEveryFileTheLookupsNameAndNothingTwice) {
    for (Program program : bothPrograms) {
        std::vector<PackageFile> listed = packageFiles(program);
        std::set<testing::FolderFile> listedSet;
        for (const PackageFile& file : listed) {
            EXPECT_TRUE(listedSet.insert({file.folder, file.name}).second)
                << "listed twice: " << packageFolderPath(file.folder) << '\\' << file.name;
        }
        for (const auto& [folder, name] : testing::lookupFiles(program))
            EXPECT_TRUE(listedSet.count({folder, name}))
                << programName(program) << " misses " << packageFolderPath(folder) << '\\' << name;
    }
}

TEST(DriverFiles, WhatOneInstallationTakesFromThePackage) {
    using F = PackageFolder;
    // The group-2 row whose text picks the second DLL, on a 64-bit system.
    EXPECT_EQ(driverFiles(Program::MultiSetup, 19, "Series R20", true),
              (std::vector<PackageFile>{{F::TicketX64, "RCPT03.DLL"}, {F::TicketX64, "TKP80R.GPD"},
                                        {F::TicketX64, "TKTPLUG.dll"}, {F::TicketX64, "TKTPLUG.ini"},
                                        {F::TicketX64, "uniDRVui.DLL"}, {F::TicketX64, "uniDRV.DLL"},
                                        {F::TicketX64, "UNIDRV.HLP"}, {F::TicketX64, "UNIRES.DLL"},
                                        {F::TicketX64, "TTFSUB.GPD"}, {F::TicketX64, "STDNAMES.GPD"}}));
    std::vector<PackageFile> label = driverFiles(Program::SoloSetup, 37, "", false);
    ASSERT_EQ(label.size(), 34u);
    EXPECT_EQ(label[0], (PackageFile{F::BarcodeX86, "almonNT.dll"}));
    EXPECT_EQ(label[29], (PackageFile{F::BarcodeX86, "QLBPBR50.DLL"}));
    EXPECT_EQ(std::vector<PackageFile>(label.begin() + 30, label.end()),
              (std::vector<PackageFile>{{F::BarcodeCommon, "THERMAL.chm"}, {F::BarcodeCommon, "TKL80.BA0"},
                                        {F::BarcodeCommon, "TKL80.DAT"}, {F::BarcodeCommon, "TKL80.PP0"}}));
    EXPECT_TRUE(driverFiles(Program::MultiSetup, 38, "", false).empty());
}

TEST(PackageFiles, FilesOfTheOtherProgramAreNotListed) {
    auto lists = [](Program program, const char* name) {
        for (const PackageFile& file : packageFiles(program))
            if (file.name == name) return true;
        return false;
    };
    EXPECT_FALSE(lists(Program::MultiSetup, "SOLO6.DLL"));
    EXPECT_FALSE(lists(Program::MultiSetup, "KV310A.GPD"));
    EXPECT_TRUE(lists(Program::SoloSetup, "SOLO7.DLL"));
    EXPECT_TRUE(lists(Program::SoloSetup, "KV310A.GPD"));
    EXPECT_FALSE(lists(Program::SoloSetup, "TKS80D.GPD"));
}

}  // namespace
}  // namespace setup
