#include "platform/win32/fault_guard.h"

#include <windows.h>

namespace setup::win32 {

namespace {

// The landing frame of the guarded call on this thread (a __builtin_setjmp buffer), kept in
// a raw TLS slot: the vectored handler must not allocate, and the compiler's emulated
// thread_local may allocate on first use.
DWORD landingSlot = TlsAlloc();

// Faults raised by the processor or the system have error severity (top two bits set) and
// the customer bit clear. Software exceptions (C++ throws of GCC 0x20474343 or MSVC
// 0xE06D7363, debugger notices) are left to the frames that expect them.
bool isSystemFault(DWORD code) {
    return (code & 0xE0000000u) == 0xC0000000u;
}

[[noreturn]] void landAfterFault() {
    __builtin_longjmp(static_cast<void**>(TlsGetValue(landingSlot)), 1);
}

// Resumes the faulting thread in landAfterFault, on a fresh aligned spot below the faulting
// stack pointer, as if landAfterFault had just been called.
LONG CALLBACK redirectFault(EXCEPTION_POINTERS* exception) {
    if (!isSystemFault(exception->ExceptionRecord->ExceptionCode)) return EXCEPTION_CONTINUE_SEARCH;
    if (landingSlot == TLS_OUT_OF_INDEXES || TlsGetValue(landingSlot) == nullptr) return EXCEPTION_CONTINUE_SEARCH;
    CONTEXT* context = exception->ContextRecord;
#if defined(_M_X64) || defined(__x86_64__)
    context->Rsp = ((context->Rsp - 256) & ~static_cast<DWORD64>(15)) - 8;
    context->Rip = reinterpret_cast<DWORD64>(&landAfterFault);
#else
    context->Esp = ((context->Esp - 256) & ~static_cast<DWORD>(15)) - 4;
    context->Eip = reinterpret_cast<DWORD>(&landAfterFault);
#endif
    return EXCEPTION_CONTINUE_EXECUTION;
}

PVOID faultHandler = AddVectoredExceptionHandler(1, redirectFault);

// Kept out of line: __builtin_setjmp saves this frame, and landAfterFault returns into it.
__attribute__((noinline)) bool runLanding(FaultGuard::Call call, void* context, void** landing) {
    if (__builtin_setjmp(landing) != 0) return false;
    call(context);
    return true;
}

}  // namespace

bool FaultGuard::run(Call call, void* context) {
    void* landing[5] = {};
    void* outer = TlsGetValue(landingSlot);  // guards may nest
    TlsSetValue(landingSlot, landing);
    bool returned = runLanding(call, context, landing);
    TlsSetValue(landingSlot, outer);
    return returned;
}

}  // namespace setup::win32
