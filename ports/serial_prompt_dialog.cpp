#include "ports/serial_prompt_dialog.h"

namespace setup {

namespace {
// The rates of the baud list's entries, in the order its resource lists them.
constexpr int baudRates[] = {300, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
static_assert(sizeof baudRates / sizeof baudRates[0] == baudEntryCount);
// 19200 baud, the rate most of the printers leave the factory with.
constexpr int preselectedEntry = 5;
}  // namespace

void SerialPromptDialog::onInit(SerialPromptView& view) {
    view.selectBaudEntry(preselectedEntry);
}

void SerialPromptDialog::onYes(SerialPromptView& view) {
    view.end(ResultRowBase + view.baudEntrySelection());
}

void SerialPromptDialog::onNo(SerialPromptView& view) {
    view.end(ResultNone);
}

std::optional<int> baudRateOfAnswer(int answer) {
    int entry = answer - ResultRowBase;
    if (entry < 0 || entry >= baudEntryCount) return std::nullopt;
    return baudRates[entry];
}

std::optional<int> baudEntryOf(int baudRate) {
    for (int entry = 0; entry < baudEntryCount; ++entry)
        if (baudRates[entry] == baudRate) return entry;
    return std::nullopt;
}

}  // namespace setup
