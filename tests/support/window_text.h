// A window's text, whole and in any script: read as UTF-16, sized by the
// window's own count, across process boundaries too; and the same as UTF-8.
// Header only, for the tests and the bench alike.
#pragma once

#include <windows.h>

#include <string>

inline std::string Utf8(const std::wstring& text)
{
    const int length = static_cast<int>(text.size());
    std::string utf8(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0,
                                                             nullptr, nullptr)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), length, utf8.data(), static_cast<int>(utf8.size()), nullptr,
                        nullptr);
    return utf8;
}

inline std::wstring WindowTextW(HWND window)
{
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

inline std::string WindowText(HWND window)
{
    return Utf8(WindowTextW(window));
}

inline std::wstring DlgItemTextW(HWND dialog, int control)
{
    return WindowTextW(GetDlgItem(dialog, control));
}

inline std::string DlgItemText(HWND dialog, int control)
{
    return WindowText(GetDlgItem(dialog, control));
}
