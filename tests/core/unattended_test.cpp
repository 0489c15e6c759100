#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>

#include "app/command_line.h"
#include "app/program_entry.h"
#include "app/unattended_run.h"
#include "config/unattended_texts.h"
#include "package/package_files.h"
#include "probe/port_enumeration.h"
#include "tests/core/deployment.h"

namespace setup::test {

namespace {

// --- the command line ---------------------------------------------------------------------------

CommandLineOptions parsed(const std::string& arguments, Program program = Program::MultiSetup) {
    ParsedCommandLine line = parseCommandLine("setup.exe " + arguments, program);
    EXPECT_EQ(line.refusal, "") << arguments;
    return line.options;
}

std::string refusal(const std::string& arguments, Program program = Program::MultiSetup) {
    return parseCommandLine("setup.exe " + arguments, program).refusal;
}

TEST(ProgramOptions, SplitsAsWindowsProgramsDo) {
    using Args = std::vector<std::string>;
    EXPECT_EQ(splitCommandLine("\"C:\\Program Files\\multisetup.exe\" /a  b\t c"),
              (Args{"C:\\Program Files\\multisetup.exe", "/a", "b", "c"}));
    EXPECT_EQ(splitCommandLine("p /name:\"My shop printer\" /log=\"C:\\logs\\\\\""),
              (Args{"p", "/name:My shop printer", "/log=C:\\logs\\"}));
    EXPECT_EQ(splitCommandLine("p a\\\\\\\"b c\\d \"\""), (Args{"p", "a\\\"b", "c\\d", ""}));
    EXPECT_FALSE(splitCommandLine("p /name:\"open"));
}

TEST(ProgramOptions, ReadsEveryOptionWithEitherSeparatorAndAnyCase) {
    CommandLineOptions options =
        parsed("/QUIET -printer:\"Series R01\" /Port=USB /portname:USB002 -Default /baud=9600 /LOG:C:\\a.log");
    EXPECT_TRUE(options.quiet);
    EXPECT_TRUE(options.setDefault);
    EXPECT_FALSE(options.help);
    EXPECT_FALSE(options.none);
    EXPECT_EQ(options.printer, "Series R01");
    EXPECT_EQ(options.portKind, portKindUsb);
    EXPECT_EQ(options.portName, "USB002");
    EXPECT_EQ(options.baudRate, 9600);
    EXPECT_EQ(options.logPath, "C:\\a.log");
    // A value keeps what follows the first separator, separators included.
    EXPECT_EQ(parsed("/portname=a:b=c").portName, "a:b=c");
    EXPECT_EQ(parsed("/port:serial").portKind, portKindSerial);
    EXPECT_EQ(parsed("/port:Parallel").portKind, portKindParallel);
    EXPECT_EQ(parsed("/port:tcpip").portKind, portKindTcpIp);
    EXPECT_TRUE(parsed("").none);
    EXPECT_TRUE(parsed("/?").help);
    EXPECT_TRUE(parsed("-HELP").help);
    EXPECT_EQ(parsed("/name:\"Front till\"", Program::SoloSetup).name, "Front till");
}

TEST(ProgramOptions, RefusesWhatItCannotUse) {
    EXPECT_EQ(refusal("/silent"), "Unknown option /silent.");
    EXPECT_EQ(refusal("quiet"), "quiet is not an option: options start with / or -.");
    EXPECT_EQ(refusal("/port:usb -PORT=serial"), "The option -PORT is given twice.");
    EXPECT_EQ(refusal("/? /help"), "The option /help is given twice.");
    EXPECT_EQ(refusal("/printer"), "The option /printer needs a value.");
    EXPECT_EQ(refusal("/log:"), "The option /log needs a value.");
    EXPECT_EQ(refusal("/quiet:yes"), "The option /quiet takes no value.");
    EXPECT_EQ(refusal("/port:com"), "Unknown port kind com: use serial, usb, parallel or tcpip.");
    EXPECT_EQ(refusal("/baud:14400"), "Unknown baud rate 14400.");
    EXPECT_EQ(refusal("/baud:fast"), "Unknown baud rate fast.");
    EXPECT_EQ(refusal("/name:x"), "Unknown option /name.");  // multisetup names printers after the driver
    EXPECT_EQ(refusal("/quiet /port:usb"), "/quiet needs /printer.");
    EXPECT_EQ(refusal("/quiet /printer:x"), "/quiet needs /port.");
    EXPECT_EQ(refusal("/printer:\"x"), "A quotation mark is not closed.");
    // Asking for help is never refused for what is missing.
    EXPECT_EQ(refusal("/quiet /?"), "");
}

// Every option is read: a /quiet or /log after a refused option still counts, and the
// refusal is the first one met.
TEST(ProgramOptions, ReadsTheWholeLineAfterARefusal) {
    ParsedCommandLine line = parseCommandLine(
        "setup.exe /bogus /quiet \"/printer:Series R01\" /port:parallel /portname:LPT1: /log:C:\\x.log",
        Program::MultiSetup);
    EXPECT_EQ(line.refusal, "Unknown option /bogus.");
    EXPECT_TRUE(line.options.quiet);
    EXPECT_EQ(line.options.logPath, "C:\\x.log");
    line = parseCommandLine("setup.exe /printer:a /printer:b /quiet /port:usb", Program::MultiSetup);
    EXPECT_EQ(line.refusal, "The option /printer is given twice.");
    EXPECT_TRUE(line.options.quiet);
    // A quotation mark left open: the log before it counts, and so does a /quiet it swallowed.
    line = parseCommandLine("setup.exe /log:C:\\x.log \"/printer:Series R01 /QUIET /port:usb", Program::MultiSetup);
    EXPECT_EQ(line.refusal, "A quotation mark is not closed.");
    EXPECT_TRUE(line.options.quiet);
    EXPECT_EQ(line.options.logPath, "C:\\x.log");
    EXPECT_FALSE(line.options.none);
    EXPECT_FALSE(parseCommandLine("setup.exe /bogus", Program::MultiSetup).options.none);
    EXPECT_TRUE(parseCommandLine("\"C:\\a b\\setup.exe\"", Program::MultiSetup).options.none);
}

TEST(ProgramOptions, ALogInThePackagesPlacesIsTold) {
    struct Case {
        const char* path;
        const char* currentFolder;
        bool inPlaces;
    } cases[] = {
        {"C:\\Ticket\\setup.log", "C:\\Deploy", true},
        {"c:/barcode/x86/a.log", "C:\\Deploy", true},
        {"C:\\DriverName.cfg", "C:\\Deploy", true},
        {"C:\\Ticket", "C:\\Deploy", true},              // a file where the folder goes
        {"C:\\Ticket. \\a.log", "C:\\Deploy", true},    // trailing dots and blanks are dropped
        {"C:\\DriverName.cfg:log", "C:\\Deploy", true},  // a stream of that file
        {"\\\\?\\C:\\Barcode\\a.log", "C:\\Deploy", true},
        {"C:\\Deploy\\..\\Ticket\\a.log", "C:\\Deploy", true},
        {"..\\Ticket\\a.log", "C:\\Deploy", true},
        {"Ticket\\a.log", "C:\\", true},
        {"C:Ticket\\a.log", "C:\\", true},
        {"\\Barcode\\a.log", "C:\\Deploy", true},
        {"Ticket\\a.log", "C:\\Deploy", false},
        {"C:\\Logs\\Ticket\\a.log", "C:\\Deploy", false},
        {"C:\\Tickets.log", "C:\\Deploy", false},
        {"C:\\DriverName.cfg.log", "C:\\Deploy", false},
        {"D:\\Ticket\\a.log", "C:\\Deploy", false},
        {"\\Ticket\\a.log", "D:\\Deploy", false},
        {"\\\\server\\share\\Ticket\\a.log", "C:\\Deploy", false},
        {"C:\\setup.log", "C:\\Deploy", false},
    };
    for (const Case& c : cases) EXPECT_EQ(inPackagePlaces(c.path, c.currentFolder), c.inPlaces) << c.path;
}

TEST(ProgramOptions, UsageNamesTheExitCodesAndTheOptionsOfEachProgram) {
    const std::string multi = usageText(Program::MultiSetup);
    const std::string solo = usageText(Program::SoloSetup, "Unknown option /x.");
    for (const char* code : {"0 installed", "1167 installed", "2 no driver", "13 the package", "87 invalid",
                             "1603 the installation failed", "1618 another installer", "1622 the log cannot be"})
        EXPECT_NE(multi.find(code), std::string::npos) << code;
    EXPECT_EQ(multi.rfind("Usage: multisetup ", 0), 0u);
    EXPECT_EQ(multi.find("/name"), std::string::npos);
    EXPECT_EQ(solo.rfind("Unknown option /x.\r\n\r\nUsage: solosetup ", 0), 0u);
    EXPECT_NE(solo.find("[/name:TEXT]"), std::string::npos);
}

// --- the answers nobody gives -------------------------------------------------------------------

TEST(UnattendedAnswers, CancelWhereThereIsOneNoToAQuestionElseOk) {
    EXPECT_EQ(unattendedAnswer(message_box::ok | message_box::iconError), message_box::idOk);
    EXPECT_EQ(unattendedAnswer(message_box::okCancel), message_box::idCancel);
    EXPECT_EQ(unattendedAnswer(message_box::retryCancel | message_box::iconError), message_box::idCancel);
    EXPECT_EQ(unattendedAnswer(message_box::yesNo | message_box::iconQuestion), message_box::idNo);
    EXPECT_EQ(unattendedAnswer(3 /* Yes, No, Cancel */), message_box::idCancel);
    EXPECT_EQ(unattendedAnswer(2 /* Abort, Retry, Ignore */), 3 /* Abort */);
}

TEST(ExitCodes, TellTheWaysARunEnds) {
    RunEnd installed{false, true, true, false, false, true, true, false};
    EXPECT_EQ(exitCodeOf(installed), 0);
    RunEnd notFound = installed;
    notFound.portConfirmed = false;
    EXPECT_EQ(exitCodeOf(notFound), 1167);
    RunEnd second{};
    second.anotherInstaller = true;
    EXPECT_EQ(exitCodeOf(second), 1618);
    RunEnd missing{false, true, false, false, true, false, false, false};  // the printer then is unknown too
    EXPECT_EQ(exitCodeOf(missing), 2);
    RunEnd refused = missing;
    refused.packageProblem = true;
    EXPECT_EQ(exitCodeOf(refused), 13);
    RunEnd unknownChoice{false, true, true, false, true, false, false, false};
    EXPECT_EQ(exitCodeOf(unknownChoice), 87);
    RunEnd closed{false, true, true, false, false, false, false, true};
    EXPECT_EQ(exitCodeOf(closed), 1602);
    RunEnd stopped{false, true, true, false, false, false, false, false};
    EXPECT_EQ(exitCodeOf(stopped), 1603);
    // Closing the window after the installation completed does not undo it.
    RunEnd closedAfterwards = installed;
    closedAfterwards.endedByUser = true;
    EXPECT_EQ(exitCodeOf(closedAfterwards), 0);
}

// --- whole runs on the simulated machine --------------------------------------------------------

TEST(QuietRun, ReceiptPrinterOnTheParallelPortNamedMadeDefault) {
    Deployment till;
    till.parallelPorts();
    const int code = till.run("/quiet /printer:\"Series R01\" /port:parallel /portname:LPT2: /default" + quietLog);
    EXPECT_EQ(code, 0);
    ASSERT_NE(till.printer("Series R01"), nullptr);
    EXPECT_EQ(till.printer("Series R01")->portName, "LPT2:");
    EXPECT_EQ(till.defaultPrinter(), std::string("Series R01,winspool,LPT2:\0", 26));
    // Nobody saw a box or the port dialog: its question was answered behind it.
    EXPECT_TRUE(till.window.messageBoxes.empty());
    EXPECT_TRUE(till.window.portDialogs.empty());
    EXPECT_FALSE(till.packageLeft());
    EXPECT_TRUE(till.logged("Port dialog (parallel): ports LPT1:, LPT2: -> LPT2:"));
    EXPECT_TRUE(till.logged("The printer is on LPT2:"));
    EXPECT_TRUE(till.logged("Exit code 0: installed"));
}

TEST(QuietRun, WithoutDefaultTheDefaultPrinterStaysAndTheOnlyPortIsTaken) {
    Deployment till;
    EXPECT_EQ(till.run("/quiet /printer:\"Series R01\" /port:parallel"), 0);
    ASSERT_NE(till.printer("Series R01"), nullptr);
    EXPECT_EQ(till.printer("Series R01")->portName, "LPT1:");
    EXPECT_FALSE(till.defaultPrinter());
}

TEST(QuietRun, AChoiceTheMachineOrPackageDoesNotOfferInstallsNothing) {
    struct Case {
        const char* arguments;
        const char* logged;
    } cases[] = {
        {"/printer:\"Series R99\" /port:parallel", "Command line: the printer Series R99 is not in the driver list ("},
        {"/printer:\"Series R01\" /port:parallel",
         "Command line: this machine has more than one parallel port (LPT1:, LPT2:): /portname names the one to use."},
        {"/printer:\"Series R01\" /port:parallel /portname:LPT7:",
         "Command line: the port LPT7: is not a parallel port of this machine (LPT1:, LPT2:)."},
        {"/printer:\"Series R01\" /port:usb /portname:USB001", "Command line: the port USB001 is not a USB port"},
    };
    for (const Case& c : cases) {
        Deployment till;
        till.parallelPorts();
        EXPECT_EQ(till.run(std::string("/quiet ") + c.arguments + quietLog), 87) << c.arguments;
        EXPECT_TRUE(till.machine.printers.empty()) << c.arguments;
        EXPECT_TRUE(till.machine.drivers.empty()) << c.arguments;
        EXPECT_FALSE(till.packageLeft()) << c.arguments;
        std::vector<std::string> log = till.log();
        EXPECT_TRUE(std::any_of(log.begin(), log.end(), [&](const std::string& line) { return line.rfind(c.logged, 0) == 0; }))
            << c.arguments;
        EXPECT_EQ(log.back(), "Exit code 87: invalid command line, unknown printer or port");
    }
}

// The whole log of a receipt printer on USB whose search finds no printer: Retry is never
// asked, the printer stays on the last USB port and the run says so.
TEST(QuietRun, UsbSearchFindingNothingLogsTheWholeRun) {
    Deployment till;
    till.usbPorts();
    const std::string arguments = "/quiet /printer:\"Series R01\" /port:usb" + quietLog;
    EXPECT_EQ(till.run(arguments), 1167);
    ASSERT_NE(till.printer("Series R01"), nullptr);
    EXPECT_TRUE(till.window.messageBoxes.empty());
    std::vector<std::string> log = till.log();
    const std::vector<std::string> expected{
        "multisetup 2, 0, 4, 2, command line: multisetup.exe " + arguments,
        "Status: Reading driver file...",
        "Status: Current Systems is Microsoft Windows 7  64 bit",
        "System: Microsoft Windows 7  64 bit",
        "Install pressed (by rule).",
        "Status: Adding printer drive Series R01",
        "Status: Driver Series R01 is added",
        // Asking whether the printer is there already is no failure.
        "No printer Series R01 yet (OpenPrinter: error 1801)",
        "Status: Added the printer Series R01",
        // Without /default the status line still names it; the log says what happened.
        "The default printer stays as it was.",
        "Status: Checking USB ports...",
        "Status: Checking  USB001 ....",
        "Status: Checking  USB002 ....",
        "Box \"Fail to select port\": ",
        "Status: The installation is completed.",
        "Finish pressed (by rule).",
        "The printer is on USB002, where the search did not find it",
        "Exit code 1167: installed, but the search found no printer",
    };
    std::size_t at = 0;
    for (const std::string& line : log) {
        if (at < expected.size() && line.rfind(expected[at], 0) == 0) ++at;
    }
    std::string whole;
    for (const std::string& line : log) whole += line + "\n";
    EXPECT_EQ(at, expected.size()) << "missing or out of order: " << (at < expected.size() ? expected[at] : "")
                                   << "\nin\n" << whole;
    EXPECT_EQ(log.back(), expected.back());
    auto box = std::find_if(log.begin(), log.end(), [](const std::string& line) { return line.rfind("Box", 0) == 0; });
    ASSERT_NE(box, log.end());
    EXPECT_EQ(box->substr(box->size() - 19), "-> Cancel (by rule)");
    EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const std::string& line) { return line.rfind("Box", 0) == 0; }), 1);
}

