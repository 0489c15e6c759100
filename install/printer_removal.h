#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/spooler.h"

namespace setup {

// What /uninstall asks for: the printer of that name, as it was created, with what this
// installer added for it. The name is spelt in the ANSI code page, as the spooler takes it.
struct RemovalRequest {
    std::string printerName;
};

// A thing that stays, and why.
struct KeptThing {
    std::string what;
    std::string why;
};

// How a removal ended: each thing named as the log and the boxes name it ("the printer
// Front till", "the driver Series R01 (Windows x64)").
struct RemovalOutcome {
    std::vector<std::string> removed;  // in the order they went
    std::vector<KeptThing> kept;       // what stays by rule: other printers' drivers and ports, ...
    // When the spooler or the registry refused: the call with its argument, its error, and
    // everything that was to go and is still there (the refused thing first).
    std::string failedCall;
    std::uint32_t error = 0;
    std::vector<std::string> left;

    bool failed() const { return !failedCall.empty(); }
    bool nothingToRemove() const { return !failed() && removed.empty(); }
};

// Removes the printer, then its driver in each environment it was added for unless another
// printer uses it, the language monitor when this installer added it and no remaining driver
// names it, the TCP/IP port when this installer added it and no other printer is on it, and
// last the installation record, so that a removal that stops half-way is still detected.
// Everything is decided before the first thing goes; the first refusal stops it.
RemovalOutcome removeInstallation(Spooler& spooler, Registry& registry, const RemovalRequest& request);

}  // namespace setup
