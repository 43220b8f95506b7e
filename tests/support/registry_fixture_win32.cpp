// The registry fixture over the real registry. What the readers read is saved
// before the first change and restored at exit, so a test run leaves the
// prefix's registry as it found it.
#include "tests/support/registry_fixture.h"

#include <windows.h>

#include <cstdlib>
#include <stdexcept>

namespace {

struct Saved {
    RegValue value;
    bool present;
};

class Key {
public:
    explicit Key(RegKey which)
    {
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, KeyPath(which), 0, nullptr, 0,
                            KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &m_key, nullptr) != ERROR_SUCCESS)
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
        if (RegSetValueExA(m_key, v.name.c_str(), 0, v.type, reinterpret_cast<const BYTE*>(v.data.data()),
                           static_cast<DWORD>(v.data.size())) != ERROR_SUCCESS)
            throw std::runtime_error("cannot set " + v.name);
    }
    void Remove(const std::string& name) const { RegDeleteValueA(m_key, name.c_str()); }

private:
    HKEY m_key = nullptr;
};

std::vector<Saved>& SavedValues()
{
    static std::vector<Saved> saved;
    return saved;
}

void RestoreSavedValues()
{
    for (const Saved& s : SavedValues()) {
        Key key(s.value.key);
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
    for (RegValue v : ReaderValueNames()) {
        const bool present = Key(v.key).Read(v.name, v);
        SavedValues().push_back({v, present});
    }
    std::atexit(RestoreSavedValues);
}

} // namespace

void SetReaderValues(const std::vector<RegValue>& values)
{
    SaveOnce();
    for (const RegValue& v : ReaderValueNames())
        Key(v.key).Remove(v.name);
    for (const RegValue& v : values)
        Key(v.key).Write(v);
}

bool CanRemoveKeys()
{
    return false;
}

void RemoveKey(RegKey)
{
}
