#include "config/build_config.h"

namespace setup {

namespace {

const BuildConfig multiSetup{
    Program::MultiSetup,
    "multisetup",
    450,
    {{
        {"Serial port", "The program will select a available serial port during instalation"},
        {"USB port", "The program will select a available USB port automatically"},
        {"Parallel port", "The program will prompt you to select a parallel port before install"},
        {"TCP/IP port", "The program will prompt you to create a TCP/IP port or configure"},
    }},
    "Current Systems is ",
    {nullptr, "Microsoft Windows 95 ", "Microsoft Windows 98 ", "Microsoft Windows Me ", "Microsoft Windows NT ",
     "Microsoft Windows 2000 ", "Microsoft Windows XP ", "Microsoft Windows 2003 ", "Microsoft Windows vista ",
     "Microsoft Windows 7 ", "Microsoft Windows 8 ", "Microsoft Windows 10 ", nullptr},
    "Failed to add the driver %d\r\n\r\nClick Retry:You can retry\r\nClick Cancel\xA3\xBA" "exit and abort installation",
    "There's no serialport,the current port is",
    "Failed to select usb port,please check the port is connected.\r\n\r\nClick Retry:Retry to select usb "
    "port\r\nClick Cancel:Continue installation, you can select the port after installation",
    false,
    true,
    " ,you can set that after the installation finished",
    ",you can configure after finished",
    "Cannot select a available port.The current printer port is ",
    "Cannot select a available port\xA1\xA3" "The current printer port is ",  // ideographic full stop
    ",you can configure after finished",
};

const BuildConfig soloSetup{
    Program::SoloSetup,
    "solosetup",
    525,
    {{
        {"Serial port", "The program will select a available serial port during installation"},
        {"USB port", "The program will select a available USB port automatically"},
        {"Parallel port", "The program will prompt you to select a parallel port during installation"},
        {"TCP/IP port", "The program will prompt you to create a TCP/IP port or configure"},
    }},
    "Current System is ",
    {nullptr, "Microsoft Windows 95 ", "Microsoft Windows 98 ", "Microsoft Windows Me ", "Microsoft Windows NT ",
     "Microsoft Windows 2000 ", "Microsoft Windows XP ", "Microsoft Windows 2003 ", "Microsoft Windows Vista ",
     "Microsoft Windows 7 ", "Microsoft Windows 8 ", "Microsoft Windows 8.1 ", "Microsoft Windows 10 "},
    "Failed to add the driver %d\r\n\r\nClick Retry:You can retry\r\nClick Cancel\xA3\xBA" "Exit and abort installation",
    "There's no serial port,the current port is",
    "Failed to select USB port,please check the port is connected.\r\n\r\nClick Retry:Retry to select usb "
    "port\r\nClick Cancel:Continue installation, you can select the port after installation",
    true,
    false,
    " ,you can set that after the installation",
    ",you can configure after the installation",
    "Unable to detect available printer.The current printer port is ",
    "Unable to detect available printer.The current printer port is ",
    "",
};

}  // namespace

const BuildConfig& buildConfig(Program program) {
    return program == Program::SoloSetup ? soloSetup : multiSetup;
}

}  // namespace setup

namespace setup {

std::string fillText(const char* format, std::initializer_list<std::string> values) {
    std::string text;
    auto next = values.begin();
    for (const char* at = format; *at != '\0'; ++at) {
        if (at[0] == '%' && (at[1] == 's' || at[1] == 'u') && next != values.end()) {
            text += *next++;
            ++at;
        } else {
            text += *at;
        }
    }
    return text;
}

}  // namespace setup
