// The in-memory registry of the host build: the three registry functions the
// readers call, with the Windows types, constants and result codes, so that
// reader code compiles unchanged on Linux. It behaves as Windows does where
// the readers depend on it (the offered size, ERROR_MORE_DATA with the size
// needed, the type argument ignored on the way in, data of any type returned
// as its bytes, handles that fail once closed), and it records every open so
// tests can check the access asked for and that no key is left open.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using BYTE = std::uint8_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using REGSAM = DWORD;
using LPCSTR = const char*;
using LPBYTE = BYTE*;
using LPDWORD = DWORD*;
struct HKEY__;
using HKEY = HKEY__*;
using PHKEY = HKEY*;

inline HKEY const HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(std::uintptr_t{0x80000002});

constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_MORE_DATA = 234;

constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_READ = 0x20019;
// Which view of a 64-bit Windows registry to open. This registry has one
// view, so they change nothing; like Windows, they grant no access either.
constexpr REGSAM KEY_WOW64_64KEY = 0x0100;
constexpr REGSAM KEY_WOW64_32KEY = 0x0200;

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_QWORD = 11;

LONG RegOpenKeyExA(HKEY root, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result);
LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD dataSize);
LONG RegCloseKey(HKEY key);

// Setting up and inspecting the registry, for tests, fuzzers and benchmarks.
// Key paths lie below HKEY_LOCAL_MACHINE; paths and value names compare
// without regard to case, as in Windows.
namespace memreg {

struct Access {
    std::string_view path;   // kept for the life of the process
    REGSAM access;
};

struct Counters {
    unsigned opens = 0;     // every RegOpenKeyExA call, successful or not
    unsigned queries = 0;
    unsigned closes = 0;    // successful RegCloseKey calls
};

void Reset();                             // no keys, no open handles, counters zero
void CreateKey(std::string_view path);    // with its parents
void DeleteKey(std::string_view path);    // with its subkeys, which fails their open handles' queries
void SetValue(std::string_view path, std::string_view name, DWORD type, std::string_view data);
void DeleteValue(std::string_view path, std::string_view name);

const std::vector<Access>& Opens();       // in call order, since the last Reset
Counters GetCounters();
std::size_t OpenHandleCount();

} // namespace memreg
