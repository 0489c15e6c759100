// Both programs through the entry the Windows programs use, started without any option.
#include <gtest/gtest.h>

#include "app/main_dialog.h"
#include "app/program_entry.h"
#include "tests/core/fixture.h"
#include "tests/core/sim_program_host.h"

namespace setup::test {

namespace {

// Started with nothing after its name, the program is the dialog on the window and the
// system as they are: no view, no logged system, no notes kept.
TEST(ProgramEntry, AnEmptyCommandLineRunsTheDialogOnTheWindowItselfToFinish) {
    for (Program program : {Program::MultiSetup, Program::SoloSetup}) {
        TempRoot root;
        sim::SimWindows machine(root.path);
        machine.title = buildConfig(program).programName;
        machine.ports = {{"LPT1:", "Local Port", "Local Port", 0}};
        provideFullPackage(machine, program);
        sim::SimMainWindow window;
        SimProgramHost host(window);
        Platform system = machine.platform();
        MainDialog* dialog = nullptr;
        host.beforeOpen = [&](MainWindowEvents& events) {
            dialog = dynamic_cast<MainDialog*>(&events);
            ASSERT_NE(dialog, nullptr) << "the window's events go to something other than the dialog";
            DialogContext& context = dialog->context();
            EXPECT_EQ(&context.window, static_cast<MainWindow*>(&window));
            EXPECT_EQ(&context.platform.spooler, &system.spooler);
            EXPECT_EQ(&context.platform.registry, &system.registry);
            EXPECT_EQ(&context.platform.services, &system.services);
            EXPECT_EQ(&context.platform.archiver, &system.archiver);
            EXPECT_NE(dynamic_cast<NoRunNotes*>(&context.notes), nullptr);
        };
        // The parallel row is preselected, and its only port taken.
        host.user = [&] {
            window.clickInstall();
            EXPECT_TRUE(window.waitFor([&] { return window.installText == "&Finish"; }));
            window.clickInstall();
        };
        DriverEngines engines;
        const int code = runProgram(program, machine.title + ".exe", system, host, engines);
        EXPECT_EQ(code, 0) << machine.title;
        EXPECT_NE(dialog, nullptr);
        EXPECT_FALSE(host.hidden);
        EXPECT_TRUE(host.told.empty());
        EXPECT_EQ(window.endResult, message_box::idOk);
        EXPECT_EQ(window.statusHistory.back(), "The installation is completed.") << machine.title;
        ASSERT_EQ(machine.printers.size(), 1u) << machine.title;
        EXPECT_EQ(machine.printers[0].printerName, "Series R01");
        EXPECT_EQ(machine.printers[0].portName, "LPT1:");
        EXPECT_FALSE(machine.exists("C:\\Ticket"));
    }
}

// The same entry gives the user's Cancel its code.
TEST(ProgramEntry, AnEmptyCommandLineClosedByTheUserEndsWithItsCode) {
    TempRoot root;
    sim::SimWindows machine(root.path);
    machine.title = "multisetup";
    provideFullPackage(machine, Program::MultiSetup);
    sim::SimMainWindow window;
    SimProgramHost host(window);
    host.user = [&] { window.clickCancel(); };
    DriverEngines engines;
    EXPECT_EQ(runProgram(Program::MultiSetup, "multisetup.exe", machine.platform(), host, engines), 1602);
}

}  // namespace

}  // namespace setup::test