TEST(QuietRun, SerialSearchAtTheGivenBaudRateFindsThePrinter) {
    Deployment till;
    till.serialPorts({"COM1", "COM2", "COM3"});
    till.machine.serial.attach("COM2", sim::SimSerialDevice::answering(Bytes{0x12}, 20));
    EXPECT_EQ(till.run("/quiet /printer:\"Series R01\" /port:serial /baud:38400" + quietLog), 0);
    ASSERT_NE(till.printer("Series R01"), nullptr);
    EXPECT_EQ(till.printer("Series R01")->portName, "COM2:");
    EXPECT_TRUE(till.window.promptPreselections.empty());  // the prompt was never shown
    EXPECT_TRUE(till.logged("Serial prompt: Yes at 38400 baud (by rule)"));
    EXPECT_EQ(till.machine.registryValue(RegistryRoot::LocalMachine, portsKey, "COM2:").value_or("").substr(0, 5),
              "38400");
}

TEST(QuietRun, SerialPortsThatStaySilentEndWithTheNotFoundCode) {
    Deployment till;
    till.serialPorts({"COM1", "COM2"});
    EXPECT_EQ(till.run("/quiet /printer:\"Series R01\" /port:serial" + quietLog), 1167);
    EXPECT_TRUE(till.logged("Serial prompt: Yes at 19200 baud (by rule)"));
    EXPECT_TRUE(till.logged("The printer is on COM1:, where the search did not find it"));
}

