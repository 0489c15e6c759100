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

// Writes the text to a handle of standard output; false when nothing was written.
bool writeTo(HANDLE output, const std::string& text) {
    if (output == nullptr || output == INVALID_HANDLE_VALUE || GetFileType(output) == FILE_TYPE_UNKNOWN) return false;
    DWORD written = 0;
    return WriteFile(output, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) && written > 0;
}

// The usage text goes where the starter reads: the standard output it handed over, else the
// console the program was started from; without either, to a box, unless the run is quiet.
void tellUsage(const std::string& usage, bool quiet) {
    const std::string text = usage + "\r\n";
    if (writeTo(GetStdHandle(STD_OUTPUT_HANDLE), text)) return;
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
        HANDLE console = CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        const bool told = writeTo(console, text);
        if (console != INVALID_HANDLE_VALUE) CloseHandle(console);
        FreeConsole();
        if (told) return;
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
    setup::MainDialog dialog(run.platform(), config, run.window(), engines, &run.notes());
    window.run(run.events(dialog));
    // The program ends with its dialog; there is no message loop after it.
    return run.end(dialog);
}
