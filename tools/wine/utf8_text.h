#pragma once

// What the Wine suite's tools print is UTF-8; the windows they read give UTF-16.
#include <windows.h>

#include <string>

inline std::string utf8(const std::wstring& text) {
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string converted(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), converted.data(), size, nullptr,
                        nullptr);
    return converted;
}
