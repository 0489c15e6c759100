#include "package/installer_lock.h"

namespace setup {

bool InstallerLock::claim() {
    if (held()) return true;
    Result<NamedMutex> mutex = system_.createNamedMutex(name);
    if (!mutex) return false;
    if (mutex->alreadyExisted) {
        system_.closeMutex(mutex->handle);
        return false;
    }
    mutex_ = mutex->handle;
    return true;
}

void InstallerLock::release() {
    if (mutex_ != 0) system_.closeMutex(mutex_);
    mutex_ = 0;
}

}  // namespace setup
