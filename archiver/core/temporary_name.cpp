#include "archiver/core/temporary_name.h"

namespace archiver {

namespace {

constexpr std::string_view kMarker = ".7ztmp";

// A number as std::to_string writes an unsigned 32-bit one: 1 to 10 digits, no leading zero.
bool is_decimal(std::string_view digits) {
    if (digits.empty() || digits.size() > 10) return false;
    if (digits.size() > 1 && digits[0] == '0') return false;
    for (char c : digits)
        if (c < '0' || c > '9') return false;
    return true;
}

}  // namespace

std::string temporary_suffix(unsigned long process_id, unsigned sequence) {
    return std::string(kMarker) + std::to_string(process_id) + "_" + std::to_string(sequence);
}

std::optional<std::string_view> final_name_of_temporary(std::string_view file_name) {
    const size_t marker = file_name.rfind(kMarker);
    if (marker == std::string_view::npos || marker == 0) return std::nullopt;
    const std::string_view numbers = file_name.substr(marker + kMarker.size());
    const size_t underscore = numbers.find('_');
    if (underscore == std::string_view::npos) return std::nullopt;
    if (!is_decimal(numbers.substr(0, underscore)) || !is_decimal(numbers.substr(underscore + 1)))
        return std::nullopt;
    return file_name.substr(0, marker);
}

}  // namespace archiver
