// Value queries with the fixed buffers of the readers.
#include "readers/registry_key.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr DWORD kTextBufferSize = 256;
constexpr DWORD kTextRoomOffered = 255;
}

bool RegistryKey::QueryText(const char* valueName, DWORD presetType, CString& text) const
{
    BYTE buffer[kTextBufferSize] = {};
    DWORD type = presetType;
    DWORD size = kTextRoomOffered;
    if (RegQueryValueExA(m_key, valueName, nullptr, &type, buffer, &size) != ERROR_SUCCESS)
        return false;
    // A well-behaved registry never reports more than it was offered; a
    // misbehaving one must not take the read past the buffer.
    const char* chars = reinterpret_cast<const char*>(buffer);
    text = CString(chars, static_cast<int>(strnlen(chars, std::min(size, kTextRoomOffered))));
    return true;
}

bool RegistryKey::QueryDword(const char* valueName, std::uint32_t& number) const
{
    BYTE bytes[4] = {};
    DWORD type = REG_DWORD;
    DWORD size = sizeof bytes;
    if (RegQueryValueExA(m_key, valueName, nullptr, &type, bytes, &size) != ERROR_SUCCESS)
        return false;
    number = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
    return true;
}
