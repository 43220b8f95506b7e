// The in-memory registry: keys and values under their lower-case names, and
// handles, each pointing at its key. A fuzzer resets it for every input, so
// it keeps what it has built for the next: a deleted key stays in the map,
// marked as deleted, a closed handle's slot serves the next open, and every
// path opened is kept once for the record of opens. Lookups fold the name
// asked for into a buffer on the stack. So, past the first input, only the
// values set allocate.
#include "memreg/mem_registry.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <set>

namespace {

// Names are compared, and folded, eight bytes at a time: under the
// sanitizers every load is checked, and a key's path is long. A memcmp
// would be as quick but the fuzzer records every one as a hint.
std::uint64_t Word(const char* at)
{
    std::uint64_t word;
    std::memcpy(&word, at, sizeof word);
    return word;
}

bool SameBytes(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    std::size_t i = 0;
    for (; i + 8 <= a.size(); i += 8) {
        if (Word(a.data() + i) != Word(b.data() + i))
            return false;
    }
    for (; i < a.size(); ++i) {
        if (a[i] != b[i])
            return false;
    }
    return true;
}

// Orders names by length first, so that a lookup compares the bytes of
// names of its own length only. Names are stored, and looked up, in lower case.
struct ShortestFirst {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const
    {
        if (a.size() != b.size())
            return a.size() < b.size();
        std::size_t i = 0;
        while (i + 8 <= a.size() && Word(a.data() + i) == Word(b.data() + i))
            i += 8;
        for (; i < a.size(); ++i) {
            if (a[i] != b[i])
                return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[i]);
        }
        return false;
    }
};

struct Value {
    DWORD type;
    std::string data;
};

struct Key {
    bool exists = false;
    std::map<std::string, Value, ShortestFirst> values;   // by lower-case name
};

} // namespace

struct HKEY__ {
    bool live;
    Key* key;   // null once the key is deleted
    REGSAM access;
};

