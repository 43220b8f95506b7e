// CString: the layer's text, returned by value and handed to the window
// functions unchanged: bytes in the process's ANSI code page, which is UTF-8
// where the manifest's activeCodePage is honoured, and the machine's own code
// page elsewhere. A small value type of its own, its bytes and a terminating
// zero on the C runtime's heap; it converts to const char* for the A functions.
#pragma once

#include <cstring>

#ifdef _WIN32
// <windows.h>, when it came first, makes LoadString a macro for LoadStringA;
// the member keeps its own name in every file (afx/win32.h does the same).
#undef LoadString
#endif

class CString {
public:
    CString() = default;
    CString(const char* text) : CString(text, text ? static_cast<int>(std::strlen(text)) : 0) {}
    // The first `length` bytes of `text`.
    CString(const char* text, int length);
    CString(const CString& other) : CString(other.GetString(), other.m_length) {}
    CString(CString&& other) noexcept : m_text(other.m_text), m_length(other.m_length)
    {
        other.m_text = nullptr;
        other.m_length = 0;
    }
    CString& operator=(const CString& other);
    CString& operator=(CString&& other) noexcept;
    ~CString();

    int GetLength() const { return m_length; }
    bool IsEmpty() const { return m_length == 0; }
    const char* GetString() const { return m_text ? m_text : ""; }
    operator const char*() const { return GetString(); }

#ifdef _WIN32
    // Loads string-table entry `id` from the application's resources; false
    // (and empty) when there is no such entry.
    bool LoadString(unsigned id);
#endif

    friend bool operator==(const CString& a, const CString& b) { return a.Equals(b.GetString(), b.m_length); }
    friend bool operator==(const CString& a, const char* b)
    {
        return b ? a.Equals(b, static_cast<int>(std::strlen(b))) : a.IsEmpty();
    }
    friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
    friend bool operator!=(const CString& a, const char* b) { return !(a == b); }

private:
    bool Equals(const char* text, int length) const
    {
        return m_length == length && std::memcmp(GetString(), text, static_cast<size_t>(length)) == 0;
    }

    char* m_text = nullptr;   // null while empty
    int m_length = 0;
};
