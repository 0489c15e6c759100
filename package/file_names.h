#pragma once

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string_view>

#include "platform/files.h"

namespace setup {

// Whether two names are one to the file system: letters compare without regard to case.
inline bool sameFileName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

// Whether attributes are a link's (a reparse point): the package never writes or deletes
// through one.
inline bool isLink(std::uint32_t attributes) {
    return (attributes & fileAttributeReparsePoint) != 0;
}

}  // namespace setup
