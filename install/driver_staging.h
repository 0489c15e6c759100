#pragma once

// What the two installation engines share: the spooler's driver folder for the system's
// bitness, the files staged there, the checks that stop an installation before anything is
// copied, and the answer to a failed driver registration.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "context/dialog_context.h"

namespace setup {

// The buffers the engines hand the spooler: the driver folder and environment, the paths of
// the receipt and label driver records.
constexpr std::uint32_t driverFolderBufferSize = 255;
constexpr std::uint32_t receiptPathBufferSize = 260;
constexpr std::uint32_t labelPathBufferSize = 200;

constexpr const char* environmentX86 = "Windows NT x86";
constexpr const char* environmentX64 = "Windows x64";

// The spooler's driver folder of the environment the system's bitness selects.
struct DriverFolder {
    std::string environment;
    std::string directory;
};

// Asks the spooler for the x86 driver folder and, on a 64-bit system, for the x64 one.
// Nothing when the spooler does not answer: the failure has been said to the user.
std::optional<DriverFolder> findDriverFolder(DialogContext& context);

// The name a printer is created under, refused when the spooler could not take it; the
// reason has been said and Install is usable again.
bool acceptPrinterName(DialogContext& context, const std::string& printerName);

// A printer of that name with another driver is replaced only when the user says Yes in a
// box that names it; one with the same driver is replaced without a word (a reinstall).
// False, with Install usable again and nothing changed, when the user keeps it or its
// settings cannot be read.
bool confirmReplacement(DialogContext& context, const std::string& printerName, const std::string& driverName);

// The files one installation stages and the driver record paths, each checked against the
// buffer it must fit before anything is copied.
class Staging {
public:
    Staging(DialogContext& context, std::uint32_t pathBufferSize) : context_(context), limit_(pathBufferSize) {}

    void copy(const std::string& source, const std::string& destination);
    // Notes a path that goes into the driver record; returns it.
    const std::string& path(const std::string& recordPath);
    // False, with the reason said, when a path would not fit: nothing may be copied then.
    bool fits();
    // Copies every file, overwriting, and shows each destination in the status line. A file
    // a copy replaces is kept beside it until the copies are kept or taken back.
    void copyAll();
    // Whether each copy holds the bytes the package listed for its source. The copies lie
    // where only administrators write, so what is checked there is what gets registered.
    // When one differs the copies are taken back and the user is told, naming it; Install is
    // usable again.
    bool verified();
    // Takes the copies back: removes each and puts back what it replaced. Returns the files
    // that could not be put back as they were.
    std::vector<std::string> takeBack();
    // The copies stay; the files they replaced are dropped.
    void keep();
    // Whether a copy replaced a file that was there before.
    bool replacedAny() const;

private:
    struct Copy {
        std::string source, destination;
        bool copied = false;    // the copy was made
        bool replaced = false;  // something was there before the copy
        bool kept = false;      // ... and it is kept beside it
    };
    static std::string keptPath(const Copy& copy);
    DialogContext& context_;
    std::uint32_t limit_;
    std::vector<Copy> copies_;
    std::vector<std::string> paths_;
};

// How a failed driver registration is said: the box's text (%d the error) and its owner.
struct DriverFailureBox {
    const char* text;
    bool ownedByDialog;  // false: an application message box
};

// The driver could not be registered: Retry leaves Install reading "Reinstall", Cancel
// ends the dialog as confirmed.
void driverNotAdded(DialogContext& context, const DriverFailureBox& box, std::uint32_t error);

// Brings the spooler to the state the next registration needs (service control mode).
// When it cannot get there the reason has been said: the installation stops with nothing
// more registered, the status says so and Install is usable again.
bool spoolerReady(DialogContext& context, int serviceMode);

// Driver record version: 2 for Windows NT 4.0 and older, 3 otherwise.
std::uint32_t driverVersion(DialogContext& context);

// "a\b": a folder and a name joined with a backslash.
std::string joinPath(const std::string& folder, const std::string& name);

}  // namespace setup
