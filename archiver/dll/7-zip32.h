/* 7-zip32.dll: extracts 7z archives (the installer's driver package).
 *
 * Exports (stdcall, undecorated names):
 *   int  SevenZip(HWND window, LPCSTR commandLine, LPSTR output, DWORD outputSize);
 *   BOOL SevenZipSetOwnerWindowEx(HWND window, LPSEVENZIPCALLBACK callback);
 *   BOOL SevenZipKillOwnerWindowEx(HWND window);
 *   int  SevenZipListW(LPCWSTR archive, LPSEVENZIPLISTCALLBACK callback, LPVOID context,
 *                      LPSTR output, DWORD outputSize);
 *
 * Command line:  x|e [-y] [-o<folder>] [-hide] "<archive>"
 *   x      extract with the archive's folders      e      extract every file into <folder>
 *   -y     overwrite existing files (without it an existing file stops the extraction)
 *   -o     destination folder, quoted or not, trailing backslash optional (-o"C:\")
 *   -hide  accepted; the DLL never shows a window
 * Paths are in the ANSI code page; names inside the archive keep their Unicode spelling
 * on disk (files are created with the wide-character API).
 *
 * SevenZip returns 0 on success, otherwise one of SEVENZIP_ERROR_*; `output` receives a
 * one-line report (what was extracted, or what went wrong), always NUL-terminated within
 * outputSize. Nothing is written for an archive with an unsafe entry name (.., absolute
 * paths, drive letters, ':' streams, device names such as CON or COM1). A file is created
 * under a temporary name and renamed only once its CRC has been verified.
 */
#ifndef SEVENZIP32_H
#define SEVENZIP32_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#define SEVENZIP_OK 0
#define SEVENZIP_ERROR_COMMAND 1      /* command line not understood */
#define SEVENZIP_ERROR_IO 2           /* archive unreadable, destination not writable, file exists without -y */
#define SEVENZIP_ERROR_CORRUPT 3      /* not a 7z archive, truncated, CRC mismatch */
#define SEVENZIP_ERROR_UNSUPPORTED 4  /* encryption or a method other than Copy, LZMA, LZMA2, BCJ, BCJ2, ARM64, Delta */
#define SEVENZIP_ERROR_UNSAFE_PATH 5  /* an entry would be written outside the destination */
#define SEVENZIP_ERROR_CANCELLED 6    /* the callback returned FALSE */
#define SEVENZIP_ERROR_LIMIT 7        /* dictionary or header beyond what this DLL allocates */
#define SEVENZIP_ERROR_MEMORY 8
#define SEVENZIP_ERROR_INTERNAL 9

/* Callback message and state: called once per entry (file or folder) before it is written. */
#define SEVENZIP_MSG_EXTRACT (WM_APP + 0x570)
#define SEVENZIP_STATE_BEGIN_ENTRY 1

/* What `info` points to during the callback (valid only during the call). */
typedef struct SEVENZIP_FILE_INFO {
    char fileName[MAX_PATH];  /* path below the destination, ANSI code page, '\' separators, truncated to fit */
    ULONGLONG originalSize;   /* unpacked size in bytes */
    ULONGLONG packedSize;     /* the entry's share of its (possibly solid) block's packed size */
} SEVENZIP_FILE_INFO;

/* Return FALSE to stop the extraction; SevenZip then returns SEVENZIP_ERROR_CANCELLED. */
typedef BOOL(CALLBACK* LPSEVENZIPCALLBACK)(HWND window, UINT message, UINT state, LPVOID info);

/* One entry of a listing (valid only during the call). */
typedef struct SEVENZIP_ENTRY_W {
    LPCWSTR path;       /* below the destination, '\' separators, exactly as x writes it, any length */
    BOOL isDirectory;
    ULONGLONG size;     /* unpacked size in bytes */
    BOOL hasCrc;        /* FALSE for folders and for files the archive stores without a CRC */
    DWORD crc;          /* CRC-32 of the unpacked bytes, when hasCrc */
} SEVENZIP_ENTRY_W;

/* Return FALSE to stop the listing; SevenZipListW then returns SEVENZIP_ERROR_CANCELLED. */
typedef BOOL(CALLBACK* LPSEVENZIPLISTCALLBACK)(const SEVENZIP_ENTRY_W* entry, LPVOID context);

int WINAPI SevenZip(HWND window, LPCSTR commandLine, LPSTR output, DWORD outputSize);
/* Lists what "x" would write, without writing or decoding anything: the callback gets every
 * entry in the order in which x writes it and calls the owner window's callback. The same
 * names and methods are refused as by x, with the same result codes. `archive` is a wide
 * path, so any folder name works. `output` receives the report as for SevenZip. */
int WINAPI SevenZipListW(LPCWSTR archive, LPSEVENZIPLISTCALLBACK callback, LPVOID context, LPSTR output,
                         DWORD outputSize);
/* Registers the callback used by SevenZip calls made with the same window (NULL included). */
BOOL WINAPI SevenZipSetOwnerWindowEx(HWND window, LPSEVENZIPCALLBACK callback);
/* Removes it; FALSE if none was registered for that window. */
BOOL WINAPI SevenZipKillOwnerWindowEx(HWND window);

#ifdef __cplusplus
}
#endif

#endif
