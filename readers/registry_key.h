// A registry key opened for query only and closed by its scope. The readers'
// only way to the registry: RegOpenKeyExA, RegQueryValueExA and RegCloseKey,
// from Windows or, in the host build, from the in-memory registry.
#pragma once

#include "afx/cstring.h"

#ifdef _WIN32
#include <windows.h>
#else
#include "memreg/mem_registry.h"
#endif

#include <cstdint>

class RegistryKey {
public:
    // Opens the key for query only, in the machine's own view of the
    // registry. A key that cannot be opened stays empty, and every query on
    // it fails.
    explicit RegistryKey(const char* subKeyOfLocalMachine);
    ~RegistryKey()
    {
        if (m_key)
            RegCloseKey(m_key);
    }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    // Reads a value of up to 255 bytes as text: its bytes up to the first
    // zero byte or the end of the data. Its type is not asked for, so a value
    // of any type is read as its bytes.
    bool QueryText(const char* valueName, CString& text) const;

    // Reads a value of up to 4 bytes as a little-endian count; bytes the
    // value does not have are zero. A larger value fails.
    bool QueryDword(const char* valueName, std::uint32_t& number) const;

private:
    HKEY m_key = nullptr;
};
