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
// The system and Windows folders' buffers, and the monitor DLL's path.
constexpr std::uint32_t systemFolderBufferSize = 260;

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

// Where the name a printer is created under comes from: the package's own list of printer
// names, or the name the user typed.
enum class PrinterNameSource { PackageList, Typed };

// Before anything is copied, a printer of that name that is already there. One whose settings
// cannot be read stops the installation: it could not be created again should its successor
// fail. A name from the package's list is the package's printer of an earlier installation
// and is replaced without a word; a typed name whose printer has another driver is replaced
// only when the user says Yes in a box that names it. False, with Install usable again and
// nothing changed, when the user keeps it or its settings cannot be read.
bool confirmReplacement(DialogContext& context, const std::string& printerName, const std::string& driverName,
                        PrinterNameSource source);

// How a failed driver registration is said: the box's text (%d the error) and its owner.
struct DriverFailureBox {
    const char* text;
    bool ownedByDialog;  // false: an application message box
};

// The folder the spooler loads the language monitor from: the system folder, or on a 64-bit
// system the 32-bit one beside it.
std::string monitorFolder(DialogContext& context);

// A run ended from outside between its copies and the end of its registrations leaves the
// files its copies replaced beside them, as "<file>.previous", in the driver folder and the
// monitor's folder. Before anything is copied each is put back in the place of the file
// beside it (or only removed when that file holds the same bytes), and the run's log says
// so; only names the model tables stage there are looked at. False, said, with Install
// usable again, when one cannot be put back: nothing is copied then.
bool putBackKeptFiles(DialogContext& context, const std::string& driverDirectory);

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
    // Whether the package has every file to be copied. When it lacks one nothing is copied:
    // the status line names the file, and the box of a failed registration says the error a
    // missing file gives.
    bool inPackage(const DriverFailureBox& box);
    // Copies every file, overwriting, and shows each destination in the status line. A file
    // a copy replaces is moved aside under its name with ".previous" until the copies are
    // kept or taken back.
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
        bool kept = false;      // ... and it was moved aside
    };
    static std::string keptPath(const Copy& copy);
    DialogContext& context_;
    std::uint32_t limit_;
    std::vector<Copy> copies_;
    std::vector<std::string> paths_;
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
