#include "install/printer_name_rule.h"

#include "config/build_config.h"

namespace setup {

namespace {

// The spooler keeps printer names of up to 220 characters; a comma or a backslash would
// split the name where the spooler parses "name,winspool,port" and "\\server\name".
constexpr std::size_t maxPrinterNameLength = 220;

}  // namespace

const char* printerNameProblem(const std::string& printerName) {
    if (printerName.empty()) return text::printerNameEmpty;
    if (printerName.size() > maxPrinterNameLength) return text::printerNameTooLong;
    if (printerName.find(',') != std::string::npos) return text::printerNameComma;
    if (printerName.find('\\') != std::string::npos) return text::printerNameBackslash;
    return nullptr;
}

}  // namespace setup
