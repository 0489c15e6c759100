#include "tests/core/fixture.h"

#include <gtest/gtest.h>

#include "install/model_tables.h"

#include <atomic>
#include <unistd.h>

namespace setup::test {

TempRoot::TempRoot() {
    static std::atomic<int> counter{0};
    path = std::filesystem::temp_directory_path() /
           ("setup-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
}

TempRoot::~TempRoot() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

std::string driverNameFile(const std::vector<std::vector<std::string>>& sections) {
    std::string text;
    int number = 0;
    for (const auto& names : sections) {
        text += "[Driver" + std::to_string(++number) + "]\r\n";
        for (std::size_t k = 0; k < names.size(); ++k)
            if (!names[k].empty()) text += "PrintName" + std::to_string(k + 1) + "=" + names[k] + "\r\n";
    }
    return text;
}

Desktop::Desktop(Program program, bool installEngines)
    : machine(root.path),
      platform(machine.platform()),
      dialog(platform, buildConfig(program), window,
             installEngines ? static_cast<InstallEngines&>(drivers) : static_cast<InstallEngines&>(engines), &notes) {
    machine.title = buildConfig(program).programName;
    window.attach(dialog);
    engines.window = &window;
}

Desktop::~Desktop() {
    if (!opened) return;
    window.clickCloseBox();
    window.waitClosed();
}

void providePackage(sim::SimWindows& machine, const std::string& driverNames) {
    machine.writeFile(machine.currentDir + "\\DriverData.Drv", "7z archive");
    machine.archiveTree = {
        {"DriverName.cfg", driverNames},
        {"Ticket\\x86\\TKR58A.GPD", "gpd"},
        {"Ticket\\x64\\TKR58A.GPD", "gpd"},
        {"Barcode\\x86\\almonNT.dll", "dll"},
        {"Barcode\\x64\\almon64.dll", "dll"},
        {"Barcode\\Common\\THERMAL.chm", "help"},
    };
}

void provideFullPackage(sim::SimWindows& machine, Program program) {
    std::vector<std::vector<std::string>> sections;
    for (const char* name : receiptDisplayTable()) sections.push_back({name});
    for (const char* name : labelDisplayTable()) sections.push_back({name});
    providePackage(machine, driverNameFile(sections));
    for (const PackageFile& file : packageFiles(program))
        machine.archiveTree[std::string(packageFolderPath(file.folder)) + "\\" + file.name] = file.name;
}

void Desktop::providePackage(const std::string& driverNames) {
    test::providePackage(machine, driverNames);
}

void Desktop::provideFullPackage() {
    test::provideFullPackage(machine, dialog.context().config.program);
}

void Desktop::open() {
    opened = true;
    window.open(dialog);
}

void Desktop::openAndPrepare() {
    open();
    ASSERT_TRUE(window.waitFor([this] { return window.installEnabled; })) << "preparation did not finish";
}

}  // namespace setup::test
