#pragma once

#include "platform/system.h"

namespace setup {

// Both programs unpack into the same places of drive C and remove them again: one installer
// at a time on a machine, whoever started it. The lock is a named mutex that this process
// keeps open while it runs; the name is free again when the process ends, however it ends.
class InstallerLock {
public:
    explicit InstallerLock(System& system) : system_(system) {}
    ~InstallerLock() { release(); }
    InstallerLock(const InstallerLock&) = delete;
    InstallerLock& operator=(const InstallerLock&) = delete;

    // True when this process holds the lock now. A name that cannot be created or opened
    // (one made by another user's installer) counts as taken: touching nothing is safe.
    bool claim();
    void release();
    bool held() const { return static_cast<bool>(mutex_); }

    // Machine-wide, so that installers in other sessions count too.
    static constexpr const char* name = "Global\\ThermalPrinterDriverSetup.Installer";

private:
    System& system_;
    MutexHandle mutex_;
};

}  // namespace setup
