#include "tools/sample_package/sample_package.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <set>
#include <system_error>
#include <vector>

#include "install/model_tables.h"

namespace setup::sample {
namespace fs = std::filesystem;

namespace {

constexpr Program bothPrograms[] = {Program::MultiSetup, Program::SoloSetup};

// Further printer names offered beside a model's own display name, by driver index. They
// make the driver-list text differ from the display row: an extra name in the "Series R20"
// or "Series R32" section installs that row with the group's other DLL.
const std::map<int, std::vector<std::string>> extraPrinterNames{
    {0, {"Series R01 Kiosk"}},
    {19, {"Series R20 Plus"}},
    {31, {"Series R32 II", "Series R32 Wall Mount"}},
    {33, {"Series L40 (203 dpi)", "Series L40 (300 dpi)"}},
    {34, {"Series L42 (203 dpi)"}},
    {35, {"Series L60 (203 dpi)"}},
    {36, {"Series L62 (203 dpi)", "Series L62 (300 dpi)"}},
    {37, {"Series L80 (203 dpi)"}},
};

// Display names of the driver indexes, in section order.
std::vector<std::string> driverDisplayNames() {
    NameTable receipts = receiptDisplayTable();
    NameTable labels = labelDisplayTable();
    std::vector<std::string> names(receipts.begin(), receipts.end());
    names.insert(names.end(), labels.begin(), labels.end());
    return names;
}

bool endsWithNoCase(std::string_view name, std::string_view suffix) {
    if (name.size() < suffix.size()) return false;
    return std::equal(suffix.begin(), suffix.end(), name.end() - suffix.size(),
                      [](char a, char b) { return std::tolower(a) == std::tolower(b); });
}

// The models that use each model-specific data file (GPD files and label data files), so
// the sample contents can say which printers they describe.
std::map<std::string, std::set<std::string>> modelsByFile() {
    std::map<std::string, std::set<std::string>> models;
    for (Program program : bothPrograms)
        for (int index = 0; index < receiptDriverCount; ++index)
            if (auto receipt = receiptLookup(program, index, ""))
                models[receipt->gpdFile()].insert(receipt->displayName);
    for (int index = receiptDriverCount; index < driverCount; ++index)
        if (auto label = labelLookup(index, false))
            for (std::string_view extension : labelDataExtensions)
                models[label->dataFile(extension)].insert(label->displayName);
    return models;
}

std::string joined(const std::set<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
    return text;
}

std::string gpdContent(const std::string& file, const std::set<std::string>& models) {
    std::string text = "*% Receipt printer minidriver: " + (models.empty() ? "shared definitions" : joined(models)) + "\r\n";
    text += "*GPDSpecVersion: \"1.0\"\r\n*GPDFileVersion: \"1.0\"\r\n";
    text += "*GPDFileName: \"" + file + "\"\r\n";
    if (!models.empty()) {
        text += "*ModelName: \"" + *models.begin() + "\"\r\n";
        text += "*MasterUnits: PAIR(203, 203)\r\n*PrinterType: SERIAL\r\n*Include: \"STDNAMES.GPD\"\r\n";
    }
    return text;
}

std::string iniContent(const std::string& file, const std::set<std::string>& models) {
    std::string text = "; " + file + "\r\n[General]\r\nVersion=1.0\r\n";
    if (!models.empty()) text += "Models=" + joined(models) + "\r\nResolution=203\r\n";
    return text;
}

std::string helpContent(const std::string& file, const std::set<std::string>& models) {
    return file + ": help for " + (models.empty() ? "the printer drivers" : joined(models)) + "\r\n";
}

// Small text contents shaped like the files they stand for.
std::string textContent(const std::string& file, const std::set<std::string>& models) {
    if (endsWithNoCase(file, ".gpd")) return gpdContent(file, models);
    if (endsWithNoCase(file, ".chm") || endsWithNoCase(file, ".hlp")) return helpContent(file, models);
    return iniContent(file, models);
}

void writeBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw fs::filesystem_error("cannot write", path,
                                   std::make_error_code(std::errc::io_error));
    }
}

// Both programs' files, each once.
std::vector<PackageFile> filesOfBothPrograms() {
    std::vector<PackageFile> files;
    for (Program program : bothPrograms)
        for (PackageFile& file : packageFiles(program))
            if (std::find(files.begin(), files.end(), file) == files.end())
                files.push_back(std::move(file));
    return files;
}

}  // namespace

fs::path folderOnDisk(const fs::path& root, PackageFolder folder) {
    std::string relative = packageFolderPath(folder);
    std::replace(relative.begin(), relative.end(), '\\', '/');
    return root / relative;
}

std::string printerNameList() {
    std::string text;
    std::vector<std::string> sections = driverDisplayNames();
    for (int index = 0; index < static_cast<int>(sections.size()); ++index) {
        std::vector<std::string> names{sections[index]};
        if (auto extra = extraPrinterNames.find(index); extra != extraPrinterNames.end())
            names.insert(names.end(), extra->second.begin(), extra->second.end());
        text += "[" + sections[index] + "]\r\n";
        for (std::size_t key = 0; key < names.size(); ++key)
            text += "PrintName" + std::to_string(key + 1) + "=" + names[key] + "\r\n";
        text += "\r\n";
    }
    return text;
}

void writeSamplePackage(const fs::path& root, const fs::path& dll32, const fs::path& dll64) {
    for (PackageFolder folder : packageFolders) fs::create_directories(folderOnDisk(root, folder));
    writeBytes(root / printerNameListFile, printerNameList());
    const auto models = modelsByFile();
    for (const PackageFile& file : filesOfBothPrograms()) {
        fs::path target = folderOnDisk(root, file.folder) / file.name;
        if (endsWithNoCase(file.name, ".dll")) {
            const fs::path& source = isBitness64(file.folder) ? dll64 : dll32;
            fs::copy_file(source, target, fs::copy_options::overwrite_existing);
            continue;
        }
        auto used = models.find(file.name);
        writeBytes(target, textContent(file.name, used == models.end() ? std::set<std::string>{}
                                                                      : used->second));
    }
}

}  // namespace setup::sample
