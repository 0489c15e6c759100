/* The stand-in for every DLL of the sample driver package: a real Windows DLL that loads
 * and does nothing, so that copying, registering and loading it behave as with a real one.
 *
 * The label engine registers its language monitor with AddMonitorA, and the spooler loads
 * the monitor DLL and asks it for its entry points there; it refuses a DLL that is not a
 * monitor. So the stand-in also answers as a monitor that offers no operations. */
#include <windows.h>
#include <winsplp.h>

static MONITOR2 noOperations;

__declspec(dllexport) LPMONITOR2 WINAPI InitializePrintMonitor2(PMONITORINIT init,
                                                                PHANDLE monitor) {
    (void)init;
    noOperations.cbSize = sizeof noOperations;
    *monitor = (HANDLE)&noOperations;
    return &noOperations;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance;
    (void)reason;
    (void)reserved;
    return TRUE;
}
