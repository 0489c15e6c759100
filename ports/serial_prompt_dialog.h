#pragma once

#include <optional>

#include "platform/main_window.h"
#include "ports/port_dialogs.h"

namespace setup {

// The serial prompt (dialog 136): shall the program look for the printer's serial port, and
// at which baud rate. Its answer is ResultNone for "&No" or ResultRowBase plus the index of
// the chosen baud-list entry for "&Yes".
class SerialPromptDialog : public SerialPromptEvents {
public:
    explicit SerialPromptDialog(MainWindow& owner) : owner_(owner) {}

    // Shows the dialog modally over its owner and returns the answer.
    int DoModal() { return owner_.runSerialPrompt(*this); }

    void onInit(SerialPromptView& view) override;
    void onYes(SerialPromptView& view) override;
    void onNo(SerialPromptView& view) override;

private:
    MainWindow& owner_;
};

// The baud rate an answer of the prompt stands for; nothing for No and for the platform's
// own results (Enter, Escape, the close box).
std::optional<int> baudRateOfAnswer(int answer);

// How many rates the baud list offers.
constexpr int baudEntryCount = 9;

// The baud-list entry of a rate; nothing for a rate the list does not offer.
std::optional<int> baudEntryOf(int baudRate);

}  // namespace setup
