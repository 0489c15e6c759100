#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace archiver {

// 7z stores names as UTF-16LE; we carry them as UTF-8. Unpaired surrogates become U+FFFD.
std::string utf16le_to_utf8(const uint8_t* data, size_t units);

}  // namespace archiver
