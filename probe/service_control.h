#pragma once

#include <string>

namespace setup {

struct DialogContext;

// Modes of the service control: start the service only when it is stopped, or restart it.
constexpr int serviceStartIfStopped = 16;
constexpr int serviceRestart = 0;

constexpr const char* spoolerService = "Spooler";

// How long the service control waits for a state, and how often it asks.
constexpr unsigned serviceQueryPauseMs = 100;
constexpr unsigned serviceWaitLimitMs = 30000;

// Makes sure the service runs (serviceStartIfStopped) or restarts it (any other mode).
// Returns once the service reached the state, a wait ran out (said in a message box), or
// the status could not be read ("Service status is unknown").
void controlService(DialogContext& context, const std::string& serviceName, int mode);

}  // namespace setup
