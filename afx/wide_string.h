// WideString: UTF-16 text, for what must be measured, drawn or copied the
// same whatever the process's ANSI code page; CString holds the ANSI texts.
#pragma once

#include "afx/win32.h"

namespace afx {

// UTF-16 text in a buffer of its own on the C runtime's heap, always
// zero-terminated; it grows as text is appended.
class WideString {
public:
    WideString() = default;
    WideString(WideString&& other) noexcept;
    WideString& operator=(WideString&& other) noexcept;
    ~WideString();

    const wchar_t* GetString() const { return m_text ? m_text : L""; }
    int GetLength() const { return m_length; }
    bool Contains(wchar_t c) const;

    void Append(const wchar_t* text, int length);
    void Append(const WideString& text) { Append(text.GetString(), text.m_length); }
    void Append(const wchar_t* text);   // up to its zero

private:
    friend WideString WindowTextW(HWND window);

    void Reserve(int room);   // characters, the zero included

    wchar_t* m_text = nullptr;
    int m_length = 0;
    int m_room = 0;   // characters, the zero included
};

// A window's whole text, in a buffer sized by GetWindowTextLengthW. Read as
// UTF-16, so that it is measured and copied the same whatever the process's
// ANSI code page (UTF-8 where the manifest's activeCodePage is honoured, the
// machine's own elsewhere).
WideString WindowTextW(HWND window);

} // namespace afx
