#pragma once

#include <cstdint>
#include <string>

namespace setup {

struct DialogContext;
class System;

// Modes of the service control: start the service only when it is stopped, or restart it.
constexpr int serviceStartIfStopped = 16;
constexpr int serviceRestart = 0;

constexpr const char* spoolerService = "Spooler";

// How long the service control waits for a state, and how often it asks.
constexpr unsigned serviceQueryPauseMs = 100;
constexpr unsigned serviceWaitLimitMs = 30000;

// Makes sure the service runs (serviceStartIfStopped) or restarts it (any other mode).
// Returns once the service reached the state, the manager refused a start or stop (said at
// once with the system's reason), a wait ran out (said), or the status could not be read
// ("Service status is unknown"). False when the service is known not to have got there:
// refused or out of time.
bool controlService(DialogContext& context, const std::string& serviceName, int mode);

// The box text for a refused request: the service, what was asked ("started", "stopped"),
// the system's text for the error and its number.
std::string serviceRefusalMessage(System& system, const std::string& serviceName, const char* verb,
                                  std::uint32_t error);

}  // namespace setup
