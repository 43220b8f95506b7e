// Puts the registry into the state a test describes, on either registry: the
// real one (Windows, or Wine's in the tests' private prefix) or the in-memory
// one of the host build. The same tables of cases run against both.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

enum class RegKey { CurrentVersion, ProductOptions };
constexpr RegKey CV = RegKey::CurrentVersion;
constexpr RegKey PO = RegKey::ProductOptions;

// Value types as the registry numbers them (the host build has no windows.h).
constexpr unsigned long kSz = 1, kBinary = 3, kDword = 4, kMultiSz = 7;

struct RegValue {
    RegKey key;
    std::string name;
    unsigned long type;
    std::string data;   // the value's bytes, exactly as stored
    bool utf16 = false; // data is UTF-16 text, stored as Windows stores text set with the W functions
};

std::string Sz(const std::string& text);                    // text and its terminating zero
std::string Dword(std::uint32_t value);                     // 4 bytes, little-endian
std::string MultiSz(const std::vector<std::string>& items); // each ended by a zero, then one more

// A text value as a Unicode program stores it (RegSetValueExW): whole in any
// script, whatever the code page of the program that reads it. The real
// registry only; the in-memory one keeps the bytes it is given.
RegValue Utf16Text(RegKey key, const std::string& name, const std::wstring& text);

// The values the tables of cases are written in.
RegValue Text(RegKey key, const std::string& name, const std::string& text);   // REG_SZ, with its zero
RegValue Date(const std::string& bytes, unsigned long type = kDword);           // InstallDate
RegValue Revision(const std::string& bytes, unsigned long type = kDword);       // UBR, the build's revision
RegValue ProductType(const std::string& text);
RegValue Suites(const std::vector<std::string>& items);                        // ProductSuite, REG_MULTI_SZ

// A registry that holds every value the readers read, each a text of its own
// (the installation date a count of seconds, the build's revision a count,
// the product suites a list that names no edition; the feature update's
// names stand unread behind the service pack), and the texts the readers give
// for it, by reader name; the date in UTC.
const std::vector<RegValue>& FullRegistry();
const std::map<std::string, std::string>& FullRegistryTexts();

// The texts a user sees where a reader's values cannot be read, by reader name.
const std::map<std::string, std::string>& FallbackTexts();

const char* KeyPath(RegKey key);                            // below HKEY_LOCAL_MACHINE

// Every value any reader reads, by key.
const std::vector<RegValue>& ReaderValueNames();

// Removes every value the readers read, then sets `values` (creating their
// keys). On the real registry the values found at first use are saved and
// put back when the process exits, so the prefix stays as Wine made it.
// There the values go to the machine's own (64-bit) view of the registry,
// and `otherView` (CurrentVersion values only) to the copy that 64-bit
// Windows shows 32-bit programs (WOW6432Node), which is otherwise left
// without any value the readers read. The in-memory registry has one view
// and no such copy: there `otherView` is not stored anywhere.
void SetReaderValues(const std::vector<RegValue>& values, const std::vector<RegValue>& otherView = {});

// A value as the registry holds it now (machine's own view), or nothing when
// it is absent. The real registry only.
std::optional<RegValue> StoredValue(RegKey key, const std::string& name);

// Whether a whole key can be removed here. Wine keeps things of its own
// under both keys, so only the in-memory registry offers it.
bool CanRemoveKeys();
void RemoveKey(RegKey key);