TEST(QuietRun, ANamedSerialPortIsUsedWithoutASearch) {
    Deployment till;
    till.serialPorts({"COM1", "COM2", "COM3"});
    EXPECT_EQ(till.run("/quiet /printer:\"Series R01\" /port:serial /portname:COM3: /baud:9600" + quietLog), 0);
    ASSERT_NE(till.printer("Series R01"), nullptr);
    EXPECT_EQ(till.printer("Series R01")->portName, "COM3:");
    EXPECT_FALSE(till.logged("Serial prompt: Yes at 9600 baud (by rule)"));
    EXPECT_TRUE(till.machine.logMatching("CreateFile \\\\.\\COM").empty());
    // The line settings are still written for it.
    EXPECT_EQ(till.machine.registryValue(RegistryRoot::LocalMachine, portsKey, "COM3:").value_or("").substr(0, 4),
              "9600");
}

// Only the port monitor's own dialog could add the port: a command line that needs one is
// refused before anything is installed.
TEST(QuietRun, TcpIpWithoutAPortIsRefusedWithoutTheMonitorsDialog) {
    Deployment till;
    EXPECT_EQ(till.run("/quiet /printer:\"Series R01\" /port:tcpip" + quietLog), 87);
    EXPECT_TRUE(till.machine.printers.empty());
    EXPECT_TRUE(till.machine.drivers.empty());
    EXPECT_TRUE(till.machine.logMatching("AddPort").empty());
    EXPECT_TRUE(till.logged("Command line: this machine has no TCP/IP port: add one first and name it with /portname."));
    EXPECT_FALSE(till.packageLeft());
}

