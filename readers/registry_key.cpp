// Value queries with the fixed buffers of the readers.
#include "readers/registry_key.h"

#include <algorithm>

namespace {

constexpr DWORD kTextBufferSize = 256;
constexpr DWORD kTextRoomOffered = 255;

#if defined(_WIN32) && !defined(_WIN64)
// A 32-bit program on 64-bit Windows is shown a copy of HKLM\SOFTWARE of its
// own (WOW6432Node), which may lack values or keep stale ones after an
// upgrade; the machine's own values are in the 64-bit view. The flag picks
// that view and grants no access. Windows before XP SP2 has no
// IsWow64Process (and no other view), and Windows 2000 refuses the flag, so
// it is asked for only where there is a 64-bit view to see.
REGSAM QueryAccess()
{
    using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, PBOOL);
    const FARPROC found = GetProcAddress(GetModuleHandleA("kernel32.dll"), "IsWow64Process");
    const auto isWow64Process = reinterpret_cast<IsWow64ProcessFunction>(reinterpret_cast<void (*)()>(found));
    BOOL wow64 = FALSE;
    const bool wow64Process = isWow64Process && isWow64Process(GetCurrentProcess(), &wow64) && wow64;
    return wow64Process ? KEY_QUERY_VALUE | KEY_WOW64_64KEY : KEY_QUERY_VALUE;
}
#else
// A 64-bit program (and the in-memory registry) sees only the machine's view.
constexpr REGSAM QueryAccess()
{
    return KEY_QUERY_VALUE;
}
#endif

} // namespace

RegistryKey::RegistryKey(const char* subKeyOfLocalMachine)
{
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKeyOfLocalMachine, 0, QueryAccess(), &m_key);
}

bool RegistryKey::QueryText(const char* valueName, CString& text) const
{
    BYTE buffer[kTextBufferSize] = {};
    DWORD size = kTextRoomOffered;
    if (RegQueryValueExA(m_key, valueName, nullptr, nullptr, buffer, &size) != ERROR_SUCCESS)
        return false;
    // A well-behaved registry never reports more than it was offered; a
    // misbehaving one must not take the read past the buffer. The bytes up
    // to the first zero are counted here: strnlen would come from MinGW-w64's
    // own library, with the unwinding tables the 32-bit program leaves out.
    const DWORD end = std::min(size, kTextRoomOffered);
    DWORD length = 0;
    while (length < end && buffer[length])
        ++length;
    text = CString(reinterpret_cast<const char*>(buffer), static_cast<int>(length));
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
