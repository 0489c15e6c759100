// The port dialogs on the simulated desktop: a list view, the message boxes the dialog owns,
// and a user who follows a script.
#include <algorithm>

#include "platform/sim/sim_main_window.h"

namespace setup::sim {

namespace {

constexpr Handle portDialogWindow = 0x7002;

// One port dialog while it is shown, recording what the user sees.
class SimPortDialog : public PortDialogWindow {
public:
    explicit SimPortDialog(ShownPortDialog& shown) : shown_(shown) {}

    bool ended() const { return ended_; }
    void selectOnly(std::optional<int> row) {
        for (std::size_t r = 0; r < rows_.size(); ++r) rows_[r].selected = row && static_cast<int>(r) == *row;
    }
    void keepView() {
        shown_.columns = columns_;
        shown_.listStyle = style_;
        shown_.views.push_back(rows_);
    }

    Handle window() override { return portDialogWindow; }
    void listDeleteAllRows() override { rows_.clear(); }
    int listColumnCount() override { return static_cast<int>(columns_.size()); }
    void listDeleteColumn(int column) override {
        if (column >= 0 && column < listColumnCount()) columns_.erase(columns_.begin() + column);
    }
    std::uint32_t listExtendedStyle() override { return style_; }
    void setListExtendedStyle(std::uint32_t style) override { style_ = style; }
    void listInsertColumn(int column, const std::string& heading, int widthPixels) override {
        columns_.insert(columns_.begin() + std::clamp(column, 0, listColumnCount()), {heading, widthPixels});
    }
    int listInsertRow(int row, const std::string& text) override {
        if (row < 0) return -1;
        row = std::min(row, listRowCount());
        rows_.insert(rows_.begin() + row, PortRow{{text, ""}, false});
        return row;
    }
    void listSetText(int row, int column, const std::string& text) override {
        if (row < 0 || row >= listRowCount() || column < 0) return;
        auto& texts = rows_[row].texts;
        if (static_cast<int>(texts.size()) <= column) texts.resize(column + 1);
        texts[column] = text;
    }
    std::string listText(int row, int column) override {
        if (row < 0 || row >= listRowCount() || column < 0) return "";
        const auto& texts = rows_[row].texts;
        return column < static_cast<int>(texts.size()) ? texts[column] : "";
    }
    int listRowCount() override { return static_cast<int>(rows_.size()); }
    void listSelect(int row) override {
        // A single-selection list drops the previous selection; a row that does not exist
        // changes nothing.
        if (row >= 0 && row < listRowCount()) selectOnly(row);
    }
    bool listIsSelected(int row) override { return row >= 0 && row < listRowCount() && rows_[row].selected; }

    // The dialog's boxes have an OK button only.
    int messageBox(const std::string& text, const std::string& caption, std::uint32_t style) override {
        shown_.messageBoxes.push_back({text, caption, style});
        return message_box::idOk;
    }
    void endDialog(int result) override {
        if (ended_) return;
        ended_ = true;
        shown_.result = result;
    }

private:
    ShownPortDialog& shown_;
    std::vector<std::pair<std::string, int>> columns_;
    std::vector<PortRow> rows_;
    std::uint32_t style_ = 0;
    bool ended_ = false;
};

void take(const PortDialogStep& step, SimPortDialog& dialog, PortDialogEvents& events) {
    switch (step.kind) {
        case PortDialogStep::SelectRow: return dialog.selectOnly(step.row);
        case PortDialogStep::SelectNone: return dialog.selectOnly(std::nullopt);
        case PortDialogStep::Press: return events.onCommand(dialog, step.command);
        case PortDialogStep::CloseBox: return events.onClose(dialog);
        case PortDialogStep::Meanwhile: return step.happening();
    }
}

}  // namespace

int SimMainWindow::runPortDialog(int resourceId, PortDialogEvents& events) {
    std::vector<PortDialogStep> script;
    ShownPortDialog shown;
    {
        std::lock_guard<std::recursive_mutex> lock(controls_);
        if (!portDialogScripts.empty()) {
            script = std::move(portDialogScripts.front());
            portDialogScripts.pop_front();
        }
    }
    shown.resourceId = resourceId;
    shown.window = portDialogWindow;
    SimPortDialog dialog(shown);
    events.onInit(dialog);
    dialog.keepView();
    for (std::size_t next = 0; !dialog.ended(); ++next) {
        if (next < script.size()) {
            take(script[next], dialog, events);
        } else {
            // A user who has nothing left to do closes the dialog; one that does not close
            // is ended, so that a test cannot hang on it.
            events.onClose(dialog);
            if (!dialog.ended()) dialog.endDialog(-1);
        }
        dialog.keepView();
    }
    std::lock_guard<std::recursive_mutex> lock(controls_);
    portDialogs.push_back(shown);
    return shown.result;
}

}  // namespace setup::sim
