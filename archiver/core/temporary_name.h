// The name a file is written under until it is whole: beside its final name, with the
// writing process's id and a sequence number, "<final name>.7ztmp<process id>_<sequence>"
// (for example "uniDRV.DLL.7ztmp252_162"). A process that is killed while it writes leaves
// such a file; the installer knows them by this pattern and removes them.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace archiver {

// ".7ztmp<process id>_<sequence>", in decimal.
std::string temporary_suffix(unsigned long process_id, unsigned sequence);

// The final name a file name (without its folder) stands in for when it is a temporary
// name of ours; nothing for any other name.
std::optional<std::string_view> final_name_of_temporary(std::string_view file_name);

// What one attempt to create a file that must not exist yet gave.
enum class Creation { Created, NameTaken, Failed };

// Names tried before a folder full of files of our pattern is given up on.
constexpr unsigned kTemporaryNameTries = 1000;

// Creates the temporary file beside a final one. `try_create(suffix)` makes the file with
// that suffix only when no file has that name yet (CREATE_NEW, O_EXCL): a name that is
// taken, by a killed run of a process that had the same id or by anybody, is never opened,
// and the next sequence number is tried. True once a file is made; false when creating
// failed otherwise or every name tried was taken (the host's last error says why).
template <class TryCreate>
bool create_temporary(unsigned long process_id, unsigned& sequence, TryCreate&& try_create) {
    for (unsigned tried = 0; tried < kTemporaryNameTries; ++tried) {
        switch (try_create(temporary_suffix(process_id, sequence++))) {
            case Creation::Created: return true;
            case Creation::Failed: return false;
            case Creation::NameTaken: break;
        }
    }
    return false;
}

}  // namespace archiver
