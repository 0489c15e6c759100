// The spooler's port operations that run a port monitor's own dialog, with the machine's
// user answering those dialogs.
#include <algorithm>

#include "platform/sim/sim_windows.h"

namespace setup::sim {

namespace {

constexpr std::uint32_t errorCancelled = 1223;  // ERROR_CANCELLED: the user closed the monitor's dialog
// A monitor or port the spooler does not have: Wine's spooler answers ERROR_NOT_SUPPORTED.
constexpr std::uint32_t errorUnknown = win_error::notSupported;

SpoolerCall failed(std::uint32_t error) {
    return SpoolerCall{false, error};
}

// The port the monitor's dialog works on: the error the user's script gives it, or the
// port itself (end when the spooler has no such port).
struct PortTarget {
    std::optional<std::uint32_t> scriptedError;
    std::vector<PortInfo>::iterator port;
};

PortTarget target(std::vector<PortInfo>& ports, const std::map<std::string, std::uint32_t>& errors,
                  const std::string& name) {
    auto error = errors.find(name);
    if (error != errors.end()) return {error->second, ports.end()};
    return {std::nullopt, std::find_if(ports.begin(), ports.end(), [&](const PortInfo& p) { return p.name == name; })};
}

}  // namespace

SpoolerCall SimWindows::addPort(Handle parent, const std::string& monitor) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    record("AddPort " + std::to_string(parent) + " " + monitor);
    // A monitor the spooler does not have shows no dialog.
    if (!portMonitors.count(monitor)) return failed(errorUnknown);
    std::optional<std::string> answer;
    if (!addPortAnswers.empty()) {
        answer = addPortAnswers.front();
        addPortAnswers.pop_front();
    }
    if (!answer) return failed(errorCancelled);
    // The monitor describes its ports by its own name.
    ports.push_back(PortInfo{*answer, monitor, monitor, 0});
    return SpoolerCall{true, 0};
}

SpoolerCall SimWindows::configurePort(Handle parent, const std::string& port) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    record("ConfigurePort " + std::to_string(parent) + " " + port);
    PortTarget configured = target(ports, configurePortErrors, port);
    if (configured.scriptedError) return failed(*configured.scriptedError);
    return configured.port != ports.end() ? SpoolerCall{true, 0} : failed(errorUnknown);
}

SpoolerCall SimWindows::deletePort(Handle parent, const std::string& port) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    record("DeletePort " + std::to_string(parent) + " " + port);
    PortTarget deleted = target(ports, deletePortErrors, port);
    if (deleted.scriptedError) return failed(*deleted.scriptedError);
    if (deleted.port == ports.end()) return failed(errorUnknown);
    ports.erase(deleted.port);
    return SpoolerCall{true, 0};
}

}  // namespace setup::sim
