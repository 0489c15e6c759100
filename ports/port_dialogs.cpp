#include "ports/port_dialogs.h"

#include "context/dialog_context.h"
#include "probe/port_enumeration.h"

namespace setup {

namespace {

int firstSelectedRow(PortDialogWindow& dialog) {
    for (int row = 0; row < dialog.listRowCount(); ++row)
        if (dialog.listIsSelected(row)) return row;
    return -1;
}

void tell(PortDialogWindow& dialog, const char* text, const char* caption) {
    dialog.messageBox(text, caption, message_box::ok);
}

}  // namespace

bool isParallelPort(const PortInfo& port) {
    return port.name.compare(0, 3, "LPT") == 0;
}

bool isTcpIpPort(const PortInfo& port) {
    return isTcpIpDescription(port.description);
}

void fillPortList(Spooler& spooler, PortDialogWindow& dialog, PortFilter filter) {
    dialog.listDeleteAllRows();
    for (int columns = dialog.listColumnCount(); columns > 0; --columns) dialog.listDeleteColumn(0);
    // A spooler that cannot list its ports leaves the list empty under its headings.
    Result<std::vector<PortInfo>> ports = spooler.enumPorts();
    dialog.setListExtendedStyle((dialog.listExtendedStyle() & ~listViewTrackSelect) | listViewGridLinesFullRowSelect);
    dialog.listInsertColumn(0, text::portColumn, portDialogPortColumnWidth);
    dialog.listInsertColumn(1, text::descriptionColumn, portDialogDescriptionColumnWidth);
    if (ports) {
        int position = 0;
        for (const PortInfo& port : *ports) {
            // The position counts every port, so it never falls behind the rows: each row
            // is appended and the rows keep the spooler's order.
            int row = position++;
            if (!filter(port)) continue;
            row = dialog.listInsertRow(row, port.name);
            if (row >= 0) dialog.listSetText(row, 1, port.description);
        }
    }
    dialog.listSelect(0);
}

PortAnswer PortChoiceDialog::run() {
    chosenPort_.clear();
    int code = context_.window.runPortDialog(resourceId_, *this);
    if (code < ResultRowBase || code == ResultNone) return {code, ""};
    return {code, chosenPort_};
}

void PortChoiceDialog::onCommand(PortDialogWindow& dialog, PortDialogCommand command) {
    switch (command) {
        case PortDialogCommand::Ok: return onOk(dialog);
        case PortDialogCommand::Cancel: return dialog.endDialog(ResultNone);
        case PortDialogCommand::EnterKey: return dialog.endDialog(message_box::idOk);
        case PortDialogCommand::EscapeKey: return dialog.endDialog(message_box::idCancel);
        default: return onPortButton(dialog, command);
    }
}

void PortChoiceDialog::onClose(PortDialogWindow& dialog) {
    dialog.endDialog(ResultNone);
}

void PortChoiceDialog::onOk(PortDialogWindow& dialog) {
    int row = firstSelectedRow(dialog);
    if (row < 0) return dialog.endDialog(0);
    // The caller finds the chosen port by the name the row showed.
    chosenPort_ = dialog.listText(row, 0);
    dialog.endDialog(ResultRowBase + row);
}

void ParallelPortDialog::onInit(PortDialogWindow& dialog) {
    fillPortList(context_.platform.spooler, dialog, isParallelPort);
}

void TcpPortDialog::onInit(PortDialogWindow& dialog) {
    fillPortList(context_.platform.spooler, dialog, isTcpIpPort);
}

void TcpPortDialog::onOk(PortDialogWindow& dialog) {
    if (dialog.listRowCount() == 0) return tell(dialog, text::noTcpIpPort, text::noTcpIpPortCaption);
    PortChoiceDialog::onOk(dialog);
}

void TcpPortDialog::onPortButton(PortDialogWindow& dialog, PortDialogCommand command) {
    switch (command) {
        case PortDialogCommand::AddPort: return addPort(dialog);
        case PortDialogCommand::ConfigurePort: return configurePort(dialog);
        case PortDialogCommand::DeletePort: return deletePort(dialog);
        default: return;
    }
}

// The monitor's own dialog creates the port; a new port is the last one the spooler lists.
void TcpPortDialog::addPort(PortDialogWindow& dialog) {
    SpoolerCall added = context_.platform.spooler.addPort(dialog.window(), tcpIpPortMonitor);
    fillPortList(context_.platform.spooler, dialog, isTcpIpPort);
    if (added.ok) dialog.listSelect(dialog.listRowCount() - 1);
}

void TcpPortDialog::configurePort(PortDialogWindow& dialog) {
    int row = firstSelectedRow(dialog);
    if (row < 0) return;
    SpoolerCall configured = context_.platform.spooler.configurePort(dialog.window(), dialog.listText(row, 0));
    if (configured.ok) return;
    if (configured.error == win_error::notSupported)
        tell(dialog, text::configureNotSupported, text::configureNotSupportedCaption);
    else if (configured.error == win_error::adapterHardwareError)
        tell(dialog, text::configureHardwareError, text::configureHardwareErrorCaption);
}

void TcpPortDialog::deletePort(PortDialogWindow& dialog) {
    int row = firstSelectedRow(dialog);
    if (row >= 0) {
        SpoolerCall deleted = context_.platform.spooler.deletePort(dialog.window(), dialog.listText(row, 0));
        if (!deleted.ok && deleted.error == win_error::notSupported)
            tell(dialog, text::deleteNotSupported, text::deleteNotSupportedCaption);
    }
    fillPortList(context_.platform.spooler, dialog, isTcpIpPort);
}

}  // namespace setup
