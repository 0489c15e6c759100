#pragma once

namespace setup {

struct DialogContext;

// Gives parallel and TCP/IP printers their port before anything is installed (the engines'
// first step). Returns false when the installation must stop: Install is enabled again and
// status and progress are untouched. Serial and USB kinds keep the chosen port and return true.
bool choosePortBeforeInstall(DialogContext& context);

}  // namespace setup
