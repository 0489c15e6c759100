#pragma once

#include <string>
#include <vector>

#include "ports/port_choice.h"
#include "ports/port_dialogs.h"
#include "probe/port_enumeration.h"
#include "tests/core/fixture.h"

namespace setup::test {

using Step = sim::PortDialogStep;
using Command = PortDialogCommand;

inline PortInfo localPort(const std::string& name) {
    return {name, "Local Port", "Local Port", 0};
}

inline PortInfo tcpIpPort(const std::string& name, const std::string& description = tcpIpPortDescription) {
    return {name, tcpIpPortMonitor, description, 0};
}

// A prepared main dialog on which the engines' first step runs for a port kind, on the
// dialog's thread and with Install disabled, as an Install press leaves it.
struct PortChoiceDesktop {
    Desktop desktop;
    sim::SimMainWindow& window = desktop.window;
    sim::SimWindows& machine = desktop.machine;
    InstallValues& values = desktop.dialog.values;

    // What the user sees of the main dialog before the step.
    std::vector<std::string> statusBefore;
    std::vector<int> progressBefore;
    std::size_t boxesBefore = 0;

    void prepare(const std::vector<PortInfo>& ports) {
        machine.ports = ports;
        desktop.openAndPrepare();
    }

    // Runs the step with the user's steps in each port dialog; returns its result.
    bool choose(int portKind, std::vector<std::vector<Step>> scripts = {}, const std::string& chosenBefore = "COM9:") {
        bool chosen = false;
        window.onDialogThread([&] {
            window.portDialogScripts.assign(scripts.begin(), scripts.end());
            window.enableInstall(false);
            values.portKind = portKind;
            values.chosenPort = chosenBefore;
            statusBefore = window.statusHistory;
            progressBefore = window.progressHistory;
            boxesBefore = window.messageBoxes.size();
            chosen = choosePortBeforeInstall(desktop.dialog.context());
        });
        return chosen;
    }

    // A stop leaves the installation as it was: Install usable again, the chosen port, the
    // status line and the progress bar untouched.
    void expectStopped(const std::string& chosenBefore = "COM9:") {
        EXPECT_TRUE(window.installEnabled);
        EXPECT_EQ(values.chosenPort, chosenBefore);
        EXPECT_EQ(window.statusHistory, statusBefore);
        EXPECT_EQ(window.progressHistory, progressBefore);
    }

    const sim::ShownPortDialog& onlyDialog() {
        EXPECT_EQ(window.portDialogs.size(), 1u);
        static const sim::ShownPortDialog none;
        return window.portDialogs.empty() ? none : window.portDialogs.front();
    }
    // The port names of a view of a dialog's list, and the rows selected in it.
    static std::vector<std::string> names(const std::vector<sim::PortRow>& rows) {
        std::vector<std::string> names;
        for (const auto& row : rows) names.push_back(row.texts.at(0));
        return names;
    }
    static std::vector<int> selected(const std::vector<sim::PortRow>& rows) {
        std::vector<int> selected;
        for (std::size_t r = 0; r < rows.size(); ++r)
            if (rows[r].selected) selected.push_back(static_cast<int>(r));
        return selected;
    }
    std::size_t enumerations() { return machine.logMatching("EnumPorts").size(); }
};

}  // namespace setup::test
