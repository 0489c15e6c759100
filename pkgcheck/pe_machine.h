#pragma once

// The machine a PE file (DLL or EXE) is built for, read from its headers as its bytes
// stream past: the DOS header names where the PE header lies, and that names the machine.

#include <cstddef>
#include <cstdint>
#include <optional>

namespace setup::pkgcheck {

inline constexpr std::uint16_t machineI386 = 0x014C;
inline constexpr std::uint16_t machineAmd64 = 0x8664;

class PeMachineProbe {
public:
    // The next bytes of the file, in order.
    void feed(const std::uint8_t* bytes, std::size_t size);
    // The machine field; nothing when the file is not a PE file (or ended before its header).
    std::optional<std::uint16_t> machine() const;

private:
    static constexpr std::size_t dosHeaderSize = 64;
    static constexpr std::size_t peOffsetField = 0x3C;
    static constexpr std::size_t peHeadSize = 6;  // "PE\0\0", then the machine

    void take(std::uint64_t offset, std::uint8_t byte);

    std::uint64_t position_ = 0;
    std::uint8_t dos_[dosHeaderSize] = {};
    std::uint8_t peHead_[peHeadSize] = {};
    std::size_t peHeadBytes_ = 0;
    std::optional<std::uint64_t> peOffset_;
};

}  // namespace setup::pkgcheck
