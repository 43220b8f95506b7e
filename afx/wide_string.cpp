#include "afx/wide_string.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <utility>

namespace afx {

WideString::WideString(WideString&& other) noexcept
    : m_text(std::exchange(other.m_text, nullptr)), m_length(std::exchange(other.m_length, 0)),
      m_room(std::exchange(other.m_room, 0))
{
}

WideString& WideString::operator=(WideString&& other) noexcept
{
    std::swap(m_text, other.m_text);
    std::swap(m_length, other.m_length);
    std::swap(m_room, other.m_room);
    return *this;
}

WideString::~WideString()
{
    std::free(m_text);
}

bool WideString::Contains(wchar_t c) const
{
    return std::find(m_text, m_text + m_length, c) != m_text + m_length;
}

void WideString::Reserve(int room)
{
    if (room <= m_room)
        return;
    auto* larger = static_cast<wchar_t*>(std::realloc(m_text, sizeof(wchar_t) * static_cast<size_t>(room)));
    if (!larger)
        std::abort();   // as the C++ library's strings end when memory runs out
    m_text = larger;
    m_room = room;
}

void WideString::Append(const wchar_t* text, int length)
{
    if (length <= 0)
        return;
    if (m_length + length + 1 > m_room)
        Reserve(std::max(m_room * 2, m_length + length + 1));
    std::memcpy(m_text + m_length, text, sizeof(wchar_t) * static_cast<size_t>(length));
    m_length += length;
    m_text[m_length] = L'\0';
}

void WideString::Append(const wchar_t* text)
{
    Append(text, static_cast<int>(std::wcslen(text)));
}

WideString WindowTextW(HWND window)
{
    WideString text;
    text.Reserve(GetWindowTextLengthW(window) + 1);
    text.m_length = GetWindowTextW(window, text.m_text, text.m_room);
    text.m_text[text.m_length] = L'\0';
    return text;
}

} // namespace afx
