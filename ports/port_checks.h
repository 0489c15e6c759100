#pragma once

#include "ports/port_dialogs.h"

namespace setup {

struct DialogContext;

// The parallel port check: no parallel port says so and answers ResultNone; one is taken
// without asking; with more the user picks one in the parallel port dialog. The port lists
// are enumerated again after the dialog.
PortAnswer checkParallelPort(DialogContext& context);

// The TCP/IP port check: without a TCP/IP port the spooler's port monitor offers to add one
// (ResultPortAdded when it did, else ResultNone); with one or more the user picks one in the
// TCP/IP port dialog. The port lists are enumerated again afterwards.
PortAnswer checkTcpIpPort(DialogContext& context);

}  // namespace setup
