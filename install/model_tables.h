#pragma once

// The model tables: every receipt and label driver the installer can register, and every
// file that makes one up. The driver index is the 0-based position of a section of
// DriverName.cfg; the receipt rows come first (four groups), then the label rows.
// These tables are the only list of models and driver files; the engines and the sample
// package builder both read them.

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "config/program.h"

namespace setup {

using NameTable = std::span<const char* const>;

// Receipt groups: each shares one group DLL.
inline constexpr std::array<int, 4> receiptGroupSizes{15, 7, 5, 6};
inline constexpr int receiptDriverCount = 33;
inline constexpr int labelDriverCount = 5;
inline constexpr int driverCount = receiptDriverCount + labelDriverCount;  // 38

// File names the receipt engine forms from base names.
inline constexpr std::string_view groupDllExtension = ".DLL";
inline constexpr std::string_view gpdExtension = ".GPD";
inline constexpr std::string_view pluginBaseName = "TKTPLUG";
inline constexpr std::string_view pluginLibraryExtension = ".dll";
inline constexpr std::string_view pluginSettingsExtension = ".ini";

// Label constants.
inline constexpr std::string_view labelMonitorName = "Advanced Language Monitor";
inline constexpr std::string_view labelHelpFile = "THERMAL.chm";
inline constexpr std::array<std::string_view, 3> labelDataExtensions{".BA0", ".DAT", ".PP0"};
inline constexpr std::string_view labelBa0Extension = labelDataExtensions[0];
inline constexpr std::string_view labelDatExtension = labelDataExtensions[1];
inline constexpr std::string_view labelPp0Extension = labelDataExtensions[2];

enum class DriverKind { Receipt, Label };

// Receipt or label for a driver index; nothing for an index outside the tables.
std::optional<DriverKind> driverKind(int driverIndex);

// The raw tables (rows in the order the engines number them, from 1).
NameTable receiptDisplayTable();              // 33 rows
NameTable receiptBaseNameTable(Program program);  // 5 or 7 group DLL rows, then 33 GPD rows
int groupDllRowCount(Program program);        // 5 or 7
NameTable unidrvFiles();                      // 6 rows, in copy order
NameTable labelDisplayTable();                // 5 rows
NameTable labelBaseNameTable();               // 5 rows
NameTable labelFileList(bool is64Bit);        // 30 rows

// The dependent-file blocks copied verbatim into a receipt driver's dependent-file list:
// NUL-terminated names, each with a leading backslash (38 and 64 bytes, NULs included).
std::string_view shortDependentBlock();
std::string_view longDependentBlock();

struct ReceiptModel {
    int row;                   // display row, 1..33
    int group;                 // 1..4
    int gpdRow;                // row of the GPD base name in the base-name table
    int groupDllRow;           // row of the group DLL base name in the base-name table
    const char* displayName;   // driver name in the spooler
    const char* gpdBaseName;
    const char* groupDllBaseName;
    std::string_view dependentBlock;  // long block for the rows that ship the plug-in files

    std::string gpdFile() const;       // base name + ".GPD"
    std::string groupDllFile() const;  // base name + ".DLL"
};

// The receipt row of a driver index 0..32. driverListText is the current text of the
// driver list; it picks the group DLL in group 2 and, in SoloSetup, in group 4.
std::optional<ReceiptModel> receiptLookup(Program program, int driverIndex,
                                          std::string_view driverListText);

struct LabelModel {
    int row;                  // label row, 1..5
    const char* displayName;  // driver name in the spooler
    const char* baseName;     // names the model's .BA0, .DAT and .PP0 files
    NameTable files;          // the 30-row file list of the system's bitness

    const char* monitorDll() const { return files[0]; }
    const char* driverDll() const { return files[1]; }
    const char* uiDll() const { return files[2]; }
    NameTable languageDlls() const { return files.subspan(3); }  // the dependent DLLs
    std::string dataFile(std::string_view extension) const;      // base name + extension
};

// The label row of a driver index 33..37.
std::optional<LabelModel> labelLookup(int driverIndex, bool is64Bit);

// The folders of the unpacked driver package, relative to the drive root.
enum class PackageFolder { TicketX86, TicketX64, BarcodeX86, BarcodeX64, BarcodeCommon };
inline constexpr std::array<PackageFolder, 5> packageFolders{
    PackageFolder::TicketX86, PackageFolder::TicketX64, PackageFolder::BarcodeX86,
    PackageFolder::BarcodeX64, PackageFolder::BarcodeCommon};

const char* packageFolderPath(PackageFolder folder);  // e.g. "Ticket\\x86"
bool isBitness64(PackageFolder folder);                // the x64 folders

struct PackageFile {
    PackageFolder folder;
    std::string name;

    bool operator==(const PackageFile&) const = default;
};

// The files one installation of a driver index takes from the package, on a system of the
// given bitness: what the engine copies for that row (driverListText as for receiptLookup).
// Empty for an index outside the tables.
std::vector<PackageFile> driverFiles(Program program, int driverIndex, std::string_view driverListText,
                                     bool is64Bit);

// Every file named by one program's tables, in its package folder, each once: what the
// driver package must hold for the engines of that program, for both bitnesses.
std::vector<PackageFile> packageFiles(Program program);

}  // namespace setup
