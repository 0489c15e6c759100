#include "install/driver_staging.h"

#include <cctype>
#include <cstdio>
#include <set>

#include "install/model_tables.h"
#include "install/printer_name_rule.h"
#include "package/file_identity.h"
#include "probe/os_probe.h"
#include "probe/printer_list.h"
#include "probe/service_control.h"

namespace setup {

namespace {

constexpr int osCodeWindowsNt4 = 4;

std::string joined(const std::vector<std::string>& paths) {
    std::string list;
    for (const std::string& path : paths) list += (list.empty() ? "" : ", ") + path;
    return list;
}

std::string lowerCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string formatted(const char* format, const std::string& a, int b) {
    std::vector<char> text(std::snprintf(nullptr, 0, format, a.c_str(), b) + 1);
    std::snprintf(text.data(), text.size(), format, a.c_str(), b);
    return text.data();
}

// Stops an installation that could not start: Install usable again, nothing changed.
void refuse(DialogContext& context, const std::string& message) {
    context.window.messageBox(message, text::errorCaption, message_box::ok | message_box::iconError);
    context.window.enableInstall(true);
}

constexpr const char* keptSuffix = ".previous";

std::string keptName(const std::string& path) {
    return path + keptSuffix;
}

bool endsWithNoCase(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && lowerCase(text.substr(text.size() - tail.size())) == lowerCase(tail);
}

bool sameBytes(FileSystem& files, const std::string& a, const std::string& b) {
    Result<std::string> first = files.readFileW(a);
    Result<std::string> second = files.readFileW(b);
    return first && second && *first == *second;
}

// The names of the files the engines copy into a folder (lower case): into the driver folder
// those of the package folders of the system's bitness and the common one, into the
// monitor's folder the monitor DLL.
std::set<std::string> stagedNames(DialogContext& context, bool monitorFolder) {
    const bool is64Bit = context.values.is64Bit;
    if (monitorFolder) return {lowerCase(labelFileList(is64Bit)[0])};
    std::set<std::string> names;
    for (const PackageFile& file : packageFiles(context.config.program))
        if (file.folder == PackageFolder::BarcodeCommon || isBitness64(file.folder) == is64Bit)
            names.insert(lowerCase(file.name));
    return names;
}

// Puts back each kept file of the folder whose name is one of the staged names.
bool putBackKeptFilesIn(DialogContext& context, const std::string& folder, const std::set<std::string>& staged) {
    FileSystem& files = context.platform.files;
    Result<std::vector<FoundFile>> found = files.findFiles(joinPath(folder, std::string("*") + keptSuffix));
    if (!found) return true;
    for (const FoundFile& entry : *found) {
        if ((entry.attributes & fileAttributeDirectory) || !endsWithNoCase(entry.name, keptSuffix)) continue;
        const std::string name = entry.name.substr(0, entry.name.size() - std::string(keptSuffix).size());
        if (!staged.count(lowerCase(name))) continue;
        const std::string file = joinPath(folder, name), kept = joinPath(folder, entry.name);
        if (sameBytes(files, kept, file)) {
            files.deleteFile(kept);
            context.notes.note(fillText(text::keptFileRemoved, {kept, file}));
        } else if (files.moveFile(kept, file, true)) {
            context.notes.note(fillText(text::keptFilePutBack, {kept, file}));
        } else {
            refuse(context, fillText(text::keptFileNotPutBack, {kept, file}));
            return false;
        }
    }
    return true;
}

}  // namespace

std::string monitorFolder(DialogContext& context) {
    FileSystem& files = context.platform.files;
    if (context.values.is64Bit) return joinPath(files.windowsDirectory(systemFolderBufferSize), "SysWOW64");
    return files.systemDirectory(systemFolderBufferSize);
}

bool putBackKeptFiles(DialogContext& context, const std::string& driverDirectory) {
    return putBackKeptFilesIn(context, driverDirectory, stagedNames(context, false)) &&
           putBackKeptFilesIn(context, monitorFolder(context), stagedNames(context, true));
}

std::string joinPath(const std::string& folder, const std::string& name) {
    return folder + "\\" + name;
}

std::optional<DriverFolder> findDriverFolder(DialogContext& context) {
    DriverFolder folder{environmentX86, {}};
    if (context.values.is64Bit) folder.environment = environmentX64;
    Result<std::string> directory = context.platform.spooler.printerDriverDirectory(environmentX86, driverFolderBufferSize);
    if (context.values.is64Bit)
        directory = context.platform.spooler.printerDriverDirectory(environmentX64, driverFolderBufferSize);
    // Without the folder every staged file would land in the root of the current drive.
    if (!directory || directory->empty()) {
        char message[512];
        std::snprintf(message, sizeof message, text::noDriverDirectory, folder.environment.c_str(),
                      static_cast<unsigned>(directory ? 0 : directory.error()));
        refuse(context, message);
        return std::nullopt;
    }
    folder.directory = *directory;
    return folder;
}

bool acceptPrinterName(DialogContext& context, const std::string& printerName) {
    const char* reason = printerNameProblem(printerName);
    if (reason == nullptr) return true;
    char message[512];
    std::snprintf(message, sizeof message, text::printerNameRefused, printerName.substr(0, 64).c_str(), reason);
    refuse(context, message);
    return false;
}

bool confirmReplacement(DialogContext& context, const std::string& printerName, const std::string& driverName,
                        PrinterNameSource source) {
    Result<std::optional<PrinterRecord>> existing = readPrinter(context.platform.spooler, printerName);
    if (!existing) {
        refuse(context, fillText(text::printerUnreadable, {printerName, std::to_string(existing.error())}));
        return false;
    }
    if (!*existing || source == PrinterNameSource::PackageList || (*existing)->driverName == driverName) return true;
    const PrinterRecord& other = **existing;
    const std::string question =
        fillText(text::replacePrinterQuestion, {printerName, other.driverName, other.portName, driverName});
    if (context.window.messageBox(question, text::replacePrinterCaption,
                                  message_box::yesNo | message_box::iconQuestion) == message_box::idYes)
        return true;
    context.window.enableInstall(true);
    return false;
}

void Staging::copy(const std::string& source, const std::string& destination) {
    copies_.push_back({source, destination});
}

const std::string& Staging::path(const std::string& recordPath) {
    paths_.push_back(recordPath);
    return paths_.back();
}

bool Staging::fits() {
    std::vector<const std::string*> all;
    for (const Copy& c : copies_) all.insert(all.end(), {&c.source, &c.destination});
    for (const std::string& p : paths_) all.push_back(&p);
    for (const std::string* p : all) {
        if (p->size() < limit_) continue;
        refuse(context_, formatted(text::pathTooLong, *p, static_cast<int>(limit_) - 1));
        return false;
    }
    return true;
}

bool Staging::inPackage(const DriverFailureBox& box) {
    for (const Copy& c : copies_) {
        if (context_.values.packageFiles.count(lowerCase(c.source))) continue;
        context_.calls.statusStep(fillText(text::packageLacksFile, {c.source}));
        driverNotAdded(context_, box, win_error::fileNotFound);
        return false;
    }
    return true;
}

std::string Staging::keptPath(const Copy& copy) {
    return keptName(copy.destination);
}

void Staging::copyAll() {
    FileSystem& files = context_.platform.files;
    for (Copy& c : copies_) {
        c.replaced = files.attributesW(c.destination).has_value();
        // Moved, not copied: a run ended at any moment leaves the file it replaces whole.
        if (c.replaced) c.kept = files.moveFile(c.destination, keptPath(c), false);
        c.copied = files.copyFile(c.source, c.destination, false);
        context_.calls.statusStep(c.destination);
    }
}

bool Staging::verified() {
    for (const Copy& c : copies_) {
        auto listed = context_.values.packageFiles.find(lowerCase(c.source));
        if (listed != context_.values.packageFiles.end() && holdsEntry(context_.platform.files, c.destination, listed->second))
            continue;
        std::string message = fillText(text::copiedFileDiffers, {c.destination});
        std::vector<std::string> lost = takeBack();
        if (!lost.empty()) message += fillText(text::copiesNotRestored, {joined(lost)});
        refuse(context_, message);
        return false;
    }
    return true;
}

std::vector<std::string> Staging::takeBack() {
    FileSystem& files = context_.platform.files;
    std::vector<std::string> lost;
    for (const Copy& c : copies_) {
        if (c.kept) {
            // Left where it is, the next run puts it back.
            if (!files.moveFile(keptPath(c), c.destination, true)) lost.push_back(c.destination);
            continue;
        }
        // A copy that failed left the destination as it was.
        if (!c.copied) continue;
        files.deleteFile(c.destination);
        if (c.replaced) lost.push_back(c.destination);
    }
    copies_.clear();
    return lost;
}

bool Staging::replacedAny() const {
    for (const Copy& c : copies_)
        if (c.replaced) return true;
    return false;
}

void Staging::keep() {
    for (const Copy& c : copies_)
        if (c.kept) context_.platform.files.deleteFile(keptPath(c));
}

void driverNotAdded(DialogContext& context, const DriverFailureBox& box, std::uint32_t error) {
    char message[512];
    std::snprintf(message, sizeof message, box.text, static_cast<int>(error));
    int answer = box.ownedByDialog
                     ? context.window.messageBox(message, text::errorCaption, message_box::retryCancel)
                     : context.calls.appMessageBox(message, message_box::retryCancel);
    if (answer == message_box::idRetry) {
        context.window.setInstallCaption(text::reinstallCaption);
        context.window.enableInstall(true);
        context.window.setProgress(0);
        return;
    }
    context.calls.closeConfirmed();
}

bool spoolerReady(DialogContext& context, int serviceMode) {
    if (controlService(context, spoolerService, serviceMode)) return true;
    context.window.setProgress(0);
    context.calls.statusStep(text::installationStoppedNoSpooler);
    context.window.enableInstall(true);
    return false;
}

std::uint32_t driverVersion(DialogContext& context) {
    return osCode(context.platform.system, context.config.program) == osCodeWindowsNt4 ? 2 : 3;
}

}  // namespace setup
