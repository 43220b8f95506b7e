// CString: the layer's single-byte (ANSI) text, returned by value and handed
// to the window functions unchanged. A thin value type over std::string with
// the few members callers use; it converts to const char* for the A functions.
#pragma once

#include <cstring>
#include <string>

#ifdef _WIN32
// <windows.h>, when it came first, makes LoadString a macro for LoadStringA;
// the member keeps its own name in every file (afx/win32.h does the same).
#undef LoadString
#endif

class CString {
public:
    CString() = default;
    CString(const char* text) : m_text(text ? text : "") {}
    CString(const char* text, int length) : m_text(text, static_cast<size_t>(length)) {}

    int GetLength() const { return static_cast<int>(m_text.size()); }
    bool IsEmpty() const { return m_text.empty(); }
    const char* GetString() const { return m_text.c_str(); }
    operator const char*() const { return m_text.c_str(); }

#ifdef _WIN32
    // Loads string-table entry `id` from the application's resources; false
    // (and empty) when there is no such entry.
    bool LoadString(unsigned id);
#endif

    friend bool operator==(const CString& a, const CString& b) { return a.m_text == b.m_text; }
    friend bool operator==(const CString& a, const char* b) { return a.m_text == (b ? b : ""); }
    friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
    friend bool operator!=(const CString& a, const char* b) { return !(a == b); }

private:
    std::string m_text;
};