TEST(QuietRun, AFailedDriverRegistrationIsCancelledAndLogged) {
    Deployment till;
    till.machine.failingCalls["AddPrinterDriverEx"] = 5;
    EXPECT_EQ(till.run("/quiet /printer:\"Series R01\" /port:parallel" + quietLog), 1603);
    EXPECT_TRUE(till.window.messageBoxes.empty());
    EXPECT_TRUE(till.logged("Failed: AddPrinterDriverEx(Series R01), error 5"));
    std::vector<std::string> log = till.log();
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const std::string& line) {
        return line.rfind("Box \"Error\": ", 0) == 0 && line.find("-> Cancel (by rule)") != std::string::npos;
    }));
    EXPECT_FALSE(till.packageLeft());
}

TEST(QuietRun, PackageAndLockProblemsHaveTheirCodes) {
    {
        Deployment till;
        till.machine.archiverPresent = false;
        EXPECT_EQ(till.run("/quiet /printer:\"Series R01\" /port:parallel" + quietLog), 2);
        EXPECT_TRUE(till.window.messageBoxes.empty());
    }
    {
        Deployment till;
        till.machine.archiverBehaviour = sim::ArchiverBehaviour::Fail;
        EXPECT_EQ(till.run("/quiet /printer:\"Series R01\" /port:parallel" + quietLog), 13);
        EXPECT_FALSE(till.packageLeft());
    }
    {
        Deployment till;
        till.machine.namedMutexes.insert(std::string(InstallerLock::name));
        EXPECT_EQ(till.run("/quiet /printer:\"Series R01\" /port:parallel" + quietLog), 1618);
        EXPECT_TRUE(till.machine.printers.empty());
        std::vector<std::string> log = till.log();
        EXPECT_NE(log[1].find("The driver installer is already running."), std::string::npos);
    }
}

