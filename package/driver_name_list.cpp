#include "package/driver_name_list.h"

namespace setup {

namespace {

// The names of one section: "PrintName1", "PrintName2" ... until the first missing or
// empty key, at most 50.
std::vector<std::string> readPrinterNames(FileSystem& files, const std::string& listFile, const std::string& section) {
    std::vector<std::string> names;
    for (int k = 1; k <= maxPrinterNamesPerSection; ++k) {
        std::string name = files.profileString(listFile, section, printerNameKey(k), printerNameBufferSize);
        if (name.empty()) break;
        names.push_back(std::move(name));
    }
    return names;
}

}  // namespace

std::string printerNameKey(int k) {
    return "PrintName" + std::to_string(k);
}

std::vector<DriverNameSection> readDriverNameList(FileSystem& files, const std::string& listFile,
                                                  std::uint32_t namesBufferSize) {
    std::vector<DriverNameSection> sections;
    const std::string buffer = files.profileSectionNames(listFile, namesBufferSize);
    // An empty list starts with its closing NUL: no section at all.
    if (buffer.empty() || buffer[0] == '\0') return sections;
    std::size_t start = 0;
    for (std::size_t p = 0; p + 1 < buffer.size(); ++p) {
        if (buffer[p] != '\0') continue;
        // Every section is one position, however long its name.
        std::string name = buffer.substr(start, p - start);
        std::vector<std::string> printerNames = readPrinterNames(files, listFile, name);
        sections.push_back({std::move(name), std::move(printerNames)});
        if (buffer[p + 1] == '\0') break;
        start = p + 1;
    }
    return sections;
}

std::vector<std::vector<std::string>> readDriverNameSections(FileSystem& files, const std::string& listFile) {
    std::vector<std::vector<std::string>> sections;
    for (DriverNameSection& section : readDriverNameList(files, listFile))
        sections.push_back(std::move(section.printerNames));
    return sections;
}

std::optional<int> driverIndexOf(const std::vector<std::vector<std::string>>& sections, const std::string& name) {
    std::optional<int> index;
    for (std::size_t s = 0; s < sections.size(); ++s)
        for (const std::string& listed : sections[s])
            if (listed == name) index = static_cast<int>(s);
    return index;
}

}  // namespace setup
