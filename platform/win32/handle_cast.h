#pragma once

#include <cstdint>

#include "platform/result.h"

namespace setup::win32 {

// The seam carries every system handle as an integer; these two convert at the boundary.
template <class NativeHandle>
NativeHandle fromHandle(Handle handle) {
    return reinterpret_cast<NativeHandle>(handle);
}

template <class NativeHandle>
Handle toHandle(NativeHandle handle) {
    return reinterpret_cast<Handle>(handle);
}

}  // namespace setup::win32
