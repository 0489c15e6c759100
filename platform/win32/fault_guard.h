#pragma once

namespace setup::win32 {

// Runs a call into foreign code and reports whether it ended by a processor fault (access
// violation, illegal instruction, division by zero, stack overflow ...) instead of returning.
// Works without compiler support for structured exception handling: a vectored handler sends
// the faulting thread back to this frame. The call must not own resources that need unwinding:
// after a fault nothing between the fault and this frame is cleaned up. The vectored handler
// sees a fault first, so a fault the foreign code meant to handle itself (__try around a
// probe) also ends the call; C++ exceptions are not faults and are left alone.
class FaultGuard {
public:
    using Call = void (*)(void* context);
    // True when `call(context)` returned, false when it faulted.
    static bool run(Call call, void* context);
};

}  // namespace setup::win32
