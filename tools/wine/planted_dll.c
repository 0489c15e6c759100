/* planted_dll.c: a 7-zip32.dll that someone left in a downloads folder. Its only work is to
 * leave a mark when a process loads it: C:\suite\planted-dll-ran.txt. The Wine suite puts it
 * in the current folder of an installer that has no archiver beside it. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance;
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        HANDLE mark = CreateFileA("C:\\suite\\planted-dll-ran.txt", GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, NULL);
        if (mark != INVALID_HANDLE_VALUE) CloseHandle(mark);
    }
    return TRUE;
}
