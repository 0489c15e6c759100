// On Windows: the package is opened with the wide-character API, and the printer-name list
// is read by the system's own profile functions from a temporary copy.

#include <windows.h>
#include <shellapi.h>

#include <cstdio>

#include "archiver/dll/win32_host.h"
#include "pkgcheck/host.h"
#include "platform/win32/win32_platform.h"

namespace setup::pkgcheck {

std::vector<std::string> commandArguments(int, char**) {
    std::vector<std::string> arguments;
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) return arguments;
    for (int i = 1; i < count; ++i) arguments.push_back(archiver::wide_to_codepage(wide[i], CP_UTF8));
    LocalFree(wide);
    return arguments;
}

std::unique_ptr<archiver::ArchiveSource> openPackage(const std::string& path) {
    return archiver::Win32Host().open_archive(path);
}

namespace {

// A temporary file the profile functions can read, deleted with this object.
class ScratchFile {
public:
    explicit ScratchFile(const std::string& content) {
        char folder[MAX_PATH + 1] = {};
        char name[MAX_PATH + 1] = {};
        if (!GetTempPathA(sizeof folder, folder) || !GetTempFileNameA(folder, "pkc", 0, name)) return;
        path_ = name;
        HANDLE file = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
        if (file == INVALID_HANDLE_VALUE) return;
        DWORD written = 0;
        WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
        CloseHandle(file);
    }
    ~ScratchFile() {
        if (!path_.empty()) DeleteFileA(path_.c_str());
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace

DriverNameListView readDriverNameListBytes(const std::string& content) {
    ScratchFile scratch(content);
    if (scratch.path().empty()) return {};
    win32::Win32FileSystem files;
    return readDriverNameListView(files, scratch.path());
}

void writeOut(const std::string& text) {
    // A console shows the report's UTF-8 as such; a pipe or a file gets the bytes unchanged.
    SetConsoleOutputCP(CP_UTF8);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

}  // namespace setup::pkgcheck
