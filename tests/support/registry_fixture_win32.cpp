// The registry fixture over the real registry. What the readers read is saved
// before the first change and restored at exit, so a test run leaves the
// prefix's registry as it found it.
#include "tests/support/registry_fixture.h"

#include <windows.h>

#include <cstdlib>
#include <stdexcept>

namespace {

// The machine's own view, and the copy of HKLM\SOFTWARE that 64-bit Windows
// shows 32-bit programs. Either flag names the same key outside SOFTWARE.
enum class View : REGSAM { Machine = KEY_WOW64_64KEY, Wow6432Node = KEY_WOW64_32KEY };

struct Saved {
    RegValue value;
    View view;
    bool present;
};

class Key {
public:
    Key(RegKey which, View view)
    {
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, KeyPath(which), 0, nullptr, 0,
                            KEY_QUERY_VALUE | KEY_SET_VALUE | static_cast<REGSAM>(view), nullptr, &m_key,
                            nullptr) != ERROR_SUCCESS)
            throw std::runtime_error(std::string("cannot open ") + KeyPath(which));
    }
    ~Key() { RegCloseKey(m_key); }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;

    bool Read(const std::string& name, RegValue& value) const
    {
        DWORD type = 0, size = 0;
        if (RegQueryValueExA(m_key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            return false;
        std::string data(size, '\0');
        RegQueryValueExA(m_key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
        data.resize(size);
        value.type = type;
        value.data = data;
        return true;
    }
    void Write(const RegValue& v) const
    {
        const auto* data = reinterpret_cast<const BYTE*>(v.data.data());
        const auto size = static_cast<DWORD>(v.data.size());
        // Value names are ASCII: widening them byte by byte is exact.
        const LONG result = v.utf16 ? RegSetValueExW(m_key, std::wstring(v.name.begin(), v.name.end()).c_str(), 0,
                                                     v.type, data, size)
                                    : RegSetValueExA(m_key, v.name.c_str(), 0, v.type, data, size);
        if (result != ERROR_SUCCESS)
            throw std::runtime_error("cannot set " + v.name);
    }
    void Remove(const std::string& name) const { RegDeleteValueA(m_key, name.c_str()); }

private:
    HKEY m_key = nullptr;
};

// Every value the readers read, in each view that has a copy of its own.
std::vector<std::pair<RegValue, View>> EveryPlace()
{
    std::vector<std::pair<RegValue, View>> places;
    for (const RegValue& v : ReaderValueNames()) {
        places.push_back({v, View::Machine});
        if (v.key == RegKey::CurrentVersion)
            places.push_back({v, View::Wow6432Node});
    }
    return places;
}

std::vector<Saved>& SavedValues()
{
    static std::vector<Saved> saved;
    return saved;
}

void RestoreSavedValues()
{
    for (const Saved& s : SavedValues()) {
        Key key(s.value.key, s.view);
        if (s.present)
            key.Write(s.value);
        else
            key.Remove(s.value.name);
    }
}

void SaveOnce()
{
    if (!SavedValues().empty())
        return;
    for (auto [v, view] : EveryPlace()) {
        const bool present = Key(v.key, view).Read(v.name, v);
        SavedValues().push_back({v, view, present});
    }
    std::atexit(RestoreSavedValues);
}

} // namespace

void SetReaderValues(const std::vector<RegValue>& values, const std::vector<RegValue>& otherView)
{
    SaveOnce();
    for (const auto& [v, view] : EveryPlace())
        Key(v.key, view).Remove(v.name);
    for (const RegValue& v : values)
        Key(v.key, View::Machine).Write(v);
    for (const RegValue& v : otherView) {
        if (v.key != RegKey::CurrentVersion)
            throw std::logic_error(v.name + " has no copy of its own for 32-bit programs");
        Key(v.key, View::Wow6432Node).Write(v);
    }
}

std::optional<RegValue> StoredValue(RegKey key, const std::string& name)
{
    RegValue value{key, name, 0, {}};
    return Key(key, View::Machine).Read(name, value) ? std::optional<RegValue>(value) : std::nullopt;
}

bool CanRemoveKeys()
{
    return false;
}

void RemoveKey(RegKey)
{
}
