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

    void run(int mode);

private:
    using Closer = std::function<void(Handle)>;
    using Owned = UniqueHandle<Closer>;

    Closer closer() { return [this](Handle h) { services_.close(h); }; }
    void reportUnknown();
    bool waitFor(ServiceState wanted);
    std::optional<Owned> openSecond();
    void start();
    void restart();

    DialogContext& context_;
    ServiceControl& services_;
    std::string name_;
    Handle manager_ = 0;
    Handle service_ = 0;
    ServiceState state_ = ServiceState::Stopped;
};

void ServiceRun::reportUnknown() {
    context_.calls.appMessageBox(text::serviceStatusUnknown, message_box::ok | message_box::iconInformation);
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
std::optional<ServiceRun::Owned> ServiceRun::openSecond() {
    Result<Handle> second = services_.openService(manager_, name_);
    if (!second) {
        reportUnknown();
        return std::nullopt;
    }
    return std::optional<Owned>(std::in_place, *second, closer());
}

void ServiceRun::start() {
    std::optional<Owned> second = openSecond();
    if (!second) return;
    services_.start(second->get());
    waitFor(ServiceState::Running);
}

void ServiceRun::restart() {
    std::optional<Owned> second = openSecond();
    if (!second) return;
    services_.stop(second->get());
    if (!waitFor(ServiceState::Stopped)) return;
    services_.start(second->get());
    waitFor(ServiceState::Running);
}

void ServiceRun::run(int mode) {
    // Without administrator rights the manager or the service does not open; nothing can
    // be done with the service then.
    Result<Handle> manager = services_.openManager();
    if (!manager) return reportUnknown();
    Owned managerHandle(*manager, closer());
    Result<Handle> service = services_.openService(*manager, name_);
    if (!service) return reportUnknown();
    Owned serviceHandle(*service, closer());
    Result<ServiceState> status = services_.queryStatus(*service);
    if (!status) return reportUnknown();
    manager_ = *manager;
    service_ = *service;
    state_ = *status;

    if (state_ == ServiceState::Stopped)
        start();
    else if (mode != serviceStartIfStopped)
        restart();
}

}  // namespace

void controlService(DialogContext& context, const std::string& serviceName, int mode) {
    ServiceRun(context, serviceName).run(mode);
}

}  // namespace setup
