/* The stand-in for every DLL of the sample driver package: a real Windows DLL that loads
 * and does nothing, so that copying, registering and loading it behave as with a real one.
 *
 * The label engine registers its language monitor with AddMonitorA, and the spooler loads
 * the monitor DLL and asks it for its entry points there; it refuses a DLL that is not a
 * monitor. So the stand-in also answers as a monitor that offers no operations.
 *
 * When a printer is added the spooler asks the driver's configuration DLL for the printer's
 * default device mode (Wine does so in the installing process), so the stand-in also answers
 * as a configuration DLL without property sheets. */
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

/* The header the spooler passes when it asks for a device mode without property sheets. */
typedef struct {
    WORD cbSize;
    WORD reserved;
    HANDLE printer;
    LPWSTR printerName;
    DEVMODEW *in;
    DEVMODEW *out;
    DWORD outSize;
    DWORD mode;
} DocumentPropertyHeader;

__declspec(dllexport) LONG WINAPI DrvDocumentPropertySheets(void *sheets, LPARAM parameter) {
    DocumentPropertyHeader *header = (DocumentPropertyHeader *)parameter;
    if (sheets != NULL || header == NULL) return -1;
    /* No mode asks for the size of the device mode. */
    if (header->mode == 0 || header->out == NULL) {
        header->outSize = sizeof(DEVMODEW);
        return (LONG)header->outSize;
    }
    if (header->outSize < sizeof(DEVMODEW)) return -1;
    ZeroMemory(header->out, sizeof(DEVMODEW));
    if (header->printerName != NULL) lstrcpynW(header->out->dmDeviceName, header->printerName, CCHDEVICENAME);
    header->out->dmSpecVersion = DM_SPECVERSION;
    header->out->dmSize = sizeof(DEVMODEW);
    return 1;
}

__declspec(dllexport) DWORD WINAPI DrvDeviceCapabilities(HANDLE printer, PWSTR device, WORD capability,
                                                         void *output, DEVMODEW *mode) {
    (void)printer;
    (void)device;
    (void)capability;
    (void)output;
    (void)mode;
    return GDI_ERROR;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance;
    (void)reason;
    (void)reserved;
    return TRUE;
}
