#include "archiver/dll/win32_host.h"

#include <windows.h>

#include <set>

#include "archiver/core/archive_error.h"
#include "archiver/core/streams.h"
#include "archiver/core/temporary_name.h"

namespace archiver {

std::wstring codepage_to_wide(const std::string& s, unsigned codepage) {
    if (s.empty()) return std::wstring();
    int n = MultiByteToWideChar(codepage, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codepage, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
    return w;
}

std::wstring utf8_to_wide(const std::string& s) { return codepage_to_wide(s, CP_UTF8); }

std::string wide_to_codepage(const std::wstring& w, unsigned codepage) {
    if (w.empty()) return std::string();
    int n = WideCharToMultiByte(codepage, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(codepage, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

namespace {

std::string last_error_text() {
    const DWORD code = GetLastError();
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string s = "error " + std::to_string(code);
    if (text) {
        std::string msg = wide_to_codepage(text, CP_UTF8);
        LocalFree(text);
        while (!msg.empty() && (msg.back() == '\n' || msg.back() == '\r' || msg.back() == ' ')) msg.pop_back();
        s += " (" + msg + ")";
    }
    return s;
}

[[noreturn]] void io_error(const std::string& what, const std::wstring& path) {
    std::string text = last_error_text();
    fail(ErrorKind::Io, what + " \"" + wide_to_codepage(path, CP_UTF8) + "\": " + text);
}

class Win32Source : public ArchiveSource {
public:
    explicit Win32Source(const std::wstring& path) {
        handle_ = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (handle_ == INVALID_HANDLE_VALUE) io_error("cannot open archive", path);
        LARGE_INTEGER size;
        if (!GetFileSizeEx(handle_, &size)) {
            CloseHandle(handle_);
            io_error("cannot open archive", path);
        }
        size_ = static_cast<uint64_t>(size.QuadPart);
    }
    ~Win32Source() override { CloseHandle(handle_); }
    uint64_t size() const override { return size_; }
    size_t read_at(uint64_t offset, uint8_t* buffer, size_t size) override {
        size_t done = 0;
        while (done < size) {
            OVERLAPPED at = {};
            const uint64_t where = offset + done;
            at.Offset = static_cast<DWORD>(where);
            at.OffsetHigh = static_cast<DWORD>(where >> 32);
            const DWORD want = static_cast<DWORD>(std::min<size_t>(size - done, 1u << 30));
            DWORD got = 0;
            if (!ReadFile(handle_, buffer + done, want, &got, &at)) {
                if (GetLastError() == ERROR_HANDLE_EOF) break;
                fail(ErrorKind::Io, "cannot read archive: " + last_error_text());
            }
            if (got == 0) break;
            done += got;
        }
        return done;
    }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    uint64_t size_ = 0;
};

FILETIME to_filetime(uint64_t t) {
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(t);
    ft.dwHighDateTime = static_cast<DWORD>(t >> 32);
    return ft;
}

// Attributes worth restoring; the rest describe storage, not the file.
DWORD restorable(uint32_t attributes) {
    return attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                         FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
}

class Win32File : public OutputFile {
public:
    // Takes over a temporary file made by create_temporary.
    Win32File(HANDLE handle, std::wstring temp, std::wstring final_path)
        : temp_(std::move(temp)), final_(std::move(final_path)), handle_(handle) {}
    ~Win32File() override {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
        if (!committed_) DeleteFileW(temp_.c_str());
    }
    void write(const uint8_t* data, size_t size) override {
        while (size > 0) {
            DWORD done = 0;
            const DWORD want = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
            if (!WriteFile(handle_, data, want, &done, nullptr) || done == 0) io_error("cannot write", final_);
            data += done;
            size -= done;
        }
    }
    void commit(const EntryMetadata& meta) override {
        if (meta.has_mtime) {
            const FILETIME ft = to_filetime(meta.mtime);
            SetFileTime(handle_, nullptr, nullptr, &ft);
        }
        HANDLE h = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        if (!CloseHandle(h)) io_error("cannot write", final_);
        const DWORD existing = GetFileAttributesW(final_.c_str());
        if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_READONLY))
            SetFileAttributesW(final_.c_str(), existing & ~FILE_ATTRIBUTE_READONLY);
        if (!MoveFileExW(temp_.c_str(), final_.c_str(), MOVEFILE_REPLACE_EXISTING)) io_error("cannot create", final_);
        committed_ = true;
        if (meta.has_attributes && restorable(meta.attributes))
            SetFileAttributesW(final_.c_str(), restorable(meta.attributes));
    }

private:
    std::wstring temp_, final_;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    bool committed_ = false;
};

bool is_separator(wchar_t c) { return c == L'\\' || c == L'/'; }

std::wstring absolute(const std::wstring& path) {
    const DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (n == 0) return path;
    std::wstring full(n, L'\0');
    const DWORD written = GetFullPathNameW(path.c_str(), n, full.data(), nullptr);
    if (written == 0 || written >= n) return path;
    full.resize(written);
    return full;
}

// Length of the part of a path that names the volume and cannot be created:
// "C:", "\\\\server\\share", "\\\\?\\C:", "\\\\?\\UNC\\server\\share".
size_t volume_prefix_length(const std::wstring& path) {
    size_t start = 0;
    size_t separators_to_skip = 0;
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) {
        start = 8;
        separators_to_skip = 2;
    } else if (path.rfind(L"\\\\?\\", 0) == 0) {
        start = 4;
    } else if (path.size() >= 2 && is_separator(path[0]) && is_separator(path[1])) {
        start = 2;
        separators_to_skip = 2;
    }
    if (separators_to_skip == 0) return path.size() >= start + 2 && path[start + 1] == L':' ? start + 2 : start;
    size_t i = start;
    for (size_t seen = 0; i < path.size(); ++i)
        if (is_separator(path[i]) && ++seen == separators_to_skip) break;
    return i;
}

// Paths past MAX_PATH need the \\?\ form, which takes only absolute, backslashed paths:
// ours are, since the root went through GetFullPathNameW and entry names were normalised.
std::wstring long_form(const std::wstring& path) {
    if (path.size() < MAX_PATH - 12 || path.rfind(L"\\\\?\\", 0) == 0) return path;
    if (path.size() > 2 && path[1] == L':') return L"\\\\?\\" + path;
    if (path.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + path.substr(2);
    return path;
}

class Win32Sink : public OutputSink {
public:
    explicit Win32Sink(const std::wstring& root) : root_(absolute(root.empty() ? L"." : root)) {
        // "C:\" stays as it is; "C:\out\" loses its trailing separator.
        while (root_.size() > 1 && is_separator(root_.back()) && root_[root_.size() - 2] != L':') root_.pop_back();
    }
    std::wstring full(const std::string& path) const {
        if (path.empty()) return long_form(root_);
        std::wstring rel = utf8_to_wide(path);
        for (auto& c : rel)
            if (c == L'/') c = L'\\';
        return long_form(is_separator(root_.back()) ? root_ + rel : root_ + L"\\" + rel);
    }
    void make_directories(const std::string& path) override {
        if (known_directories_.count(path)) return;
        const std::wstring target = full(path);
        for (size_t i = volume_prefix_length(target) + 1; i <= target.size(); ++i) {
            if (i != target.size() && !is_separator(target[i])) continue;
            const std::wstring prefix = target.substr(0, i);
            if (prefix.empty() || (prefix.size() == 2 && prefix[1] == L':') || is_separator(prefix.back())) continue;
            if (!CreateDirectoryW(prefix.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
                io_error("cannot create folder", prefix);
        }
        const DWORD attrs = GetFileAttributesW(target.c_str());
        if (attrs == INVALID_FILE_ATTRIBUTES || !(attrs & FILE_ATTRIBUTE_DIRECTORY)) {
            SetLastError(ERROR_DIRECTORY);
            io_error("cannot create folder", target);
        }
        known_directories_.insert(path);
    }
    bool exists(const std::string& path) override {
        return GetFileAttributesW(full(path).c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    std::unique_ptr<OutputFile> create_file(const std::string& path) override {
        const size_t slash = path.rfind('/');
        make_directories(slash == std::string::npos ? "" : path.substr(0, slash));
        const std::wstring final_path = full(path);
        std::wstring temp;
        HANDLE handle = INVALID_HANDLE_VALUE;
        const bool made = create_temporary(GetCurrentProcessId(), sequence_, [&](const std::string& suffix) {
            temp = long_form(final_path + std::wstring(suffix.begin(), suffix.end()));
            handle = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (handle != INVALID_HANDLE_VALUE) return Creation::Created;
            const DWORD error = GetLastError();
            return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? Creation::NameTaken : Creation::Failed;
        });
        if (!made) io_error("cannot create", temp);
        return std::make_unique<Win32File>(handle, temp, final_path);
    }
    void set_directory_metadata(const std::string& path, const EntryMetadata& meta) override {
        const std::wstring dir = full(path);
        if (meta.has_mtime) {
            HANDLE h = CreateFileW(dir.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
            if (h != INVALID_HANDLE_VALUE) {
                const FILETIME ft = to_filetime(meta.mtime);
                SetFileTime(h, nullptr, nullptr, &ft);
                CloseHandle(h);
            }
        }
        if (meta.has_attributes && restorable(meta.attributes))
            SetFileAttributesW(dir.c_str(), restorable(meta.attributes) | FILE_ATTRIBUTE_DIRECTORY);
    }

private:
    std::wstring root_;
    std::set<std::string> known_directories_;  // created or found already
    unsigned sequence_ = 0;                     // of the next temporary name
};

}  // namespace

std::unique_ptr<ArchiveSource> Win32Host::open_archive(const std::string& path) {
    return std::make_unique<Win32Source>(utf8_to_wide(path));
}

std::unique_ptr<OutputSink> Win32Host::open_destination(const std::string& folder) {
    return std::make_unique<Win32Sink>(utf8_to_wide(folder));
}

}  // namespace archiver
