#pragma once

#include <string>

#include "platform/port_dialog.h"
#include "platform/spooler.h"

namespace setup {

struct DialogContext;

// Answers of the port checks and the port dialogs.
constexpr int ResultRowBase = 0x1200;    // plus the 0-based row (entry) chosen
constexpr int ResultNone = 0xCCCC;       // nothing chosen
constexpr int ResultPortAdded = 0xAAAA;  // a TCP/IP port was added through the spooler

// The port monitor that creates TCP/IP ports.
constexpr const char* tcpIpPortMonitor = "Standard TCP/IP Port";

// An answer, with the port the chosen row showed (empty when no row was chosen).
struct PortAnswer {
    int code = ResultNone;
    std::string port;
};

// Which of the spooler's ports a port dialog lists.
using PortFilter = bool (*)(const PortInfo& port);
bool isParallelPort(const PortInfo& port);  // the name begins with "LPT", whatever the description
bool isTcpIpPort(const PortInfo& port);     // a TCP/IP description, whatever the name

// Lists the spooler's ports that pass the filter in the dialog's list, in the spooler's
// order, under the columns "Port" and "Description", and selects row 0.
void fillPortList(Spooler& spooler, PortDialogWindow& dialog, PortFilter filter);

// A modal dialog in which the user picks one port of a kind. OK answers the first selected
// row (0 when none is), Cancel and the close box ResultNone; Enter and Escape keep the
// system's standard OK and cancel results.
class PortChoiceDialog : public PortDialogEvents {
public:
    // Shows the dialog modally over the main dialog and returns its answer.
    PortAnswer run();

    void onCommand(PortDialogWindow& dialog, PortDialogCommand command) override;
    void onClose(PortDialogWindow& dialog) override;

protected:
    PortChoiceDialog(DialogContext& context, int resourceId) : context_(context), resourceId_(resourceId) {}
    virtual void onOk(PortDialogWindow& dialog);
    // The dialog's own buttons beyond OK and Cancel.
    virtual void onPortButton(PortDialogWindow&, PortDialogCommand) {}

    DialogContext& context_;

private:
    int resourceId_;
    std::string chosenPort_;
};

// "Select A Parallel Port": the spooler's LPT ports.
class ParallelPortDialog : public PortChoiceDialog {
public:
    explicit ParallelPortDialog(DialogContext& context) : PortChoiceDialog(context, IDD_PARALLEL_PORT_DIALOG) {}
    void onInit(PortDialogWindow& dialog) override;
};

// "Configure TCP/IP PrinterPort": the spooler's TCP/IP ports, which the user may add,
// configure and delete through the port monitor's own dialogs before choosing one.
class TcpPortDialog : public PortChoiceDialog {
public:
    explicit TcpPortDialog(DialogContext& context) : PortChoiceDialog(context, IDD_TCP_PORT_DIALOG) {}
    void onInit(PortDialogWindow& dialog) override;

protected:
    void onOk(PortDialogWindow& dialog) override;
    void onPortButton(PortDialogWindow& dialog, PortDialogCommand command) override;

private:
    void addPort(PortDialogWindow& dialog);
    void configurePort(PortDialogWindow& dialog);
    void deletePort(PortDialogWindow& dialog);
};

}  // namespace setup
