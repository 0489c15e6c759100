#include "app/main_dialog.h"

#include <algorithm>
#include <cstdio>

#include "install/model_tables.h"
#include "package/driver_name_list.h"
#include "package/package_files.h"
#include "probe/os_probe.h"
#include "probe/port_enumeration.h"
#include "probe/service_control.h"

namespace setup {

MainDialog::MainDialog(Platform& platform, const BuildConfig& config, MainWindow& window, InstallEngines& engines,
                       RunNotes* notes)
    : archiveLibrary(platform.archiver, platform.files, platform.system),
      platform_(platform),
      config_(config),
      window_(window),
      engines_(engines),
      installerLock_(platform.system),
      serialLine_(platform.serial, platform.system),
      context_{platform, config, window, values, *this, notes != nullptr ? *notes : noNotes_} {
    values.serialSearch = &serialSearch_;
}

MainDialog::~MainDialog() = default;

void MainDialog::statusStep(const std::string& text) {
    {
        std::lock_guard<std::mutex> lock(statusLock_);
        statusText = text;
    }
    refresh();
}

void MainDialog::refresh() {
    window_.sendUpdateData(0);
}

void MainDialog::printerNameFollowsDriver() {
    window_.setPrinterName(window_.driverListText());
}

int MainDialog::appMessageBox(const std::string& text, std::uint32_t style) {
    return window_.messageBox(text, platform_.system.programTitle(), style);
}

void MainDialog::closeConfirmed() {
    if (onUpdateData(1)) window_.endDialog(message_box::idOk);
}

int MainDialog::onUpdateData(std::intptr_t wParam) {
    std::lock_guard<std::mutex> lock(statusLock_);
    if (wParam == 0) {
        window_.setStatusLine(statusText);
        window_.setDefaultPrinterBox(values.setDefaultPrinter != 0);
    } else {
        values.setDefaultPrinter = window_.defaultPrinterBox() ? 1 : 0;
        statusText = window_.statusLine();
    }
    return 1;
}

bool MainDialog::onInitDialog() {
    // Before anything can load a DLL: the current folder is nobody's to trust.
    platform_.system.restrictDllSearch();
    // A second installer would unpack over the first one's files and remove them under it.
    if (!installerLock_.claim()) {
        anotherInstallerRunning = true;
        appMessageBox(text::installerRunning, message_box::ok | message_box::iconWarning);
        window_.endDialog(message_box::idCancel);
        return true;
    }
    onUpdateData(0);
    values.serialSettings.parity = 'N';
    values.serialSettings.dataBits = 8;
    values.serialSettings.stopBits = 1;
    values.serialSettings.eventMask = 3;
    values.groupSizes = {receiptGroupSizes[0], receiptGroupSizes[1], receiptGroupSizes[2], receiptGroupSizes[3]};
    fillPortTypeList();
    refresh();
    preparation_ = platform_.system.startThread([this] { prepare(); });
    return true;
}

void MainDialog::fillPortTypeList() {
    window_.portListDeleteAllItems();
    for (int columns = window_.portListColumnCount(); columns > 0; --columns) window_.portListDeleteColumn(0);
    window_.setPortListExtendedStyle((window_.portListExtendedStyle() & ~listViewTrackSelect) |
                                     listViewGridLinesFullRowSelect);
    window_.portListInsertColumn(0, text::portColumn, portColumnWidth);
    window_.portListInsertColumn(1, text::descriptionColumn, config_.descriptionColumnWidth);
    for (int row = 0; row < static_cast<int>(config_.portTypeRows.size()); ++row) {
        window_.portListInsertRow(row, config_.portTypeRows[row].port);
        window_.portListSetText(row, 1, config_.portTypeRows[row].description);
    }
    window_.portListSelect(portKindSerial);
}

// The preparation thread: every step runs whatever the one before achieved; a dialog that
// is closing skips what is left.
void MainDialog::prepare() {
    const std::function<void()> steps[] = {
        [this] { controlService(context_, spoolerService, serviceStartIfStopped); },
        [this] { enumeratePorts(context_); },
        [this] { extractPackage(context_, archiveLibrary, package, unpackNeeded); },
        [this] { fillDriverList(context_, package); },
        [this] { probeOs(context_); },
        [this] {
            unpackedWhenPrepared = package.unpacked;
            prepared = true;
            window_.enableInstall(true);
        },
    };
    for (const auto& step : steps) {
        if (closing()) return;
        step();
    }
}

void MainDialog::onDriverSelectionChanged() {
    printerNameFollowsDriver();
}

void MainDialog::onSerialByte(int, int port) {
    serialSearch_.byte(port);
}

std::optional<int> MainDialog::selectedPortKind() {
    for (int row = 0; row < window_.portListRowCount(); ++row)
        if (window_.portListIsSelected(row)) return row;
    return std::nullopt;
}

void MainDialog::choosePort() {
    const std::vector<std::string>* list = values.ports.ofKind(*values.portKind);
    if (list == nullptr) return;
    // The flag follows the kind chosen at this press: a user who switches to a kind that
    // has ports must get one of them.
    values.portsFound = !list->empty();
    if (!values.portsFound) return;
    // A port named in advance, when this kind has it; else the first.
    const bool given = values.givenPort && std::find(list->begin(), list->end(), *values.givenPort) != list->end();
    values.chosenPort = given ? *values.givenPort : list->front();
}

std::optional<int> MainDialog::chooseDriverIndex() {
    int selection = window_.driverListSelection();
    std::string text = window_.driverListText();
    std::optional<int> listed = driverIndexOf(readDriverNameSections(platform_.files, driverNameFile), text);
    if (listed) return listed;
    if (selection < 0) return std::nullopt;
    return selection;
}

void MainDialog::onInstallClicked() {
    onUpdateData(1);
    if (window_.installCaption() == text::finishCaption) return closeConfirmed();
    window_.enableInstall(false);

    // No row selected: the kind of the last press, or at the first press the kind the port
    // enumeration preselected.
    if (std::optional<int> row = selectedPortKind())
        values.portKind = row;
    else if (!values.portKind)
        values.portKind = values.preferredPortKind;
    choosePort();

    std::optional<int> index = chooseDriverIndex();
    if (!index) return refuseInstall(noPrinterMessage(package));
    values.driverIndex = index;
    if (*index < 0 || *index >= driverCount) {
        char message[512];
        std::snprintf(message, sizeof message, text::noDriverForPrinter, window_.driverListText().c_str(),
                      *index);
        return refuseInstall(message);
    }

    if (*index < values.groupSizes.receiptCount())
        engines_.installReceipt(context_);
    else
        engines_.installLabel(context_);
    window_.enableCancel(false);
    onUpdateData(0);
}

// Nothing can be installed for the current choice: say why and let the user try again.
void MainDialog::refuseInstall(const std::string& message) {
    window_.messageBox(message, "Error", message_box::ok | message_box::iconError);
    window_.enableInstall(true);
}

void MainDialog::onCancel() {
    closedByUser = true;
    window_.endDialog(message_box::idCancel);
}

void MainDialog::onClose() {
    closedByUser = true;
    window_.endDialog(message_box::idCancel);
}

// Timer 1 is the only timer: the serial probe's.
void MainDialog::onTimer(std::uintptr_t) {
    serialSearch_.tick(context_);
}

void MainDialog::onDestroy() {
    // A probe may be running: no more ticks, and the line's monitor thread ends here. The
    // printers it parked go back to their ports first, whichever way the dialog ends.
    serialSearch_.end(context_, SpoolerAfterRestore::Restart);
    window_.killTimer(serialProbeTimer);
    serialLine_.Close();
    // The preparation thread may still be unpacking: let it stop, so that the clean-up
    // below removes everything it wrote.
    closing_ = true;
    if (preparation_ && !preparation_->finished()) window_.waitServing(*preparation_);
    removePackage(platform_, package);
    installerLock_.release();
    archiveLibrary.Unload();
}

// The session ends without destroying the dialog: the parked printers' ports are written
// back, and the spooler takes them when it next starts.
void MainDialog::onEndSession() {
    serialSearch_.end(context_, SpoolerAfterRestore::LeaveForNextStart);
}

}  // namespace setup
