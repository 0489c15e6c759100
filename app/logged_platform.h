#pragma once

#include "app/run_log.h"
#include "platform/platform.h"

namespace setup {

// The spooler, registry and service manager as the program sees them during a logged or
// unattended run: every call goes through unchanged, and a call that failed is logged with
// its error number; so is an archiver DLL that is there and cannot be used. In an
// unattended run nobody can answer a port monitor's own dialog (adding, configuring,
// deleting a port): the call is not made and ends as the user's Cancel would.
class LoggedPlatform {
public:
    LoggedPlatform(const Platform& system, RunLog& log, bool unattended);
    LoggedPlatform(const LoggedPlatform&) = delete;
    LoggedPlatform& operator=(const LoggedPlatform&) = delete;
    ~LoggedPlatform();

    Platform& platform() { return platform_; }

private:
    class Services;
    class Spooler;
    class Registry;
    class Archiver;
    std::unique_ptr<Services> services_;
    std::unique_ptr<Spooler> spooler_;
    std::unique_ptr<Registry> registry_;
    std::unique_ptr<Archiver> archiver_;
    Platform platform_;
};

}  // namespace setup
