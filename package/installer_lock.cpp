#include "package/installer_lock.h"

namespace setup {

bool InstallerLock::claim() {
    if (held()) return true;
    Result<NamedMutex> mutex = system_.createNamedMutex(name);
    if (!mutex) return false;
    MutexHandle owned(system_, mutex->handle);
    if (mutex->alreadyExisted) return false;
    mutex_ = std::move(owned);
    return true;
}

void InstallerLock::release() {
    mutex_.reset();
}

}  // namespace setup
