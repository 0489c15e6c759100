#include "ports/port_checks.h"

#include "context/dialog_context.h"
#include "probe/port_enumeration.h"

namespace setup {

namespace {

// Shows the dialog, then brings the port lists up to date with what the user added or
// deleted meanwhile, so that the answer is read against the ports that exist now.
PortAnswer askAndRefresh(DialogContext& context, PortChoiceDialog&& dialog) {
    PortAnswer answer = dialog.run();
    enumeratePorts(context);
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
    enumeratePorts(context);
    return {added.ok ? ResultPortAdded : ResultNone, ""};
}

}  // namespace setup
