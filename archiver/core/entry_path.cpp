#include "archiver/core/entry_path.h"

#include <vector>

#include "archiver/core/archive_error.h"

namespace archiver {
namespace {

std::string upper_ascii(std::string s) {
    for (auto& ch : s)
        if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
    return s;
}

// CON, PRN, AUX, NUL, COM0-9, LPT0-9 (also with superscript digits), CONIN$, CONOUT$:
// Windows opens the device whatever extension follows.
bool is_device_name(const std::string& component) {
    std::string stem = component.substr(0, component.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    stem = upper_ascii(stem);
    if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL" || stem == "CONIN$" || stem == "CONOUT$")
        return true;
    if (stem.size() < 4 || (stem.compare(0, 3, "COM") != 0 && stem.compare(0, 3, "LPT") != 0)) return false;
    const std::string digit = stem.substr(3);
    if (digit.size() == 1) return digit[0] >= '0' && digit[0] <= '9';
    return digit == "\xC2\xB9" || digit == "\xC2\xB2" || digit == "\xC2\xB3";
}

[[noreturn]] void refuse(const std::string& name, const char* why) {
    fail(ErrorKind::UnsafePath, "refused entry \"" + name + "\": " + why);
}

}  // namespace

std::string safe_relative_path(const std::string& name) {
    if (name.empty()) refuse(name, "empty name");
    if (name[0] == '/' || name[0] == '\\') refuse(name, "absolute path");
    std::string result;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of("/\\", start);
        if (end == std::string::npos) end = name.size();
        const std::string part = name.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == ".") continue;
        if (part.find_first_not_of(". ") == std::string::npos) refuse(name, "parent folder reference");
        for (unsigned char ch : part) {
            if (ch == ':') refuse(name, "drive letter or alternate data stream");
            if (ch < 0x20 || ch == '<' || ch == '>' || ch == '"' || ch == '|' || ch == '?' || ch == '*')
                refuse(name, "character not allowed in Windows file names");
        }
        if (is_device_name(part)) refuse(name, "Windows device name");
        if (!result.empty()) result += '/';
        result += part;
    }
    if (result.empty()) refuse(name, "empty name");
    return result;
}

std::string base_name(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace archiver
