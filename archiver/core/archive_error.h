// Errors raised while reading an archive. They never cross the DLL boundary:
// the command runner turns them into a non-zero result and a report line.
#pragma once
#include <stdexcept>
#include <string>

namespace archiver {

enum class ErrorKind {
    BadCommand,    // command line not understood
    Io,            // archive or destination could not be read or written
    Corrupt,       // malformed or truncated archive, CRC mismatch
    Unsupported,   // method, encryption or feature we do not decode
    UnsafePath,    // an entry would land outside the destination
    Cancelled,     // the progress callback asked to stop
    Limit,         // a size the archive asks for is beyond what we allow
};

class ArchiveError : public std::runtime_error {
public:
    ArchiveError(ErrorKind kind, const std::string& what) : std::runtime_error(what), kind_(kind) {}
    ErrorKind kind() const { return kind_; }

private:
    ErrorKind kind_;
};

[[noreturn]] inline void fail(ErrorKind kind, const std::string& what) { throw ArchiveError(kind, what); }
[[noreturn]] inline void corrupt(const std::string& what) { throw ArchiveError(ErrorKind::Corrupt, what); }

}  // namespace archiver
