#pragma once

#include <string>

namespace setup {

struct DialogContext;

// The ports the spooler's list is cut to.
constexpr int maxEnumeratedPorts = 256;

// The port description of TCP/IP ports, in English and as the Chinese system reports it.
constexpr const char* tcpIpPortDescription = "Standard TCP/IP Port";
constexpr const char* tcpIpPortDescriptionChinese =
    "\xB1\xEA\xD7\xBC\x20\x54\x43\x50\x2F\x49\x50\x20\xB6\xCB\xBF\xDA";

// Whether a spooler port description is that of a TCP/IP port (either form, byte for byte).
bool isTcpIpDescription(const std::string& description);

// Rebuilds the dialog's port lists from the serial device map and the spooler, selects the
// likeliest port kind in the port-type list and shows the members. For start-up: the user
// has not chosen a kind yet.
void enumeratePorts(DialogContext& context);

// The same during an installation: the lists are rebuilt, but the port-type row stays the
// one the user chose, so that the next Install press installs the kind the user picked.
void refreshPortLists(DialogContext& context);

}  // namespace setup
