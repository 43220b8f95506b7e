#include "afx/cstring.h"

#include <cstdlib>
#include <utility>

CString::CString(const char* text, int length)
{
    if (!text || length <= 0)
        return;
    m_text = static_cast<char*>(std::malloc(static_cast<size_t>(length) + 1));
    if (!m_text)
        std::abort();   // as the C++ library's strings end when memory runs out
    std::memcpy(m_text, text, static_cast<size_t>(length));
    m_text[length] = '\0';
    m_length = length;
}

CString& CString::operator=(const CString& other)
{
    if (this != &other)
        *this = CString(other);
    return *this;
}

CString& CString::operator=(CString&& other) noexcept
{
    std::swap(m_text, other.m_text);
    std::swap(m_length, other.m_length);
    return *this;
}

CString::~CString()
{
    std::free(m_text);
}
