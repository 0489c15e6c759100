#include "install/model_tables.h"

#include <algorithm>

namespace setup {
namespace {

// ---- Receipt models ----------------------------------------------------------------------

// Display names, in driver-index order: rows 1-15 group 1, 16-22 group 2, 23-27 group 3,
// 28-33 group 4.
constexpr const char* receiptDisplayNames[receiptDriverCount] = {
    "Series R01", "Series R02", "Series R03", "Series R04", "Series R05",
    "Series R06", "Series R07", "Series R08", "Series R09", "Series R10",
    "Series R11", "Series R12", "Series R13", "Series R14", "Series R15",
    "Series R16", "Series R17", "Series R18", "Series R19", "Series R20",
    "Series R21", "Series R22",
    "Series R23", "Series R24", "Series R25", "Series R26", "Series R27",
    "Series R28", "Series R29", "Series R30", "Series R31", "Series R32",
    "Series R33",
};

// Display rows whose driver text picks the group DLL, and rows that ship the plug-in files
// as dependent files.
constexpr int rowSeriesR20 = 20;
constexpr int rowSeriesR31 = 31;
constexpr int rowSeriesR32 = 32;
constexpr int rowSeriesR33 = 33;

template <std::size_t... Sizes>
constexpr auto joinRows(const std::array<const char*, Sizes>&... parts) {
    std::array<const char*, (Sizes + ...)> rows{};
    std::size_t next = 0;
    ((std::copy(parts.begin(), parts.end(), rows.begin() + next), next += Sizes), ...);
    return rows;
}

constexpr std::array<const char*, 5> sharedGroupDlls{
    "RCPT01", "RCPT02", "RCPT03", "RCPT04", "RCPT05"};
// SoloSetup's own group-4 DLLs, chosen between by the driver text.
constexpr std::array<const char*, 2> soloGroup4Dlls{"SOLO6", "SOLO7"};

// GPD base names of display rows 1-30, the same in both programs. Neighbouring models that
// share a printing engine share one GPD file.
constexpr std::array<const char*, 30> sharedGpds{
    "TKR58A", "TKR58A", "TKR58B", "TKR58C", "TKR76A",
    "TKR76B", "TKR80A", "TKR80B", "TKR80B", "TKR80C",
    "TKR80D", "TKR80E", "TKR82A", "TKR82B", "TKR83A",
    "TKP80A", "TKP80B", "TKP80C", "TKP80D", "TKP80R",
    "TKP80E", "TKP80F",
    "TKK58A", "TKK58B", "TKK80A", "TKK80B", "TKK80C",
    "TKS80A", "TKS80B", "TKS80C",
};
// Display rows 31-33: SoloSetup installs its KV-310 GPD files there.
constexpr std::array<const char*, 3> multiLastGpds{"TKS80D", "TKS80E", "TKS80F"};
constexpr std::array<const char*, 3> soloLastGpds{"KV310A", "KV310B", "KV310C"};

constexpr auto multiBaseNames = joinRows(sharedGroupDlls, sharedGpds, multiLastGpds);
constexpr auto soloBaseNames = joinRows(sharedGroupDlls, soloGroup4Dlls, sharedGpds, soloLastGpds);
static_assert(multiBaseNames.size() == 5 + receiptDriverCount);
static_assert(soloBaseNames.size() == 7 + receiptDriverCount);

// The system's universal printer driver, shipped beside the GPD files.
constexpr const char* unidrvFileNames[] = {
    "uniDRVui.DLL", "uniDRV.DLL", "UNIDRV.HLP", "UNIRES.DLL", "TTFSUB.GPD", "STDNAMES.GPD",
};

// sizeof counts the final NUL, so each block is exactly its bytes on the wire.
constexpr char shortBlock[] = "\\ttfsub.GPD\0\\unires.DLL\0\\stdnames.GPD";
constexpr char longBlock[] =
    "\\ttfsub.GPD\0\\unires.DLL\0\\stdnames.GPD\0\\TKTPLUG.ini\0\\TKTPLUG.dll";
static_assert(sizeof shortBlock == 38);
static_assert(sizeof longBlock == 64);

// ---- Label models ------------------------------------------------------------------------

constexpr const char* labelDisplayNames[labelDriverCount] = {
    "Series L40", "Series L42", "Series L60", "Series L62", "Series L80",
};
constexpr const char* labelBaseNames[labelDriverCount] = {
    "TKL40", "TKL42", "TKL60", "TKL62", "TKL80",
};

// Row 1 language monitor, row 2 driver, row 3 user interface, rows 4-30 language resources.
constexpr const char* labelFiles32[30] = {
    "almonNT.dll",  "QLBDRV50.DLL", "QLBUI50.DLL",
    "QLBENG50.DLL", "QLBSLO50.DLL", "QLBCRO50.DLL", "QLBGER50.DLL", "QLBDAN50.DLL",
    "QLBFRA50.DLL", "QLBSPA50.DLL", "QLBITA50.DLL", "QLBFIN50.DLL", "QLBDUT50.DLL",
    "QLBCZE50.DLL", "QLBPOL50.DLL", "QLBHUN50.DLL", "QLBRUS50.DLL", "QLBTUR50.DLL",
    "QLBSWE50.DLL", "QLBHEB50.DLL", "QLBSVK50.DLL", "QLBLIT50.DLL", "QLBCHI50.DLL",
    "QLBSCH50.DLL", "QLBTAI50.DLL", "QLBKOR50.DLL", "QLBJAP50.DLL", "QLBUKR50.DLL",
    "QLBNOR50.DLL", "QLBPBR50.DLL",
};
constexpr const char* labelFiles64[30] = {
    "almon64.dll",  "QLBDRV56.DLL", "QLBUI56.DLL",
    "QLBENG56.DLL", "QLBSLO56.DLL", "QLBCRO56.DLL", "QLBGER56.DLL", "QLBDAN56.DLL",
    "QLBFRA56.DLL", "QLBSPA56.DLL", "QLBITA56.DLL", "QLBFIN56.DLL", "QLBDUT56.DLL",
    "QLBCZE56.DLL", "QLBPOL56.DLL", "QLBHUN56.DLL", "QLBRUS56.DLL", "QLBTUR56.DLL",
    "QLBSWE56.DLL", "QLBHEB56.DLL", "QLBSVK56.DLL", "QLBLIT56.DLL", "QLBCHI56.DLL",
    "QLBSCH56.DLL", "QLBTAI56.DLL", "QLBKOR56.DLL", "QLBJAP56.DLL", "QLBUKR56.DLL",
    "QLBNOR56.DLL", "QLBPBR56.DLL",
};

// ---- Lookup helpers ----------------------------------------------------------------------

// The group (1..4) of a receipt display row, by the running sums of the group sizes.
int groupOfRow(int row) {
    int end = 0;
    for (int group = 1; group <= static_cast<int>(receiptGroupSizes.size()); ++group) {
        end += receiptGroupSizes[group - 1];
        if (row <= end) return group;
    }
    return 0;
}

// Group 2 and SoloSetup's group 4 each have two DLLs; one named model gets the second.
int groupDllRow(Program program, int group, std::string_view driverListText) {
    auto textIsRow = [&](int row) { return driverListText == receiptDisplayNames[row - 1]; };
    switch (group) {
        case 1: return 1;
        case 2: return textIsRow(rowSeriesR20) ? 3 : 2;
        case 3: return 4;
        default:
            if (program == Program::MultiSetup) return 5;
            return textIsRow(rowSeriesR32) ? 7 : 6;
    }
}

}  // namespace

std::optional<DriverKind> driverKind(int driverIndex) {
    if (driverIndex < 0 || driverIndex >= driverCount) return std::nullopt;
    return driverIndex < receiptDriverCount ? DriverKind::Receipt : DriverKind::Label;
}

NameTable receiptDisplayTable() { return receiptDisplayNames; }

NameTable receiptBaseNameTable(Program program) {
    if (program == Program::SoloSetup) return soloBaseNames;
    return multiBaseNames;
}

int groupDllRowCount(Program program) {
    return static_cast<int>(receiptBaseNameTable(program).size()) - receiptDriverCount;
}

NameTable unidrvFiles() { return unidrvFileNames; }
NameTable labelDisplayTable() { return labelDisplayNames; }
NameTable labelBaseNameTable() { return labelBaseNames; }
NameTable labelFileList(bool is64Bit) { return is64Bit ? NameTable(labelFiles64) : labelFiles32; }

std::string_view shortDependentBlock() { return {shortBlock, sizeof shortBlock}; }
std::string_view longDependentBlock() { return {longBlock, sizeof longBlock}; }

std::string ReceiptModel::gpdFile() const { return std::string(gpdBaseName) + std::string(gpdExtension); }

std::string ReceiptModel::groupDllFile() const {
    return std::string(groupDllBaseName) + std::string(groupDllExtension);
}

std::optional<ReceiptModel> receiptLookup(Program program, int driverIndex,
                                          std::string_view driverListText) {
    if (driverKind(driverIndex) != DriverKind::Receipt) return std::nullopt;
    NameTable baseNames = receiptBaseNameTable(program);
    ReceiptModel model{};
    model.row = driverIndex + 1;
    model.group = groupOfRow(model.row);
    model.gpdRow = model.row + groupDllRowCount(program);
    model.groupDllRow = groupDllRow(program, model.group, driverListText);
    model.displayName = receiptDisplayNames[driverIndex];
    model.gpdBaseName = baseNames[model.gpdRow - 1];
    model.groupDllBaseName = baseNames[model.groupDllRow - 1];
    bool shipsPlugin = model.row == rowSeriesR31 || model.row == rowSeriesR33;
    model.dependentBlock = shipsPlugin ? longDependentBlock() : shortDependentBlock();
    return model;
}

std::string LabelModel::dataFile(std::string_view extension) const {
    return std::string(baseName) + std::string(extension);
}

std::optional<LabelModel> labelLookup(int driverIndex, bool is64Bit) {
    if (driverKind(driverIndex) != DriverKind::Label) return std::nullopt;
    int k = driverIndex - receiptDriverCount;
    return LabelModel{k + 1, labelDisplayNames[k], labelBaseNames[k], labelFileList(is64Bit)};
}

// ---- The unpacked package ----------------------------------------------------------------

const char* packageFolderPath(PackageFolder folder) {
    switch (folder) {
        case PackageFolder::TicketX86: return "Ticket\\x86";
        case PackageFolder::TicketX64: return "Ticket\\x64";
        case PackageFolder::BarcodeX86: return "Barcode\\x86";
        case PackageFolder::BarcodeX64: return "Barcode\\x64";
        case PackageFolder::BarcodeCommon: return "Barcode\\Common";
    }
    return "";
}

bool isBitness64(PackageFolder folder) {
    return folder == PackageFolder::TicketX64 || folder == PackageFolder::BarcodeX64;
}

namespace {

void addOnce(std::vector<PackageFile>& files, PackageFolder folder, std::string name) {
    PackageFile file{folder, std::move(name)};
    if (std::find(files.begin(), files.end(), file) == files.end()) files.push_back(std::move(file));
}

// Group DLLs, GPD files, the plug-in pair and the universal driver, as the receipt engine
// copies them.
void addReceiptFiles(std::vector<PackageFile>& files, Program program, PackageFolder folder) {
    NameTable baseNames = receiptBaseNameTable(program);
    int dllRows = groupDllRowCount(program);
    for (int row = 1; row <= static_cast<int>(baseNames.size()); ++row) {
        std::string_view extension = row <= dllRows ? groupDllExtension : gpdExtension;
        addOnce(files, folder, std::string(baseNames[row - 1]) + std::string(extension));
    }
    addOnce(files, folder, std::string(pluginBaseName) + std::string(pluginLibraryExtension));
    addOnce(files, folder, std::string(pluginBaseName) + std::string(pluginSettingsExtension));
    for (const char* name : unidrvFileNames) addOnce(files, folder, name);
}

void addLabelCommonFiles(std::vector<PackageFile>& files) {
    addOnce(files, PackageFolder::BarcodeCommon, std::string(labelHelpFile));
    for (const char* base : labelBaseNames)
        for (std::string_view extension : labelDataExtensions)
            addOnce(files, PackageFolder::BarcodeCommon, base + std::string(extension));
}

}  // namespace

std::vector<PackageFile> driverFiles(Program program, int driverIndex, std::string_view driverListText,
                                     bool is64Bit) {
    std::vector<PackageFile> files;
    if (std::optional<ReceiptModel> receipt = receiptLookup(program, driverIndex, driverListText)) {
        PackageFolder folder = is64Bit ? PackageFolder::TicketX64 : PackageFolder::TicketX86;
        files.push_back({folder, receipt->groupDllFile()});
        files.push_back({folder, receipt->gpdFile()});
        files.push_back({folder, std::string(pluginBaseName) + std::string(pluginLibraryExtension)});
        files.push_back({folder, std::string(pluginBaseName) + std::string(pluginSettingsExtension)});
        for (const char* name : unidrvFileNames) files.push_back({folder, name});
    } else if (std::optional<LabelModel> label = labelLookup(driverIndex, is64Bit)) {
        PackageFolder folder = is64Bit ? PackageFolder::BarcodeX64 : PackageFolder::BarcodeX86;
        for (const char* name : label->files) files.push_back({folder, name});
        files.push_back({PackageFolder::BarcodeCommon, std::string(labelHelpFile)});
        for (std::string_view extension : labelDataExtensions)
            files.push_back({PackageFolder::BarcodeCommon, label->dataFile(extension)});
    }
    return files;
}

std::vector<PackageFile> packageFiles(Program program) {
    std::vector<PackageFile> files;
    addReceiptFiles(files, program, PackageFolder::TicketX86);
    addReceiptFiles(files, program, PackageFolder::TicketX64);
    for (PackageFolder folder : {PackageFolder::BarcodeX86, PackageFolder::BarcodeX64})
        for (const char* name : labelFileList(isBitness64(folder))) addOnce(files, folder, name);
    addLabelCommonFiles(files);
    return files;
}

}  // namespace setup