// Started detached, nobody answers a box: with /quiet anywhere, a bad command line ends
// at once, before anything is unpacked, and the log names the option.
TEST(QuietRun, ABadCommandLineNeverWaitsForAPersonAndTheLogSaysWhy) {
    struct Case {
        Program program;
        std::string arguments;
        std::string logged;
    } cases[] = {
        {Program::MultiSetup, "/bogus /quiet \"/printer:Series R01\" /port:parallel /portname:LPT1:",
         "Command line refused: Unknown option /bogus."},
        {Program::MultiSetup, "/printer:a /printer:b /quiet /port:parallel",
         "Command line refused: The option /printer is given twice."},
        {Program::SoloSetup, "/quiet /printer:\"Series R01\" /port:parallel \"/name:Till, front\"",
         "Command line refused: The printer name /name gives cannot be used: it holds a comma."},
        {Program::SoloSetup, "/quiet /printer:\"Series R01\" /port:parallel /name:Till\\front",
         "Command line refused: The printer name /name gives cannot be used: it holds a backslash."},
        {Program::SoloSetup, "/quiet /printer:\"Series R01\" /port:parallel \"/name:   \"",
         "Command line refused: The printer name /name gives cannot be used: it holds only blanks."},
        {Program::SoloSetup, "/quiet /printer:\"Series R01\" /port:parallel /name:" + std::string(221, 'n'),
         "Command line refused: The printer name /name gives cannot be used: it is longer than 220 characters."},
        {Program::MultiSetup, "/quiet \"/printer:Series R01 /port:parallel",
         "Command line refused: A quotation mark is not closed."},
    };
    for (const Case& c : cases) {
        Deployment till(c.program);
        // The log first: an open quotation mark swallows what follows it.
        EXPECT_EQ(till.run(quietLog.substr(1) + " " + c.arguments), 87) << c.arguments;
        EXPECT_FALSE(till.host.dialogEvents) << c.arguments;
        ASSERT_EQ(till.host.told.size(), 1u) << c.arguments;
        EXPECT_FALSE(till.host.told[0].boxAllowed) << c.arguments;
        EXPECT_TRUE(till.logged(c.logged)) << c.arguments;
        EXPECT_EQ(till.log().back(), "Exit code 87: invalid command line, unknown printer or port");
        EXPECT_FALSE(till.packageTouched()) << c.arguments;
    }
    // An attended run with a bad command line shows its usage in a box, which a person closes.
    Deployment till;
    EXPECT_EQ(till.run("/bogus /printer:x"), 87);
    ASSERT_EQ(till.host.told.size(), 1u);
    EXPECT_TRUE(till.host.told[0].boxAllowed);
}

TEST(QuietRun, TheUsageTextAskedForIsLoggedAsSuch) {
    Deployment till;
    EXPECT_EQ(till.run("/quiet /help" + quietLog), 0);
    EXPECT_EQ(till.log().back(), "Exit code 0: the usage text was shown, nothing was installed");
    ASSERT_EQ(till.host.told.size(), 1u);
    EXPECT_EQ(till.host.told[0].text.rfind("Usage: multisetup ", 0), 0u);
    EXPECT_FALSE(till.packageTouched());
}

