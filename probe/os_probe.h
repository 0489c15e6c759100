#pragma once

#include <string>

#include "config/build_config.h"
#include "platform/system.h"

namespace setup {

struct DialogContext;

// The running Windows classified: 1 Windows 95 ... 11 Windows 10 (multisetup), with
// Windows 8.1 as 11 and Windows 10 as 12 in solosetup; -1 when not recognised.
int osCode(System& system, Program program);

// Sets the 64-bit flag and shows the OS name and bitness in the status line.
void probeOs(DialogContext& context);

// The OS name and bitness as the status line shows them after the prefix.
std::string systemDescription(System& system, const BuildConfig& config, bool is64Bit);

}  // namespace setup
