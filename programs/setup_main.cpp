// The entry point of both programs; SETUP_PROGRAM names the one being built (MultiSetup or
// SoloSetup). The only code that knows both the core and the Windows platform.
#include <windows.h>

#include "app/program_entry.h"
#include "config/build_config.h"
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

// A text for the starter goes where the starter reads: the standard output it handed over,
// else the console the program was started from; without either, to a box, when allowed.
void tellStarter(const std::string& message, bool boxAllowed) {
    const std::string text = message + "\r\n";
    if (writeTo(GetStdHandle(STD_OUTPUT_HANDLE), text)) return;
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
        HANDLE console = CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        const bool told = writeTo(console, text);
        if (console != INVALID_HANDLE_VALUE) CloseHandle(console);
        FreeConsole();
        if (told) return;
    }
    if (boxAllowed)
        MessageBoxA(nullptr, message.c_str(), setup::buildConfig(setup::Program::SETUP_PROGRAM).programName,
                    MB_OK | MB_ICONINFORMATION);
}

// The program on this Windows: the main dialog's resource window and the starter's console.
class Win32Host : public setup::ProgramHost {
public:
    setup::MainWindow& window() override { return window_; }
    void keepHidden() override { window_.keepHidden(); }
    std::optional<std::uint32_t> runDialog(setup::MainWindowEvents& events) override {
        setup::Result<std::intptr_t> ended = window_.run(events);
        if (ended) return std::nullopt;
        return ended.error();
    }
    void tell(const std::string& text, bool boxAllowed) override { tellStarter(text, boxAllowed); }

private:
    setup::win32::Win32MainWindow window_{updateMessage};
};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const std::string commandLine = setup::win32::utf8FromWide(GetCommandLineW());
    setup::win32::Win32Platform system;
    Win32Host host;
    setup::DriverEngines engines;
    // The program ends with its dialog; there is no message loop after it.
    return setup::runProgram(setup::Program::SETUP_PROGRAM, commandLine, system.platform(), host, engines);
}