// A log the package's unpacking would write over, or remove with its folders, is refused
// before it is written to.
TEST(QuietRun, ALogInThePackagesPlacesIsRefused) {
    for (const char* log : {"C:\\Ticket\\setup.log", "c:/Barcode/setup.log", "C:\\DriverName.cfg", "C:\\Ticket"}) {
        Deployment till;
        EXPECT_EQ(till.run(std::string("/quiet /printer:\"Series R01\" /port:parallel /log:") + log), 87) << log;
        ASSERT_EQ(till.host.told.size(), 1u);
        EXPECT_NE(till.host.told[0].text.find("would lie in the driver package's places"), std::string::npos) << log;
        EXPECT_TRUE(till.machine.logMatching("AppendFile").empty()) << log;
        EXPECT_FALSE(till.packageLeft()) << log;
        EXPECT_FALSE(till.packageTouched()) << log;
    }
}

// As msiexec does: a log that cannot be opened ends the run with 1622 before anything on
// the machine is changed.
TEST(QuietRun, ALogThatCannotBeOpenedEndsTheRunBeforeAnythingChanges) {
    struct Case {
        const char* path;
        std::function<void(sim::SimWindows&)> arrange;
    } cases[] = {
        {"C:\\No such folder\\setup.log", [](sim::SimWindows&) {}},
        {"C:\\Deploy\\readme.txt", [](sim::SimWindows& m) { m.setAttributesW("C:\\Deploy\\readme.txt", fileAttributeReadOnly); }},
        {"C:\\Deploy", [](sim::SimWindows&) {}},
    };
    for (const Case& c : cases) {
        Deployment till;
        c.arrange(till.machine);
        EXPECT_EQ(till.run(std::string("/quiet /printer:\"Series R01\" /port:parallel /log:\"") + c.path + "\""), 1622)
            << c.path;
        EXPECT_FALSE(till.host.dialogEvents) << c.path;
        ASSERT_EQ(till.host.told.size(), 1u);
        EXPECT_EQ(till.host.told[0].text, std::string("The log ") + c.path +
                                              " cannot be opened for appending: its folder must exist, and the file, "
                                              "if it is there, must be writable. Nothing was changed.");
        EXPECT_FALSE(till.host.told[0].boxAllowed);
        EXPECT_FALSE(till.packageTouched()) << c.path;
        EXPECT_TRUE(till.machine.printers.empty());
    }
}

// Every quiet failure names its cause: the file and the folder looked in, not the command line.
TEST(QuietRun, AMissingPackageNamesTheFileAndTheFolderLookedIn) {
    struct Case {
        const char* what;
        std::function<void(Deployment&)> arrange;
        const char* logged;
    } cases[] = {
        {"no DriverData.Drv", [](Deployment& d) { d.machine.deleteFile("C:\\Program\\DriverData.Drv"); },
         "No driver package: DriverData.Drv is not in C:\\Program, the folder the program was started from, where "
         "it is looked for."},
        {"started from another folder", [](Deployment& d) { d.machine.currentDir = "C:\\Deploy"; },
         "No driver package: DriverData.Drv is not in C:\\Deploy, the folder the program was started from, where "
         "it is looked for."},
        {"no 7-zip32.dll",
         [](Deployment& d) {
             d.machine.archiverPresent = false;
             d.machine.deleteFile(Deployment::archiverPath);
         },
         "No driver package: 7-zip32.dll is neither in the program's folder C:\\Program nor in the system folder "
         "C:\\Windows\\system32."},
        {"a 7-zip32.dll that does not load", [](Deployment& d) { d.machine.archiverPresent = false; },
         "Failed: LoadLibraryEx(C:\\Program\\7-zip32.dll): it does not load"},
        {"another 7-zip32.dll", [](Deployment& d) { d.machine.archiverMissingEntry = "SevenZipListW"; },
         "Failed: GetProcAddress(C:\\Program\\7-zip32.dll, SevenZipListW): no such entry point, so it is not the "
         "archiver this program drives"},
    };
    for (const Case& c : cases) {
        Deployment till;
        c.arrange(till);
        EXPECT_EQ(till.run("/quiet /printer:\"Series R01\" /port:parallel" + quietLog), 2) << c.what;
        EXPECT_TRUE(till.logged(c.logged)) << c.what;
        EXPECT_TRUE(till.loggedStarting("No driver package: ")) << c.what;
        EXPECT_FALSE(till.loggedStarting("Command line:")) << c.what;
        EXPECT_TRUE(till.logged("The run ends: there is no driver package to install from.")) << c.what;
    }
}

TEST(QuietRun, AWindowThatCannotBeCreatedIsLoggedWithItsError) {
    Deployment till;
    till.host.windowError = 1400;
    EXPECT_EQ(till.run("/quiet /printer:\"Series R01\" /port:parallel" + quietLog), 1603);
    EXPECT_TRUE(till.loggedStarting("The main window could not be created: "));
    EXPECT_TRUE(till.loggedContaining("(error 1400). Nothing was installed."));
    EXPECT_TRUE(till.host.hidden);
}

