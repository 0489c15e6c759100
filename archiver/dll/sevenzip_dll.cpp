// The DLL's exports. Everything the core raises is caught here: no exception leaves.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "archiver/core/command.h"
#include "archiver/dll/7-zip32.h"
#include "archiver/dll/win32_host.h"

namespace {

std::mutex g_registry_mutex;
std::vector<std::pair<HWND, LPSEVENZIPCALLBACK>> g_callbacks;

LPSEVENZIPCALLBACK callback_for(HWND window) {
    std::lock_guard<std::mutex> lock(g_registry_mutex);
    for (const auto& entry : g_callbacks)
        if (entry.first == window) return entry.second;
    return nullptr;
}

void copy_report(const std::string& utf8, LPSTR output, DWORD size) {
    if (!output || size == 0) return;
    std::string text;
    try {
        text = archiver::wide_to_codepage(archiver::utf8_to_wide(utf8), CP_ACP);
    } catch (...) {
        text = "Error";
    }
    const size_t n = std::min<size_t>(text.size(), size - 1);
    std::memcpy(output, text.data(), n);
    output[n] = '\0';
}

int extract(HWND window, LPCSTR command_line, std::string& report) {
    if (!command_line) {
        report = "Error: no command line";
        return archiver::kResultBadCommand;
    }
    // The core works in UTF-8; the caller speaks the ANSI code page.
    const std::string line = archiver::wide_to_codepage(archiver::codepage_to_wide(command_line, CP_ACP), CP_UTF8);
    archiver::ProgressCallback progress;
    if (LPSEVENZIPCALLBACK callback = callback_for(window)) {
        progress = [window, callback](const archiver::ProgressInfo& p) {
            SEVENZIP_FILE_INFO info = {};
            std::wstring name = archiver::utf8_to_wide(p.path);
            std::replace(name.begin(), name.end(), L'/', L'\\');
            const std::string ansi = archiver::wide_to_codepage(name, CP_ACP);
            std::memcpy(info.fileName, ansi.data(), std::min<size_t>(ansi.size(), MAX_PATH - 1));
            info.originalSize = p.size;
            info.packedSize = p.packed_size;
            return callback(window, SEVENZIP_MSG_EXTRACT, SEVENZIP_STATE_BEGIN_ENTRY, &info) != FALSE;
        };
    }
    archiver::Win32Host host;
    return archiver::run_command(line, host, progress, report);
}

int list(LPCWSTR archive, LPSEVENZIPLISTCALLBACK callback, LPVOID context, std::string& report) {
    if (!archive || !callback) {
        report = "Error: no archive or no callback";
        return archiver::kResultBadCommand;
    }
    archiver::Win32Host host;
    const auto each = [callback, context](const archiver::ListedEntry& e) {
        std::wstring name = archiver::utf8_to_wide(e.path);
        std::replace(name.begin(), name.end(), L'/', L'\\');
        const SEVENZIP_ENTRY_W entry = {name.c_str(), e.is_directory ? TRUE : FALSE, e.size, e.has_crc ? TRUE : FALSE,
                                        e.crc};
        return callback(&entry, context) != FALSE;
    };
    return archiver::list_entries(archiver::wide_to_codepage(archive, CP_UTF8), host, each, report);
}

}  // namespace

extern "C" {

__declspec(dllexport) int WINAPI SevenZip(HWND window, LPCSTR commandLine, LPSTR output, DWORD outputSize) {
    std::string report;
    int result;
    try {
        result = extract(window, commandLine, report);
    } catch (...) {
        report = "Error: internal failure";
        result = archiver::kResultInternal;
    }
    copy_report(report, output, outputSize);
    return result;
}

__declspec(dllexport) int WINAPI SevenZipListW(LPCWSTR archive, LPSEVENZIPLISTCALLBACK callback, LPVOID context,
                                               LPSTR output, DWORD outputSize) {
    std::string report;
    int result;
    try {
        result = list(archive, callback, context, report);
    } catch (...) {
        report = "Error: internal failure";
        result = archiver::kResultInternal;
    }
    copy_report(report, output, outputSize);
    return result;
}

__declspec(dllexport) BOOL WINAPI SevenZipSetOwnerWindowEx(HWND window, LPSEVENZIPCALLBACK callback) {
    try {
        std::lock_guard<std::mutex> lock(g_registry_mutex);
        for (auto& entry : g_callbacks)
            if (entry.first == window) {
                entry.second = callback;
                return TRUE;
            }
        g_callbacks.emplace_back(window, callback);
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}

__declspec(dllexport) BOOL WINAPI SevenZipKillOwnerWindowEx(HWND window) {
    try {
        std::lock_guard<std::mutex> lock(g_registry_mutex);
        auto it = std::find_if(g_callbacks.begin(), g_callbacks.end(), [window](const auto& e) { return e.first == window; });
        if (it == g_callbacks.end()) return FALSE;
        g_callbacks.erase(it);
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}

}  // extern "C"
