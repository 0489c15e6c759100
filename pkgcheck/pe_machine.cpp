#include "pkgcheck/pe_machine.h"

namespace setup::pkgcheck {

void PeMachineProbe::feed(const std::uint8_t* bytes, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        // Past both headers nothing more is wanted: skip the rest of the block at once.
        if (peOffset_ && position_ >= *peOffset_ + peHeadSize) {
            position_ += size - i;
            return;
        }
        take(position_++, bytes[i]);
    }
}

void PeMachineProbe::take(std::uint64_t offset, std::uint8_t byte) {
    if (offset < dosHeaderSize) {
        dos_[offset] = byte;
        if (offset + 1 == dosHeaderSize && dos_[0] == 'M' && dos_[1] == 'Z')
            peOffset_ = std::uint64_t{dos_[peOffsetField]} | std::uint64_t{dos_[peOffsetField + 1]} << 8 |
                        std::uint64_t{dos_[peOffsetField + 2]} << 16 | std::uint64_t{dos_[peOffsetField + 3]} << 24;
    }
    if (peOffset_ && offset >= *peOffset_ && offset < *peOffset_ + peHeadSize) {
        peHead_[offset - *peOffset_] = byte;
        ++peHeadBytes_;
    }
}

std::optional<std::uint16_t> PeMachineProbe::machine() const {
    if (peHeadBytes_ < peHeadSize) return std::nullopt;
    if (peHead_[0] != 'P' || peHead_[1] != 'E' || peHead_[2] != 0 || peHead_[3] != 0) return std::nullopt;
    return static_cast<std::uint16_t>(peHead_[4] | peHead_[5] << 8);
}

}  // namespace setup::pkgcheck
