// The entry point of both programs; SETUP_PROGRAM names the one being built (MultiSetup or
// SoloSetup). The only code that knows both the core and the Windows platform.
#include <windows.h>

#include "app/main_dialog.h"
#include "config/build_config.h"
#include "install/driver_engines.h"
#include "platform/win32/win32_main_window.h"
#include "platform/win32/win32_platform.h"

namespace {

// Registered when the program loads, before any window exists.
const setup::win32::RegisteredMessage updateMessage(setup::updateMessageName);

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    setup::win32::Win32Platform system;
    setup::Platform platform = system.platform();
    setup::win32::Win32MainWindow window(updateMessage);
    setup::DriverEngines engines;
    {
        setup::MainDialog dialog(platform, setup::buildConfig(setup::Program::SETUP_PROGRAM), window, engines);
        window.run(dialog);
    }
    // The program ends with its dialog; there is no message loop after it.
    return 0;
}
