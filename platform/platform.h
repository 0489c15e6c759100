#pragma once

#include "platform/archiver_dll.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/serial_port.h"
#include "platform/services.h"
#include "platform/spooler.h"
#include "platform/system.h"

namespace setup {

// The system the program runs on, family by family. The entry points build one (real or
// simulated) and hand it to the core.
struct Platform {
    ServiceControl& services;
    Spooler& spooler;
    Registry& registry;
    FileSystem& files;
    System& system;
    ArchiverDll& archiver;
    SerialPorts& serial;
};

}  // namespace setup
