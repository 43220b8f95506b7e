// Puts the registry into the state a test describes, on either registry: the
// real one (Windows, or Wine's in the tests' private prefix) or the in-memory
// one of the host build. The same tables of cases run against both.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class RegKey { CurrentVersion, ProductOptions };

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

// Whether a whole key can be removed here. Wine keeps things of its own
// under both keys, so only the in-memory registry offers it.
bool CanRemoveKeys();
void RemoveKey(RegKey key);
