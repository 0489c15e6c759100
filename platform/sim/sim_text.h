#pragma once

#include <algorithm>
#include <cctype>
#include <string>

namespace setup::sim {

// Windows compares names of files, keys and values without regard to case.
inline std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

inline bool equalNoCase(const std::string& a, const std::string& b) {
    return lower(a) == lower(b);
}

}  // namespace setup::sim
