#include "probe/service_control.h"

#include <cstdio>
#include <optional>

#include "context/dialog_context.h"

namespace setup {

namespace {

const char* stateName(ServiceState state) {
    return state == ServiceState::Running ? "running" : "stopped";
}

// One run of the service control, with the handles it opened.
class ServiceRun {
public:
    ServiceRun(DialogContext& context, const std::string& name)
        : context_(context), services_(context.platform.services), name_(name) {}

    bool run(int mode);

private:
    void reportUnknown();
    bool accepted(std::uint32_t error, std::uint32_t alreadyThere, const char* verb);
    bool waitFor(ServiceState wanted);
    std::optional<ServiceHandle> openSecond();
    bool start();
    bool restart();

    DialogContext& context_;
    ServiceControl& services_;
    std::string name_;
    Handle manager_ = 0;
    Handle service_ = 0;
    ServiceState state_ = ServiceState::Stopped;
    bool statusUnknown_ = false;
};

void ServiceRun::reportUnknown() {
    statusUnknown_ = true;
    context_.calls.appMessageBox(text::serviceStatusUnknown, message_box::ok | message_box::iconInformation);
}

// Whether the manager took a start or stop request. One it refused (a disabled service, one
// that did not answer in time) will never bring the state: waiting for it would only freeze
// the caller, so the reason is said at once. A service already in the wanted state counts
// as taken.
bool ServiceRun::accepted(std::uint32_t error, std::uint32_t alreadyThere, const char* verb) {
    if (error == win_error::success || error == alreadyThere) return true;
    context_.calls.appMessageBox(serviceRefusalMessage(context_.platform.system, name_, verb, error),
                                 message_box::ok | message_box::iconError);
    return false;
}

// Asks for the status until the service reports the wanted state. A service that is already
// there is not asked again. Gives up when the time runs out, the status cannot be read or
// the program is closing.
bool ServiceRun::waitFor(ServiceState wanted) {
    unsigned waited = 0;
    while (state_ != wanted) {
        if (context_.calls.closing()) return false;
        if (waited >= serviceWaitLimitMs) {
            char message[256];
            std::snprintf(message, sizeof message, text::serviceTimedOut, name_.c_str(), stateName(wanted),
                          static_cast<int>(serviceWaitLimitMs / 1000));
            context_.calls.appMessageBox(message, message_box::ok | message_box::iconError);
            return false;
        }
        context_.platform.system.sleep(serviceQueryPauseMs);
        waited += serviceQueryPauseMs;
        Result<ServiceState> status = services_.queryStatus(service_);
        if (!status) {
            reportUnknown();
            return false;
        }
        state_ = *status;
    }
    return true;
}

// The service opened a second time: starts and stops go through this handle while the
// first one is asked for the status. Nothing when it does not open (said to the user).
std::optional<ServiceHandle> ServiceRun::openSecond() {
    Result<Handle> second = services_.openService(manager_, name_);
    if (!second) {
        reportUnknown();
        return std::nullopt;
    }
    return ServiceHandle(services_, *second);
}

// A status that cannot be read says nothing against the service: the caller goes on.
bool ServiceRun::start() {
    std::optional<ServiceHandle> second = openSecond();
    if (!second) return true;
    if (!accepted(services_.start(second->get()), win_error::serviceAlreadyRunning, "started")) return false;
    return waitFor(ServiceState::Running) || statusUnknown_;
}

bool ServiceRun::restart() {
    std::optional<ServiceHandle> second = openSecond();
    if (!second) return true;
    if (!accepted(services_.stop(second->get()), win_error::serviceNotActive, "stopped")) return false;
    if (!waitFor(ServiceState::Stopped)) return statusUnknown_;
    if (!accepted(services_.start(second->get()), win_error::serviceAlreadyRunning, "started")) return false;
    return waitFor(ServiceState::Running) || statusUnknown_;
}

bool ServiceRun::run(int mode) {
    // Without administrator rights the manager or the service does not open; nothing can
    // be done with the service then.
    Result<ServiceHandle> manager = ServiceHandle::adopt(services_, services_.openManager());
    if (!manager) return reportUnknown(), true;
    Result<ServiceHandle> service = ServiceHandle::adopt(services_, services_.openService(manager->get(), name_));
    if (!service) return reportUnknown(), true;
    Result<ServiceState> status = services_.queryStatus(service->get());
    if (!status) return reportUnknown(), true;
    manager_ = manager->get();
    service_ = service->get();
    state_ = *status;

    if (state_ == ServiceState::Stopped) return start();
    if (mode != serviceStartIfStopped) return restart();
    return true;
}

}  // namespace

std::string serviceRefusalMessage(System& system, const std::string& serviceName, const char* verb,
                                  std::uint32_t error) {
    char message[1024];
    std::snprintf(message, sizeof message, text::serviceRefused, serviceName.c_str(), verb,
                  systemErrorText(system, error).c_str());
    return message;
}

bool controlService(DialogContext& context, const std::string& serviceName, int mode) {
    return ServiceRun(context, serviceName).run(mode);
}

}  // namespace setup
