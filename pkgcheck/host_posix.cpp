// On a build server: the package is a POSIX file, and the printer-name list is read by the
// simulated Windows, whose profile functions follow the system's own rules.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "archiver/core/posix_host.h"
#include "pkgcheck/host.h"
#include "platform/sim/sim_windows.h"

namespace setup::pkgcheck {

namespace fs = std::filesystem;

std::vector<std::string> commandArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

std::unique_ptr<archiver::ArchiveSource> openPackage(const std::string& path) {
    return archiver::PosixHost().open_archive(path);
}

namespace {

// A folder of its own below the temporary folder, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (fs::temp_directory_path() / "pkgcheck-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw fs::filesystem_error("cannot make a scratch folder", std::error_code(errno, std::generic_category()));
        path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

}  // namespace

DriverNameListView readDriverNameListBytes(const std::string& content) {
    ScratchFolder scratch;
    sim::SimWindows machine(scratch.path());
    const std::string listFile = "C:\\DriverName.cfg";
    {
        std::ofstream out(scratch.path() / "c" / "DriverName.cfg", std::ios::binary);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
    }
    return readDriverNameListView(machine, listFile);
}

void writeOut(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

}  // namespace setup::pkgcheck
