// The in-memory registry: a map of keys to values, and a set of live handles.
#include "memreg/mem_registry.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <memory>

struct HKEY__ {
    std::string path;
    REGSAM access;
};

namespace {

struct Value {
    DWORD type;
    std::string data;
};

using Key = std::map<std::string, Value>;   // by lower-case value name

struct Registry {
    std::map<std::string, Key> keys;       // by lower-case path
    std::map<HKEY, std::unique_ptr<HKEY__>> handles;
    std::vector<memreg::Access> opens;
    memreg::Counters counters;
};

Registry& TheRegistry()
{
    static Registry registry;
    return registry;
}

std::string Folded(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

const HKEY__* LiveHandle(HKEY key)
{
    auto& handles = TheRegistry().handles;
    auto found = handles.find(key);
    return found == handles.end() ? nullptr : found->second.get();
}

} // namespace

LONG RegOpenKeyExA(HKEY root, LPCSTR subKey, DWORD, REGSAM access, PHKEY result)
{
    Registry& registry = TheRegistry();
    ++registry.counters.opens;
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    const std::string path = subKey ? subKey : "";
    registry.opens.push_back({path, access});
    if (root != HKEY_LOCAL_MACHINE)
        return ERROR_INVALID_HANDLE;
    if (!registry.keys.count(Folded(path)))
        return ERROR_FILE_NOT_FOUND;
    auto handle = std::make_unique<HKEY__>(HKEY__{Folded(path), access});
    *result = handle.get();
    registry.handles.emplace(*result, std::move(handle));
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD dataSize)
{
    Registry& registry = TheRegistry();
    ++registry.counters.queries;
    const HKEY__* handle = LiveHandle(key);
    if (!handle)
        return ERROR_INVALID_HANDLE;
    if (reserved || (data && !dataSize))
        return ERROR_INVALID_PARAMETER;
    if (!(handle->access & KEY_QUERY_VALUE))
        return ERROR_ACCESS_DENIED;
    auto keyFound = registry.keys.find(handle->path);
    if (keyFound == registry.keys.end())
        return ERROR_FILE_NOT_FOUND;   // deleted while open
    auto found = keyFound->second.find(Folded(valueName ? valueName : ""));
    if (found == keyFound->second.end())
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
    if (registry.handles.erase(key) == 0)
        return ERROR_INVALID_HANDLE;
    ++registry.counters.closes;
    return ERROR_SUCCESS;
}

namespace memreg {

void Reset()
{
    TheRegistry() = Registry{};
}

void CreateKey(const std::string& path)
{
    auto& keys = TheRegistry().keys;
    const std::string folded = Folded(path);
    for (size_t slash = folded.find('\\'); slash != std::string::npos; slash = folded.find('\\', slash + 1))
        keys[folded.substr(0, slash)];
    keys[folded];
}

void DeleteKey(const std::string& path)
{
    auto& keys = TheRegistry().keys;
    const std::string folded = Folded(path);
    for (auto it = keys.begin(); it != keys.end();) {
        const bool inside = it->first == folded || it->first.rfind(folded + "\\", 0) == 0;
        it = inside ? keys.erase(it) : std::next(it);
    }
}

void SetValue(const std::string& path, const std::string& name, DWORD type, const std::string& data)
{
    CreateKey(path);
    TheRegistry().keys[Folded(path)][Folded(name)] = Value{type, data};
}

void DeleteValue(const std::string& path, const std::string& name)
{
    auto& keys = TheRegistry().keys;
    auto key = keys.find(Folded(path));
    if (key != keys.end())
        key->second.erase(Folded(name));
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
    return TheRegistry().handles.size();
}

} // namespace memreg
