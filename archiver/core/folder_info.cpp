#include "archiver/core/folder_info.h"

#include <cstdio>

namespace archiver {

bool is_encryption(uint64_t id) { return (id >> 8) == 0x06F107 || (id >> 16) == 0x06F1; }

std::string method_name(uint64_t id) {
    switch (id) {
    case 0x00: return "Copy";
    case 0x03: return "Delta";
    case 0x04: case 0x03030103: return "BCJ";
    case 0x0303011B: return "BCJ2";
    case 0x0A: return "ARM64";
    case 0x0B: return "RISCV";
    case 0x030101: return "LZMA";
    case 0x21: return "LZMA2";
    case 0x030401: return "PPMd";
    case 0x040202: return "BZip2";
    case 0x040108: return "Deflate";
    case 0x040109: return "Deflate64";
    case 0x06F10701: return "7zAES encryption";
    case 0x03030205: return "PPC";
    case 0x03030401: return "IA64";
    case 0x03030501: return "ARM";
    case 0x03030701: return "ARMT";
    case 0x03030805: return "SPARC";
    default: break;
    }
    if (is_encryption(id)) return "encryption";
    char buf[32];
    std::snprintf(buf, sizeof buf, "method 0x%llX", static_cast<unsigned long long>(id));
    return buf;
}

}  // namespace archiver
