#pragma once
#include <cstddef>
#include <cstdint>

namespace archiver {

// CRC-32 (IEEE 802.3, reflected, as used by 7z). Pass the previous result to continue.
uint32_t crc32_update(uint32_t crc, const uint8_t* data, size_t size);
inline uint32_t crc32(const uint8_t* data, size_t size) { return crc32_update(0, data, size); }

}  // namespace archiver
