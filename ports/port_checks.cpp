#include "ports/port_checks.h"

#include "context/dialog_context.h"
#include "probe/port_enumeration.h"

#include <cstdio>

namespace setup {

namespace {

// ERROR_CANCELLED: the user closed the port monitor's dialog, which is no failure to tell.
constexpr std::uint32_t addCancelled = 1223;

// Shows the dialog, then brings the port lists up to date with what the user added or
// deleted meanwhile, so that the answer is read against the ports that exist now. The
// port kind the user picked stays selected.
PortAnswer askAndRefresh(DialogContext& context, PortChoiceDialog&& dialog) {
    PortAnswer answer = dialog.run();
    refreshPortLists(context);
    return answer;
}

}  // namespace

PortAnswer checkParallelPort(DialogContext& context) {
    const std::vector<std::string>& ports = context.values.ports.parallel;
    if (ports.empty()) {
        context.calls.appMessageBox(text::noParallelPort, message_box::ok);
        return {ResultNone, ""};
    }
    if (ports.size() == 1) return {ResultRowBase, ports.front()};
    return askAndRefresh(context, ParallelPortDialog(context));
}

PortAnswer checkTcpIpPort(DialogContext& context) {
    if (!context.values.ports.tcpIp.empty()) return askAndRefresh(context, TcpPortDialog(context));
    SpoolerCall added = context.platform.spooler.addPort(context.window.window(), tcpIpPortMonitor);
    refreshPortLists(context);
    if (!added.ok && added.error != addCancelled) {
        char message[1024];
        std::snprintf(message, sizeof message, text::tcpIpPortNotAdded,
                      systemErrorText(context.platform.system, added.error).c_str());
        context.calls.appMessageBox(message, message_box::ok | message_box::iconError);
    }
    return {added.ok ? ResultPortAdded : ResultNone, ""};
}

}  // namespace setup
