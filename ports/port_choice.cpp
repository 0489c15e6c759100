#include "ports/port_choice.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "context/dialog_context.h"
#include "ports/port_checks.h"

namespace setup {

namespace {

// The port an answer names in the refreshed list of its kind, if any. A chosen row is
// found by the port it showed: the dialogs list the spooler's ports by their own rule, so a
// row's position need not be the port's position in the list (an LPT port with a TCP/IP
// description is a row of the parallel dialog but not a parallel port), and a port the list
// no longer holds cannot be used.
// A row whose port is gone is said, so that the user knows why nothing was installed.
std::optional<std::string> portOf(DialogContext& context, const PortAnswer& answer,
                                  const std::vector<std::string>& refreshed, bool portAddedCounts) {
    if (answer.code == ResultPortAdded) {
        if (!portAddedCounts || refreshed.empty()) return std::nullopt;
        // The port this installer added: the installation record says so, for its removal.
        context.values.portAdded = true;
        return refreshed.front();
    }
    if (answer.code < ResultRowBase || answer.code == ResultNone) return std::nullopt;
    if (std::find(refreshed.begin(), refreshed.end(), answer.port) == refreshed.end()) {
        char message[512];
        std::snprintf(message, sizeof message, text::portGone, answer.port.c_str());
        context.calls.appMessageBox(message, message_box::ok | message_box::iconWarning);
        return std::nullopt;
    }
    return answer.port;
}

}  // namespace

bool choosePortBeforeInstall(DialogContext& context) {
    InstallValues& values = context.values;
    std::optional<std::string> port;
    values.portAdded = false;
    switch (values.portKind.value_or(-1)) {
        case portKindTcpIp: port = portOf(context, checkTcpIpPort(context), values.ports.tcpIp, true); break;
        case portKindParallel: port = portOf(context, checkParallelPort(context), values.ports.parallel, false); break;
        default: return true;
    }
    if (!port) {
        // Nothing chosen: the user may pick another port kind and press Install again.
        context.window.enableInstall(true);
        return false;
    }
    values.chosenPort = *port;
    return true;
}

}  // namespace setup
