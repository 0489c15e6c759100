#include <cstdio>
#include <string>
#include <vector>

#include "install/driver_engines.h"
#include "install/driver_staging.h"
#include "install/installation_tail.h"
#include "install/model_tables.h"
#include "install/rerun_decision.h"
#include "ports/port_choice.h"
#include "probe/service_control.h"

namespace setup {

namespace {

constexpr std::uint32_t labelDependentFilesBufferSize = 500;

// Each language DLL, then the model's .BA0 and .PP0 files, every name after a backslash.
std::string labelDependentFiles(const LabelModel& model) {
    std::string files;
    auto add = [&files](const std::string& name) { files += "\\" + name + '\0'; };
    for (const char* dll : model.languageDlls()) add(dll);
    add(model.dataFile(labelBa0Extension));
    add(model.dataFile(labelPp0Extension));
    files.resize(labelDependentFilesBufferSize, '\0');
    return files;
}

// The new monitor could not be added: the DLL it replaced goes back, and the monitor that was
// removed for it is registered again. Says what became of each.
std::string restorePreviousMonitor(DialogContext& context, Staging& monitorDll, const MonitorRecord& record,
                                   bool removed) {
    std::string said = text::monitorNotAdded;
    const bool dllWasThere = monitorDll.replacedAny();
    if (!monitorDll.takeBack().empty())
        said += fillText(text::monitorDllNotPutBack, {record.dllName});
    else
        said += fillText(dllWasThere ? text::monitorDllPutBack : text::monitorDllRemoved, {record.dllName});
    if (!removed) return said;
    SpoolerCall again = context.platform.spooler.addMonitor(record);
    if (again.ok || again.error == spooler_error::printMonitorAlreadyInstalled) return said + text::monitorRegisteredAgain;
    return said + fillText(text::monitorNotRegisteredAgain, {std::to_string(again.error)});
}

// Removes a monitor of the same name first (restarting the spooler so that it lets go of
// the old DLL), then registers ours. A monitor already there counts as added. The DLL our
// copy replaced is kept until then, so that a monitor that cannot be added leaves the one
// before it as it was.
bool addLanguageMonitor(DialogContext& context, const std::string& environment, const std::string& dllPath,
                        Staging& monitorDll) {
    Spooler& spooler = context.platform.spooler;
    const MonitorRecord record{std::string(labelMonitorName), environment, dllPath};
    // Without a running spooler nothing is registered: the DLL our copy replaced goes back.
    if (!spoolerReady(context, serviceStartIfStopped)) return monitorDll.takeBack(), false;
    const bool removed = spooler.deleteMonitor(environment, record.name).ok;
    // The spooler did not come back: what was removed for our monitor is put back.
    if (removed && !spoolerReady(context, serviceRestart)) {
        context.calls.appMessageBox(restorePreviousMonitor(context, monitorDll, record, removed), message_box::ok);
        return false;
    }
    SpoolerCall added = spooler.addMonitor(record);
    if (!added.ok && added.error != spooler_error::printMonitorAlreadyInstalled) {
        context.calls.appMessageBox(restorePreviousMonitor(context, monitorDll, record, removed),
                                    message_box::ok);
        context.calls.closeConfirmed();
        return false;
    }
    monitorDll.keep();
    // Added by this run: "already installed" is a monitor someone else added.
    context.values.installed.monitorAdded = added.ok;
    context.calls.statusStep(text::monitorAdded);
    return true;
}

}  // namespace

void DriverEngines::installLabel(DialogContext& context) {
    InstallValues& values = context.values;
    MainWindow& window = context.window;
    const std::string printerName = window.driverListText();
    if (!acceptPrinterName(context, printerName)) return;
    std::optional<LabelModel> model = labelLookup(*values.driverIndex, values.is64Bit);
    if (!decideAtInstall(context, printerName, model->displayName)) return;
    // A printer kept stays on its port: no port dialog.
    if (!values.keptPrinter && !choosePortBeforeInstall(context)) return;
    if (!confirmReplacement(context, printerName, model->displayName, PrinterNameSource::PackageList)) return;
    std::optional<DriverFolder> folder = findDriverFolder(context);
    if (!folder || !putBackKeptFiles(context, folder->directory)) return;

    const std::string source = values.is64Bit ? "C:\\Barcode\\x64\\" : "C:\\Barcode\\x86\\";
    const std::string common = "C:\\Barcode\\Common\\";
    const std::string& directory = folder->directory;

    Staging monitor(context, systemFolderBufferSize);
    const std::string monitorPath = joinPath(monitorFolder(context), model->monitorDll());
    monitor.copy(source + model->monitorDll(), monitorPath);

    Staging staging(context, labelPathBufferSize);
    for (const char* file : model->files) staging.copy(source + file, joinPath(directory, file));
    staging.copy(common + std::string(labelHelpFile), joinPath(directory, std::string(labelHelpFile)));
    for (std::string_view extension : labelDataExtensions)
        staging.copy(common + model->dataFile(extension), joinPath(directory, model->dataFile(extension)));
    DriverRecord driver;
    driver.version = driverVersion(context);
    driver.name = model->displayName;
    driver.environment = folder->environment;
    driver.driverPath = staging.path(joinPath(directory, model->driverDll()));
    driver.dataFile = staging.path(joinPath(directory, model->dataFile(labelDatExtension)));
    driver.configFile = staging.path(joinPath(directory, model->uiDll()));
    driver.helpFile = staging.path(joinPath(directory, std::string(labelHelpFile)));
    driver.dependentFiles = labelDependentFiles(*model);
    driver.monitorName = labelMonitorName;
    driver.defaultDataType = "RAW";
    if (!monitor.fits() || !staging.fits()) return;
    const DriverFailureBox failureBox{text::labelDriverNotAdded, false};
    if (!monitor.inPackage(failureBox) || !staging.inPackage(failureBox)) return;

    values.installed = {};
    monitor.copyAll();
    if (!monitor.verified()) return;
    if (!addLanguageMonitor(context, folder->environment, monitorPath, monitor)) return;
    staging.copyAll();
    if (!staging.verified()) return;
    staging.keep();
    window.setProgress(10);
    context.calls.statusStep(text::addingPrinterDriver + driver.name);
    SpoolerCall added = context.platform.spooler.addPrinterDriverEx(driver, apdCopyNewFiles);
    if (!added.ok) return driverNotAdded(context, failureBox, added.error);

    context.calls.statusStep(text::driverAddedHead + driver.name + text::driverAddedTail);
    const bool monitorAdded = values.installed.monitorAdded;
    values.installed = {printerName, driver.name, driver.environment, window.driverListText(), driver.monitorName,
                        monitorAdded};
    FileSystem& files = context.platform.files;
    for (const std::string& name : {std::string(labelHelpFile), model->dataFile(labelBa0Extension),
                                    model->dataFile(labelPp0Extension), model->dataFile(labelDatExtension)})
        files.deleteFile(joinPath(directory, name));
    for (const char* file : model->files) files.deleteFile(joinPath(directory, file));
    window.setProgress(20);
    finishInstallation(context, printerName, driver.name, labelFinishPauseMs);
}

}  // namespace setup
