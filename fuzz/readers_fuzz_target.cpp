// Every reader against a registry the input describes, checked for what a
// user relies on whatever the registry holds: each line gets a text (no zero
// byte inside, no longer than a read and what its line adds); a field none of
// whose values can be read shows exactly its fallback text; a line that shows
// its value as stored shows a readable text value as it is; reading again
// gives the same text; and no reader asks for more than query access or
// leaves a key open. What each reader makes of the values it reads is for the
// readers' own tables of cases (tests/readers/) to say.
//
// Input layout (small on purpose, so that mutations stay meaningful):
//   byte 0      which keys exist: bit 0 CurrentVersion, bit 1 ProductOptions
//   then records, until the input ends:
//     byte      the value's key: CurrentVersion when even, ProductOptions when odd
//     bytes     the value's name, ended by a zero byte (any case, as in the registry)
//     byte      the value's type, any number
//     2 bytes   data length, little-endian, modulo 1025, cut to what is left
//     data
// Values are named by their text, so a seed means the same whatever order the
// readers' table takes. A name no reader reads is stored and must be ignored;
// a value named twice keeps its last data.
#include "fuzz/readers_fuzz_target.h"

#include "memreg/mem_registry.h"
#include "readers/fields.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <strings.h>
#include <vector>

namespace {

constexpr std::size_t kMaxData = 1024;
// The most bytes a registry read takes: a larger value cannot be read.
constexpr std::size_t kLongestRead = 255;
// The most a line adds to what it reads: a dot and a 32-bit revision.
constexpr std::size_t kLongestAddition = sizeof ".4294967295" - 1;
constexpr const char* kKeys[] = {fields::kCurrentVersionKey, fields::kProductOptionsKey};

// The lines that show their value's text as it is stored.
constexpr const Field* kShownAsStored[] = {&fields::kRegisteredOrganization, &fields::kRegisteredOwner,
                                           &fields::kSystemRoot,             &fields::kPlusVersion,
                                           &fields::kProcessorType,          &fields::kSourcePath};

struct Record {
    const char* key;         // one of kKeys, the very constants the readers' table names
    std::string_view name;   // zero-terminated inside the input
    DWORD type;
    std::string_view data;
};

struct HostileRegistry {
    bool keyExists[2] = {};
    std::vector<Record> records;   // of keys that exist
};

HostileRegistry Parse(const std::uint8_t* data, std::size_t size)
{
    HostileRegistry registry;
    if (size == 0)
        return registry;
    registry.keyExists[0] = (data[0] & 1) != 0;
    registry.keyExists[1] = (data[0] & 2) != 0;
    const char* const bytes = reinterpret_cast<const char*>(data);
    std::size_t at = 1;
    while (at < size) {
        const int key = data[at] & 1;
        const char* name = bytes + at + 1;
        const auto* nameEnd = static_cast<const char*>(std::memchr(name, 0, size - at - 1));
        if (!nameEnd)
            break;
        at = static_cast<std::size_t>(nameEnd - bytes) + 1;
        if (size - at < 3)
            break;
        const DWORD type = data[at];
        const std::size_t wanted = (data[at + 1] | data[at + 2] << 8) % (kMaxData + 1);
        at += 3;
        const std::size_t length = std::min(wanted, size - at);
        if (registry.keyExists[key])
            registry.records.push_back({kKeys[key], {name, static_cast<std::size_t>(nameEnd - name)}, type,
                                        {bytes + at, length}});
        at += length;
    }
    return registry;
}

// Only into keys that exist: setting a value would create its key.
void Install(const HostileRegistry& registry)
{
    memreg::Reset();
    for (int key = 0; key < 2; ++key) {
        if (registry.keyExists[key])
            memreg::CreateKey(kKeys[key]);
    }
    for (const Record& r : registry.records)
        memreg::SetValue(r.key, r.name, r.type, r.data);
}

// The value as the registry holds it, or null: names compare as the
// registry compares them, and a value set twice keeps its last data.
const Record* Find(const HostileRegistry& registry, const char* key, const char* name)
{
    const auto same = [key, name](const Record& r) {
        return r.key == key && r.name.size() == std::strlen(name) && strcasecmp(r.name.data(), name) == 0;
    };
    const auto found = std::find_if(registry.records.rbegin(), registry.records.rend(), same);
    return found == registry.records.rend() ? nullptr : &*found;
}

bool Readable(const Record* value)
{
    return value && value->data.size() <= kLongestRead;
}

// Each of the field's values missing (its key too, perhaps) or too long to read.
bool NothingReadable(const HostileRegistry& registry, const Field& field)
{
    return std::none_of(field.values.begin(), field.values.end(), [&](const char* name) {
        return name && Readable(Find(registry, field.key, name));
    });
}

// The value a line that shows its value as stored must show as it is: a
// REG_SZ the registry gives whole. Null for other lines and other values.
const Record* ShownAsStored(const HostileRegistry& registry, const Field& field)
{
    if (std::find(std::begin(kShownAsStored), std::end(kShownAsStored), &field) == std::end(kShownAsStored))
        return nullptr;
    const Record* value = Find(registry, field.key, field.values[0]);
    return Readable(value) && value->type == REG_SZ ? value : nullptr;
}

[[noreturn]] void Fail(const Field& field, const char* what, const CString& text)
{
    std::fprintf(stderr, "%s: %s (text of %d bytes: \"%s\")\n", field.name, what, text.GetLength(),
                 text.GetString());
    std::abort();
}

void CheckRegistryUse(const Field& field, std::size_t firstOpen, const CString& text)
{
    if (memreg::OpenHandleCount() != 0)
        Fail(field, "a key left open", text);
    const std::vector<memreg::Access>& opens = memreg::Opens();
    for (std::size_t i = firstOpen; i < opens.size(); ++i) {
        if (opens[i].access != KEY_QUERY_VALUE)
            Fail(field, "more than query access asked for", text);
    }
}

void CheckText(const HostileRegistry& registry, const Field& field, const CString& text)
{
    const auto length = static_cast<std::size_t>(text.GetLength());
    if (length != std::strlen(text))
        Fail(field, "a zero byte inside the text", text);
    if (length > kLongestRead + kLongestAddition)
        Fail(field, "longer than any line", text);
    if (field.read() != text)
        Fail(field, "another text when read again", text);
    if (NothingReadable(registry, field) && text != field.fallback)
        Fail(field, "no value readable, yet not the fallback text", text);
    if (const Record* stored = ShownAsStored(registry, field)) {
        if (std::string_view(text, length) != stored->data.substr(0, stored->data.find('\0')))
            Fail(field, "not the stored text as it is", text);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const HostileRegistry registry = Parse(data, size);
    // Readers only query, so one registry serves all eleven.
    Install(registry);
    for (const Field* field : kFields) {
        const std::size_t firstOpen = memreg::Opens().size();
        const CString text = field->read();
        CheckRegistryUse(*field, firstOpen, text);
        CheckText(registry, *field, text);
    }
    // Nothing of one input stays allocated, so libFuzzer's leak check (which
    // reruns any input that frees less than it allocates) stays quiet.
    memreg::Reset();
    return 0;
}
