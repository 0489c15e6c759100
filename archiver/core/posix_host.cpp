#include "archiver/core/posix_host.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <set>

#include "archiver/core/archive_error.h"
#include "archiver/core/streams.h"
#include "archiver/core/temporary_name.h"

namespace archiver {
namespace {

[[noreturn]] void io_error(const std::string& what, const std::string& path) {
    fail(ErrorKind::Io, what + " \"" + path + "\": " + std::strerror(errno));
}

class PosixSource : public ArchiveSource {
public:
    explicit PosixSource(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) io_error("cannot open archive", path);
        struct stat st;
        if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd_);
            errno = EINVAL;
            io_error("not a regular file", path);
        }
        size_ = static_cast<uint64_t>(st.st_size);
    }
    ~PosixSource() override { ::close(fd_); }
    uint64_t size() const override { return size_; }
    size_t read_at(uint64_t offset, uint8_t* buffer, size_t size) override {
        size_t done = 0;
        while (done < size) {
            ssize_t n = ::pread(fd_, buffer + done, size - done, static_cast<off_t>(offset + done));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) fail(ErrorKind::Io, std::string("cannot read archive: ") + std::strerror(errno));
            if (n == 0) break;
            done += static_cast<size_t>(n);
        }
        return done;
    }

private:
    int fd_ = -1;
    uint64_t size_ = 0;
};

// FILETIME (100 ns since 1601) to a POSIX timespec.
struct timespec to_timespec(uint64_t filetime) {
    constexpr uint64_t kEpochDelta = 116444736000000000ull;
    struct timespec ts;
    const int64_t t = static_cast<int64_t>(filetime - kEpochDelta);
    ts.tv_sec = static_cast<time_t>(t / 10000000);
    ts.tv_nsec = static_cast<long>(t % 10000000) * 100;
    if (ts.tv_nsec < 0) {
        ts.tv_nsec += 1000000000;
        --ts.tv_sec;
    }
    return ts;
}

void apply_metadata(const std::string& path, const EntryMetadata& meta, bool directory) {
    if (meta.has_mtime) {
        struct timespec times[2];
        times[0].tv_nsec = UTIME_OMIT;
        times[0].tv_sec = 0;
        times[1] = to_timespec(meta.mtime);
        ::utimensat(AT_FDCWD, path.c_str(), times, 0);
    }
    if (meta.has_attributes) {
        mode_t mode;
        if (meta.attributes & kAttributeUnixExtension) {
            mode = (meta.attributes >> 16) & 07777;
        } else {
            mode = directory ? 0755 : 0644;
            if (meta.attributes & kAttributeReadOnly) mode &= ~0222;
        }
        if (directory) mode |= 0700;  // we must still be able to use the folder ourselves
        ::chmod(path.c_str(), mode);
    }
}

class PosixFile : public OutputFile {
public:
    // Takes over a temporary file made by create_temporary.
    PosixFile(int fd, std::string temp, std::string final_path)
        : temp_(std::move(temp)), final_(std::move(final_path)), fd_(fd) {}
    ~PosixFile() override {
        if (fd_ >= 0) ::close(fd_);
        if (!committed_) ::unlink(temp_.c_str());
    }
    void write(const uint8_t* data, size_t size) override {
        while (size > 0) {
            ssize_t n = ::write(fd_, data, size);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) io_error("cannot write", final_);
            data += n;
            size -= static_cast<size_t>(n);
        }
    }
    void commit(const EntryMetadata& meta) override {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) io_error("cannot write", final_);
        if (::rename(temp_.c_str(), final_.c_str()) != 0) io_error("cannot create", final_);
        committed_ = true;
        apply_metadata(final_, meta, false);
    }

private:
    std::string temp_, final_;
    int fd_ = -1;
    bool committed_ = false;
};

class PosixSink : public OutputSink {
public:
    explicit PosixSink(std::string root) : root_(std::move(root)) {
        if (root_.empty()) root_ = ".";
        while (root_.size() > 1 && root_.back() == '/') root_.pop_back();
    }
    std::string full(const std::string& path) const { return path.empty() ? root_ : root_ + "/" + path; }

    void make_directories(const std::string& path) override {
        if (known_directories_.count(path)) return;
        std::string target = full(path);
        for (size_t i = 1; i <= target.size(); ++i) {
            if (i != target.size() && target[i] != '/') continue;
            const std::string prefix = target.substr(0, i);
            if (::mkdir(prefix.c_str(), 0755) != 0 && errno != EEXIST) io_error("cannot create folder", prefix);
        }
        struct stat st;
        if (::stat(target.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            errno = ENOTDIR;
            io_error("cannot create folder", target);
        }
        known_directories_.insert(path);
    }
    bool exists(const std::string& path) override {
        struct stat st;
        return ::lstat(full(path).c_str(), &st) == 0;
    }
    std::unique_ptr<OutputFile> create_file(const std::string& path) override {
        const size_t slash = path.rfind('/');
        make_directories(slash == std::string::npos ? "" : path.substr(0, slash));
        const std::string final_path = full(path);
        std::string temp;
        int fd = -1;
        const bool made = create_temporary(static_cast<unsigned long>(::getpid()), sequence_, [&](const std::string& suffix) {
            temp = final_path + suffix;
            fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
            if (fd >= 0) return Creation::Created;
            return errno == EEXIST ? Creation::NameTaken : Creation::Failed;
        });
        if (!made) io_error("cannot create", temp);
        return std::make_unique<PosixFile>(fd, temp, final_path);
    }
    void set_directory_metadata(const std::string& path, const EntryMetadata& meta) override {
        apply_metadata(full(path), meta, true);
    }

private:
    std::string root_;
    std::set<std::string> known_directories_;  // created or found already: saves a syscall per level
    unsigned sequence_ = 0;                     // of the next temporary name
};

}  // namespace

std::unique_ptr<ArchiveSource> PosixHost::open_archive(const std::string& path) {
    return std::make_unique<PosixSource>(path);
}

std::unique_ptr<OutputSink> PosixHost::open_destination(const std::string& folder) {
    return std::make_unique<PosixSink>(folder);
}

}  // namespace archiver
