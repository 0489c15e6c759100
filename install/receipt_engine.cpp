#include <string>

#include "install/driver_engines.h"
#include "install/driver_staging.h"
#include "install/installation_tail.h"
#include "install/model_tables.h"
#include "install/rerun_decision.h"
#include "ports/port_choice.h"
#include "probe/service_control.h"

namespace setup {

namespace {

constexpr std::uint32_t dependentFilesBufferSize = 255;

// The files of a receipt driver, from the package folder of the system's bitness.
void stageReceiptFiles(Staging& staging, const ReceiptModel& model, const std::string& source,
                       const std::string& directory) {
    auto stage = [&](const std::string& name) { staging.copy(source + name, joinPath(directory, name)); };
    stage(model.groupDllFile());
    stage(model.gpdFile());
    stage(std::string(pluginBaseName) + std::string(pluginLibraryExtension));
    stage(std::string(pluginBaseName) + std::string(pluginSettingsExtension));
    for (const char* file : unidrvFiles()) stage(file);
}

// The plug-in or plain block, then the group DLL, in a zeroed buffer whose rest ends the list.
std::string receiptDependentFiles(const ReceiptModel& model) {
    std::string files(model.dependentBlock);
    files += model.groupDllFile();
    files.resize(dependentFilesBufferSize, '\0');
    return files;
}

}  // namespace

void DriverEngines::installReceipt(DialogContext& context) {
    InstallValues& values = context.values;
    MainWindow& window = context.window;
    const PrinterNameSource nameSource =
        context.config.program == Program::SoloSetup ? PrinterNameSource::Typed : PrinterNameSource::PackageList;
    const std::string printerName =
        nameSource == PrinterNameSource::Typed ? window.printerName() : window.driverListText();
    if (!acceptPrinterName(context, printerName)) return;
    std::optional<ReceiptModel> model = receiptLookup(context.config.program, *values.driverIndex, window.driverListText());
    if (!decideAtInstall(context, printerName, model->displayName)) return;
    // A printer kept stays on its port: no port dialog.
    if (!values.keptPrinter && !choosePortBeforeInstall(context)) return;
    if (!confirmReplacement(context, printerName, model->displayName, nameSource)) return;
    std::optional<DriverFolder> folder = findDriverFolder(context);
    if (!folder || !putBackKeptFiles(context, folder->directory)) return;

    const std::string source = values.is64Bit ? "C:\\Ticket\\x64\\" : "C:\\Ticket\\x86\\";
    const std::string& directory = folder->directory;
    Staging staging(context, receiptPathBufferSize);
    stageReceiptFiles(staging, *model, source, directory);
    DriverRecord driver;
    driver.version = driverVersion(context);
    driver.name = model->displayName;
    driver.environment = folder->environment;
    driver.driverPath = staging.path(directory + "\\uniDRV.DLL");
    driver.dataFile = staging.path(joinPath(directory, model->gpdFile()));
    driver.configFile = staging.path(directory + "\\uniDRVui.DLL");
    driver.helpFile = staging.path(directory + "\\uniDRV.HLP");
    driver.dependentFiles = receiptDependentFiles(*model);
    driver.defaultDataType = "RAW";
    const DriverFailureBox failureBox{context.config.receiptDriverNotAdded, true};
    if (!staging.fits() || !staging.inPackage(failureBox)) return;

    staging.copyAll();
    if (!staging.verified()) return;
    staging.keep();
    window.setProgress(10);
    context.calls.statusStep(text::addingPrinterDriver + driver.name);
    if (!spoolerReady(context, serviceStartIfStopped)) return;
    SpoolerCall added = context.platform.spooler.addPrinterDriverEx(driver, apdCopyNewFiles);
    if (!added.ok) return driverNotAdded(context, failureBox, added.error);

    context.calls.statusStep(text::driverAddedHead + driver.name + text::driverAddedTail);
    values.installed = {printerName, driver.name, driver.environment, window.driverListText(), {}, false};
    // The plug-in files stay: the driver loads them from the driver folder.
    FileSystem& files = context.platform.files;
    files.deleteFile(joinPath(directory, model->groupDllFile()));
    files.deleteFile(joinPath(directory, model->gpdFile()));
    for (const char* file : unidrvFiles()) files.deleteFile(joinPath(directory, file));
    window.setProgress(20);
    finishInstallation(context, printerName, driver.name, receiptFinishPauseMs);
}

}  // namespace setup