namespace {

// A path lately asked for, as its caller spelled it: the readers open the
// same key over and over, and a fuzzer sets value after value in one.
struct RecentPath {
    bool valid = false;
    std::string spelled;
    std::string_view kept;   // its copy for the record of opens
    Key* key = nullptr;      // its key's entry, deleted or not; null when there is none
};

struct Registry {
    std::map<std::string, Key, ShortestFirst> keys;   // by lower-case path, deleted ones too
    std::deque<HKEY__> handles;                      // live and closed; a deque never moves them
    std::set<std::string, ShortestFirst> pathsOpened;
    RecentPath recent[2];
    int older = 0;   // the entry of `recent` to replace next
    std::vector<memreg::Access> opens;
    memreg::Counters counters;
};

Registry& TheRegistry()
{
    static Registry registry;
    return registry;
}

char FoldedChar(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// FoldedChar on each of eight bytes at once: a byte below 0x80 gets 0x20
// when it lies in 'A'..'Z' (adding to its low seven bits carries into bit 7
// from 'A' on, and from past 'Z' on).
std::uint64_t FoldedWord(std::uint64_t word)
{
    constexpr std::uint64_t kOnes = 0x0101010101010101;
    constexpr std::uint64_t kHigh = 0x8080808080808080;
    const std::uint64_t low = word & ~kHigh;
    const std::uint64_t fromA = low + (0x80 - 'A') * kOnes;
    const std::uint64_t pastZ = low + (0x7F - 'Z') * kOnes;
    const std::uint64_t upper = (fromA ^ pastZ) & ~word & kHigh;
    return word | upper >> 2;
}

// A name in lower case, in a buffer of its own for names of ordinary length.
class Folded {
public:
    explicit Folded(std::string_view name)
    {
        char* out = m_short;
        if (name.size() > sizeof m_short) {
            m_long.resize(name.size());
            out = m_long.data();
        }
        std::size_t i = 0;
        for (; i + 8 <= name.size(); i += 8) {
            const std::uint64_t folded = FoldedWord(Word(name.data() + i));
            std::memcpy(out + i, &folded, sizeof folded);
        }
        std::transform(name.begin() + i, name.end(), out + i, FoldedChar);
        m_folded = std::string_view(out, name.size());
    }
    Folded(const Folded&) = delete;
    Folded& operator=(const Folded&) = delete;

    std::string_view view() const { return m_folded; }

private:
    char m_short[256];
    std::string m_long;
    std::string_view m_folded;
};

std::string_view Kept(std::string_view path)
{
    auto& paths = TheRegistry().pathsOpened;
    auto found = paths.find(path);
    return found != paths.end() ? *found : *paths.emplace(path).first;
}

// Entries of `keys` are never removed, so a recent path's entry stays its
// own until a new entry is made.
const RecentPath& Recent(std::string_view path)
{
    Registry& registry = TheRegistry();
    for (const RecentPath& recent : registry.recent) {
        if (recent.valid && SameBytes(recent.spelled, path))
            return recent;
    }
    RecentPath& recent = registry.recent[registry.older];
    registry.older = 1 - registry.older;
    recent.spelled.assign(path);
    recent.kept = Kept(path);
    auto found = registry.keys.find(Folded(path).view());
    recent.key = found == registry.keys.end() ? nullptr : &found->second;
    recent.valid = true;
    return recent;
}

Key* FindKey(std::string_view path)
{
    Key* key = Recent(path).key;
    return key && key->exists ? key : nullptr;
}

HKEY__* LiveHandle(HKEY key)
{
    for (HKEY__& handle : TheRegistry().handles) {
        if (&handle == key)
            return handle.live ? &handle : nullptr;
    }
    return nullptr;
}

HKEY__& FreeHandle()
{
    auto& handles = TheRegistry().handles;
    for (HKEY__& handle : handles) {
        if (!handle.live)
            return handle;
    }
    return handles.emplace_back();
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
    registry.opens.push_back({Recent(path).kept, access});
    if (root != HKEY_LOCAL_MACHINE)
        return ERROR_INVALID_HANDLE;
    Key* key = FindKey(path);
    if (!key)
        return ERROR_FILE_NOT_FOUND;
    HKEY__& handle = FreeHandle();
    handle = HKEY__{true, key, access};
    *result = &handle;
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
    if (!handle->key)
        return ERROR_FILE_NOT_FOUND;   // deleted while open
    auto& values = handle->key->values;
    auto found = values.find(Folded(valueName ? valueName : "").view());
    if (found == values.end())
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
    HKEY__* handle = LiveHandle(key);
    if (!handle)
        return ERROR_INVALID_HANDLE;
    handle->live = false;
    ++registry.counters.closes;
    return ERROR_SUCCESS;
}

namespace memreg {

void Reset()
{
    Registry& registry = TheRegistry();
    for (auto& [path, key] : registry.keys)
        key = Key();
    for (HKEY__& handle : registry.handles)
        handle.live = false;
    registry.opens.clear();
    registry.counters = Counters{};
}

void CreateKey(std::string_view path)
{
    Registry& registry = TheRegistry();
    const Folded folded(path);
    const std::string_view name = folded.view();
    const auto create = [&registry](std::string_view key) {
        auto found = registry.keys.find(key);
        if (found == registry.keys.end()) {
            found = registry.keys.emplace(key, Key()).first;
            for (RecentPath& recent : registry.recent)
                recent.valid = false;   // it may have been without an entry
        }
        found->second.exists = true;
    };
    for (size_t slash = name.find('\\'); slash != std::string_view::npos; slash = name.find('\\', slash + 1))
        create(name.substr(0, slash));
    create(name);
}

void DeleteKey(std::string_view path)
{
    Registry& registry = TheRegistry();
    const Folded folded(path);
    const std::string_view deleted = folded.view();
    for (auto& [keyPath, key] : registry.keys) {
        const std::string_view candidate = keyPath;
        const bool inside = candidate.substr(0, deleted.size()) == deleted &&
                            (candidate.size() == deleted.size() || candidate[deleted.size()] == '\\');
        if (!inside)
            continue;
        for (HKEY__& handle : registry.handles) {
            if (handle.key == &key)
                handle.key = nullptr;
        }
        key = Key();
    }
}

void SetValue(std::string_view path, std::string_view name, DWORD type, std::string_view data)
{
    Key* key = FindKey(path);
    if (!key) {
        CreateKey(path);
        key = FindKey(path);
    }
    const Folded folded(name);
    auto found = key->values.find(folded.view());
    if (found == key->values.end())
        key->values.emplace(folded.view(), Value{type, std::string(data)});
    else
        found->second = Value{type, std::string(data)};
}

void DeleteValue(std::string_view path, std::string_view name)
{
    Key* key = FindKey(path);
    if (!key)
        return;
    auto found = key->values.find(Folded(name).view());
    if (found != key->values.end())
        key->values.erase(found);
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
        std::count_if(handles.begin(), handles.end(), [](const HKEY__& h) { return h.live; }));
}

} // namespace memreg