TEST(QuietRun, ADefaultPrinterSetIsLogged) {
    Deployment till;
    EXPECT_EQ(till.run("/quiet /printer:\"Series R01\" /port:parallel /default" + quietLog), 0);
    EXPECT_TRUE(till.logged("Status: Set the printer Series R01 to default printer"));
    EXPECT_FALSE(till.logged("The default printer stays as it was."));
}

// The default printer is the account's own: a run as SYSTEM sets it for nobody who signs in,
// and where Windows manages the default printer it may change it. The log says so; only for
// /default, and nothing the user sees changes.
TEST(QuietRun, DefaultSaysWhoseDefaultItIsAndWhetherWindowsMayChangeIt) {
    const std::string systemOnly =
        "/default sets the default printer of the SYSTEM account only, which this program runs as: every user has a "
        "default printer of their own. To make the printer a user's default, run the program with /default as that "
        "user.";
    const std::string managed =
        "Windows manages the default printer of this account (LegacyDefaultPrinterMode is 0): Windows may change the "
        "default printer this run sets.";
    struct Case {
        bool system;
        std::optional<std::uint32_t> mode;  // LegacyDefaultPrinterMode; nothing: older Windows
        const char* defaultOption;
        bool saysSystem, saysManaged;
    } cases[] = {
        {true, std::nullopt, " /default", true, false},  {false, 0, " /default", false, true},
        {true, 0, " /default", true, true},              {true, 1, " /default", true, false},
        {false, 1, " /default", false, false},          {false, std::nullopt, " /default", false, false},
        {true, 0, "", false, false},
    };
    for (const Case& c : cases) {
        Deployment till;
        till.machine.localSystem = c.system;
        if (c.mode) {
            std::string dword(4, '\0');
            dword[0] = static_cast<char>(*c.mode);
            till.machine.setRegistryValue(RegistryRoot::CurrentUser, windowsKey, "LegacyDefaultPrinterMode", regDword,
                                          dword);
        }
        const std::string trace = std::string(c.system ? "SYSTEM" : "user") + ", mode " +
                                  (c.mode ? std::to_string(*c.mode) : "absent") + c.defaultOption;
        EXPECT_EQ(till.run(std::string("/quiet /printer:\"Series R01\" /port:parallel") + c.defaultOption + quietLog), 0)
            << trace;
        EXPECT_EQ(till.logged(systemOnly), c.saysSystem) << trace;
        EXPECT_EQ(till.logged(managed), c.saysManaged) << trace;
        EXPECT_EQ(till.defaultPrinter().has_value(), *c.defaultOption != '\0') << trace;
        EXPECT_TRUE(till.window.messageBoxes.empty()) << trace;
    }
}

// A deployment tool killed last month's run while it unpacked; this month's package, with
// other driver files, installs, and nothing of either run is left.
TEST(QuietRun, AKilledRunOfLastMonthsPackageGivesWayToThisMonths) {
    Deployment till;
    std::map<std::string, std::string>& tree = till.machine.archiveTree;
    tree["Ticket\\x86\\OLDMODEL.GPD"] = "last month's model";
    till.machine.archiverKilledAfterWrites = std::distance(tree.begin(), tree.find("Ticket\\x86\\OLDMODEL.GPD")) + 1;
    {
        Platform platform = till.machine.platform();
        sim::SimMainWindow window;
        MainDialog killed(platform, buildConfig(till.program), window, till.engines);
        window.attach(killed);
        PackageState package;
        EXPECT_THROW(extractPackage(killed.context(), killed.archiveLibrary, package), sim::ProcessKilled);
    }
    ASSERT_TRUE(till.machine.exists("C:\\Ticket\\x86\\OLDMODEL.GPD"));
    ASSERT_TRUE(till.machine.exists("C:\\Barcode"));
    tree.erase("Ticket\\x86\\OLDMODEL.GPD");
    for (auto& [path, content] : tree)
        if (path != "DriverName.cfg") content += " (December)";

    EXPECT_EQ(till.run("/quiet /printer:\"Series R01\" /port:parallel" + quietLog), 0);
    ASSERT_NE(till.printer("Series R01"), nullptr);
    EXPECT_TRUE(till.logged("Removed C:\\Ticket\\x86\\OLDMODEL.GPD: an earlier run unpacked it and was stopped before "
                            "its clean-up."));
    EXPECT_TRUE(till.loggedContaining("C:\\Barcode\\"));
    // The driver's files came from this month's package.
    std::ifstream plugin(till.machine.hostPath("C:\\Windows\\system32\\spool\\drivers\\x64\\TKTPLUG.ini"),
                         std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(plugin), {}), "TKTPLUG.ini (December)");
    EXPECT_FALSE(till.packageLeft());
    EXPECT_FALSE(till.machine.exists("C:\\Barcode"));
    EXPECT_FALSE(till.machine.registryKeyExists(RegistryRoot::LocalMachine, "SOFTWARE\\Thermal Printer Setup\\Unpacking"));
    // The journal was looked for and not found: that is no failure of the run.
    EXPECT_FALSE(till.loggedStarting("Failed: RegOpenKeyEx(HKLM\\SOFTWARE\\Thermal Printer Setup"));
}

