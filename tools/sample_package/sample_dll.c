/* The stand-in for every DLL of the sample driver package: a real Windows DLL that loads
 * and does nothing, so that copying, registering and loading it behave as with a real one. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance;
    (void)reason;
    (void)reserved;
    return TRUE;
}
