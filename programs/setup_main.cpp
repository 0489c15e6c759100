// The entry point of both programs; SETUP_PROGRAM names the one being built (MultiSetup or
// SoloSetup). The only code that knows both the core and the Windows platform.
#include <windows.h>

#include "app/main_dialog.h"
#include "app/unattended_run.h"
#include "config/build_config.h"
#include "config/unattended_texts.h"
#include "install/driver_engines.h"
#include "platform/win32/unicode.h"
#include "platform/win32/win32_main_window.h"
#include "platform/win32/win32_platform.h"

namespace {

// Registered when the program loads, before any window exists.
const setup::win32::RegisteredMessage updateMessage(setup::updateMessageName);

// The usage text goes to the console the program was started from; without one, to a box,
// unless the run is quiet.
void tellUsage(const std::string& usage, bool quiet) {
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
        std::wstring text = setup::win32::wideFromUtf8(usage + "\r\n");
        DWORD written = 0;
        HANDLE console = CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        if (console != INVALID_HANDLE_VALUE) {
            WriteConsoleW(console, text.c_str(), static_cast<DWORD>(text.size()), &written, nullptr);
            CloseHandle(console);
        }
        FreeConsole();
        if (written > 0) return;
    }
    if (!quiet) MessageBoxA(nullptr, usage.c_str(), setup::buildConfig(setup::Program::SETUP_PROGRAM).programName,
                            MB_OK | MB_ICONINFORMATION);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const setup::Program program = setup::Program::SETUP_PROGRAM;
    const setup::BuildConfig& config = setup::buildConfig(program);
    const std::string commandLine = setup::win32::utf8FromWide(GetCommandLineW());
    const setup::ParsedCommandLine parsed = setup::parseCommandLine(commandLine, program);
    setup::win32::Win32Platform system;
    setup::Platform platform = system.platform();
    if (parsed.options.help || !parsed.refusal.empty()) {
        tellUsage(setup::usageText(program, parsed.refusal), parsed.options.quiet);
        return setup::commandLineExitCode(platform, program, parsed, commandLine);
    }

    setup::win32::Win32MainWindow window(updateMessage);
    if (parsed.options.quiet) window.keepHidden();
    setup::DriverEngines engines;
    setup::UnattendedRun run(platform, config, window, parsed.options, commandLine);
    setup::MainDialog dialog(run.platform(), config, run.window(), engines);
    window.run(run.events(dialog));
    // The program ends with its dialog; there is no message loop after it.
    return run.end(dialog);
}
