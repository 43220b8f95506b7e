// The in-memory registry: a map of keys to values, and the handles opened.
// A fuzzer resets it for every input, so every allocation here counts: under
// AddressSanitizer each one records its stack. Hence lookups by string_view,
// and a Reset that keeps the room the record of opens and the handles took.
#include "memreg/mem_registry.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <set>

namespace {

// Names compare as Windows compares them, without regard to case, and keep
// the spelling they were created with. Only ASCII letters fold: the names
// the readers ask for are ASCII.
char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

struct NoCaseLess {
    using is_transparent = void;   // lookups by string_view, without a copy
    bool operator()(std::string_view a, std::string_view b) const
    {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                            [](char x, char y) { return Lower(x) < Lower(y); });
    }
};

bool SameName(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) { return Lower(x) == Lower(y); });
}

struct Value {
    DWORD type;
    std::string data;
};

using Key = std::map<std::string, Value, NoCaseLess>;   // by value name

} // namespace

struct HKEY__ {
    const Key* key;   // null once the key is deleted
    REGSAM access;
    bool open;
};

namespace {

struct Registry {
    std::map<std::string, Key, NoCaseLess> keys;   // by path
    std::deque<HKEY__> handles;   // all since Reset, closed ones too; a deque keeps each in place
    std::vector<memreg::Access> opens;
    memreg::Counters counters;
};

Registry& TheRegistry()
{
    static Registry registry;
    return registry;
}

Key* FindKey(std::string_view path)
{
    auto& keys = TheRegistry().keys;
    auto found = keys.find(path);
    return found == keys.end() ? nullptr : &found->second;
}

// Every path ever opened, once: the record of opens points into it, and
// outlives each Reset without copying a path for every open.
std::string_view Kept(std::string_view path)
{
    static std::set<std::string, std::less<>> paths;
    auto found = paths.find(path);
    if (found == paths.end())
        found = paths.emplace(path).first;
    return *found;
}

// From the newest: a caller queries and closes the key it opened last, and
// without a Reset (a bench filling the rows again and again) the handles of
// every earlier open are still there, closed.
HKEY__* OpenHandle(HKEY key)
{
    auto& handles = TheRegistry().handles;
    const auto found = std::find_if(handles.rbegin(), handles.rend(), [key](const HKEY__& h) { return &h == key; });
    return found != handles.rend() && found->open ? &*found : nullptr;
}

} // namespace

LONG RegOpenKeyExA(HKEY root, LPCSTR subKey, DWORD, REGSAM access, PHKEY result)
{
    Registry& registry = TheRegistry();
    ++registry.counters.opens;
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    const std::string_view path = subKey ? subKey : "";
    registry.opens.push_back({Kept(path), access});
    if (root != HKEY_LOCAL_MACHINE)
        return ERROR_INVALID_HANDLE;
    const Key* key = FindKey(path);
    if (!key)
        return ERROR_FILE_NOT_FOUND;
    *result = &registry.handles.emplace_back(HKEY__{key, access, true});
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD dataSize)
{
    Registry& registry = TheRegistry();
    ++registry.counters.queries;
    const HKEY__* handle = OpenHandle(key);
    if (!handle)
        return ERROR_INVALID_HANDLE;
    if (reserved || (data && !dataSize))
        return ERROR_INVALID_PARAMETER;
    if (!(handle->access & KEY_QUERY_VALUE))
        return ERROR_ACCESS_DENIED;
    if (!handle->key)
        return ERROR_FILE_NOT_FOUND;   // deleted while open
    auto found = handle->key->find(std::string_view(valueName ? valueName : ""));
    if (found == handle->key->end())
        return ERROR_FILE_NOT_FOUND;

    const Value& value = found->second;
    const auto size = static_cast<DWORD>(value.data.size());
    if (type)
        *type = value.type;
    if (data && *dataSize < size) {
        *dataSize = size;
        return ERROR_MORE_DATA;
    }
    if (data && size)
        std::memcpy(data, value.data.data(), size);   // NOLINT(bugprone-not-null-terminated-result): bytes, not text
    if (dataSize)
        *dataSize = size;
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key)
{
    Registry& registry = TheRegistry();
    if (key == HKEY_LOCAL_MACHINE)
        return ERROR_SUCCESS;
    HKEY__* handle = OpenHandle(key);
    if (!handle)
        return ERROR_INVALID_HANDLE;
    handle->open = false;
    ++registry.counters.closes;
    return ERROR_SUCCESS;
}

namespace memreg {

void Reset()
{
    Registry& registry = TheRegistry();
    registry.keys.clear();
    registry.handles.clear();
    registry.opens.clear();
    registry.counters = Counters{};
}

void CreateKey(std::string_view path)
{
    auto& keys = TheRegistry().keys;
    for (size_t slash = path.find('\\'); slash != std::string_view::npos; slash = path.find('\\', slash + 1))
        keys.emplace(path.substr(0, slash), Key());
    keys.emplace(path, Key());
}

void DeleteKey(std::string_view path)
{
    Registry& registry = TheRegistry();
    for (auto it = registry.keys.begin(); it != registry.keys.end();) {
        const std::string_view candidate = it->first;
        const bool inside = SameName(candidate.substr(0, path.size()), path) &&
                            (candidate.size() == path.size() || candidate[path.size()] == '\\');
        if (!inside) {
            ++it;
            continue;
        }
        for (HKEY__& handle : registry.handles) {
            if (handle.key == &it->second)
                handle.key = nullptr;
        }
        it = registry.keys.erase(it);
    }
}

void SetValue(std::string_view path, std::string_view name, DWORD type, std::string_view data)
{
    if (!FindKey(path))
        CreateKey(path);
    Key& key = *FindKey(path);
    auto found = key.find(name);
    if (found == key.end())
        key.emplace(name, Value{type, std::string(data)});
    else
        found->second = Value{type, std::string(data)};
}

void DeleteValue(std::string_view path, std::string_view name)
{
    Key* key = FindKey(path);
    if (!key)
        return;
    auto found = key->find(name);
    if (found != key->end())
        key->erase(found);
}

const std::vector<Access>& Opens()
{
    return TheRegistry().opens;
}

Counters GetCounters()
{
    return TheRegistry().counters;
}

std::size_t OpenHandleCount()
{
    const auto& handles = TheRegistry().handles;
    return static_cast<std::size_t>(
        std::count_if(handles.begin(), handles.end(), [](const HKEY__& handle) { return handle.open; }));
}

} // namespace memreg