TEST(QuietRun, ALogThatCannotBeWrittenDoesNotStopTheInstallation) {
    Deployment till;
    // The log opens; none of its lines can then be written.
    till.machine.failingCalls[std::string("AppendFile ") + logPath] = 5;
    till.machine.callsBeforeFailing[std::string("AppendFile ") + logPath] = 1;
    // Once the log can be written again, the exit code's line says how much is missing.
    const int code = till.run("/quiet /printer:\"Series R01\" /port:parallel" + quietLog, {},
                              [&] { till.machine.failingCalls.clear(); });
    EXPECT_EQ(code, 0);
    EXPECT_NE(till.printer("Series R01"), nullptr);
    std::vector<std::string> log = till.log();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0], "The printer is on LPT1:");
    EXPECT_EQ(log[1].rfind("Installation record written: ", 0), 0u);
    EXPECT_TRUE(std::regex_match(log[2], std::regex(R"(Exit code 0: installed \([1-9][0-9]* lines of this log could not be written\))")))
        << log[1];
}

TEST(QuietRun, TheOnlyTcpIpPortIsChosenInItsDialog) {
    Deployment till;
    till.machine.ports.push_back({"IP_10.0.0.5", "Standard TCP/IP Port", tcpIpPortDescription, 0});
    EXPECT_EQ(till.run("/quiet /printer:\"Series L40\" /port:tcpip" + quietLog), 0);
    ASSERT_NE(till.printer("Series L40"), nullptr);
    EXPECT_EQ(till.printer("Series L40")->portName, "IP_10.0.0.5");
    EXPECT_TRUE(till.logged("Port dialog (TCP/IP): ports IP_10.0.0.5 -> IP_10.0.0.5"));
}

// --- without /quiet: the choices are preselected and the user decides ---------------------------

TEST(AttendedRun, TheCommandLinePreselectsTheDialogsChoices) {
    Deployment till(Program::SoloSetup);
    till.usbPorts();
    int code = till.run("/printer:\"Series R01\" /port:usb /name:\"Front till\"" + quietLog, [&] {
        till.window.onDialogThread([] {});  // the preselection is posted behind preparation
        EXPECT_TRUE(till.window.waitFor([&] { return till.window.printerNameText == "Front till"; }));
        EXPECT_EQ(till.window.driverList.at(static_cast<std::size_t>(till.window.driverSelection)), "Series R01");
        EXPECT_TRUE(till.window.portRows.at(portKindUsb).selected);
        EXPECT_FALSE(till.window.defaultPrinterTicked);
        till.window.clickCloseBox();
    });
    EXPECT_EQ(code, 1602);
    EXPECT_TRUE(till.machine.printers.empty());
    EXPECT_TRUE(till.logged("The user closed the window."));
}

TEST(AttendedRun, TheUsersAnswersAreLoggedAndTheCodeFollowsTheOutcome) {
    Deployment till;
    till.usbPorts();
    till.machine.attachedDevices.insert("USB002");
    int code = till.run("/printer:\"Series R01\" /port:usb /default" + quietLog, [&] {
        till.window.onDialogThread([] {});
        EXPECT_TRUE(till.window.waitFor([&] { return till.window.portRows.at(portKindUsb).selected; }));
        till.window.clickInstall();
        EXPECT_TRUE(till.window.waitFor([&] { return till.window.installText == "&Finish"; }));
        till.window.clickInstall();
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(till.printer("Series R01")->portName, "USB002");
    EXPECT_EQ(till.defaultPrinter(), std::string("Series R01,winspool,USB001\0", 27));
    EXPECT_TRUE(till.logged("The printer is on USB002"));
}

// The serial prompt a user answers opens on the rate /baud names; the user's choice counts.
TEST(AttendedRun, TheSerialPromptOpensOnTheGivenBaudRate) {
    Deployment till;
    till.serialPorts({"COM1", "COM2"});
    till.machine.serial.attach("COM2", sim::SimSerialDevice::answering(Bytes{0x12}, 20));
    int code = till.run("/printer:\"Series R01\" /port:serial /baud:9600" + quietLog, [&] {
        till.window.onDialogThread([] {});
        EXPECT_TRUE(till.window.waitFor([&] { return till.window.portRows.at(portKindSerial).selected; }));
        till.window.clickInstall();
        EXPECT_TRUE(till.window.waitFor([&] { return till.window.installText == "&Finish"; }, std::chrono::seconds(10)));
        till.window.clickInstall();
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(till.window.promptPreselections, (std::vector<int>{4})) << "9600 is the fifth entry";
    EXPECT_TRUE(till.logged("Serial prompt: Yes at 9600 baud (by the user)"));
}

}  // namespace

}  // namespace setup::test
