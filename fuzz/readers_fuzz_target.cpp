// Every reader against a registry the input describes, with the promises the
// dialog depends on checked after each call: a text of at most 255 bytes with
// no zero byte inside (or the reader's fallback), a date in its one format,
// nothing asked of the registry beyond query access, and no key left open.
//
// Input layout (small on purpose, so that mutations stay meaningful):
//   byte 0      which keys exist: bit 0 CurrentVersion, bit 1 ProductOptions
//   then records, until the input ends:
//     byte      which value (an index into ReaderValueNames(), modulo its size)
//     byte      the value's type, any number
//     2 bytes   data length, little-endian, modulo 1025, cut to what is left
//     data
// A value no record names is absent; a value named twice keeps its last data.
#include "fuzz/readers_fuzz_target.h"

#include "memreg/mem_registry.h"
#include "readers/fields.h"
#include "tests/support/registry_fixture.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <string>

namespace {

constexpr std::size_t kMaxData = 1024;
constexpr std::size_t kRoomOffered = 255;
constexpr std::size_t kDateRoom = 4;

struct HostileRegistry {
    bool currentVersion = false;
    bool productOptions = false;
    std::map<std::string, RegValue> values;   // by value name
};

HostileRegistry Parse(const std::uint8_t* data, std::size_t size)
{
    HostileRegistry registry;
    if (size == 0)
        return registry;
    registry.currentVersion = (data[0] & 1) != 0;
    registry.productOptions = (data[0] & 2) != 0;
    const std::vector<RegValue>& names = ReaderValueNames();
    std::size_t at = 1;
    while (size - at >= 4) {
        RegValue value = names[data[at] % names.size()];
        value.type = data[at + 1];
        const std::size_t wanted = (data[at + 2] | data[at + 3] << 8) % (kMaxData + 1);
        at += 4;
        const std::size_t length = std::min(wanted, size - at);
        value.data.assign(reinterpret_cast<const char*>(data + at), length);
        at += length;
        registry.values[value.name] = value;
    }
    return registry;
}

void Install(const HostileRegistry& registry)
{
    std::vector<RegValue> values;
    for (const auto& named : registry.values)
        values.push_back(named.second);
    SetReaderValues(values);
    if (!registry.currentVersion)
        RemoveKey(RegKey::CurrentVersion);
    if (!registry.productOptions)
        RemoveKey(RegKey::ProductOptions);
}

[[noreturn]] void Fail(const char* reader, const std::string& what, const CString& text)
{
    std::fprintf(stderr, "%s: %s (text of %d bytes: \"%s\")\n", reader, what.c_str(), text.GetLength(),
                 text.GetString());
    std::abort();
}

// The value's bytes as the readers would get them from a query offering
// `room` bytes, or nothing when the query would fail.
std::optional<std::string> Readable(const HostileRegistry& registry, const std::string& name, std::size_t room)
{
    auto found = registry.values.find(name);
    if (found == registry.values.end() || found->second.data.size() > room)
        return std::nullopt;
    const bool keyExists = found->second.key == RegKey::CurrentVersion ? registry.currentVersion
                                                                       : registry.productOptions;
    if (!keyExists)
        return std::nullopt;
    return found->second.data;
}

std::optional<std::string> ReadableText(const HostileRegistry& registry, const std::string& name)
{
    auto bytes = Readable(registry, name, kRoomOffered);
    if (bytes)
        bytes->resize(std::strlen(bytes->c_str()));
    return bytes;
}

bool IsTwoDigits(const std::string& text, std::size_t at, int highest)
{
    if (at + 2 > text.size() || !std::isdigit(static_cast<unsigned char>(text[at])) ||
        !std::isdigit(static_cast<unsigned char>(text[at + 1])))
        return false;
    return (text[at] - '0') * 10 + (text[at + 1] - '0') <= highest;
}

// "DD Month YYYY, HH:MM:SS" with the month spelled in English.
bool IsDateText(const std::string& text)
{
    static const char* const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                                          "July",    "August",   "September", "October", "November", "December"};
    if (!IsTwoDigits(text, 0, 31) || text.compare(0, 2, "00") == 0 || text.size() < 3 || text[2] != ' ')
        return false;
    for (const char* month : kMonths) {
        const std::string lead = std::string(month) + ' ';
        if (text.compare(3, lead.size(), lead) != 0)
            continue;
        const std::size_t year = 3 + lead.size();
        const std::string rest = text.substr(year);
        return rest.size() == 14 && IsTwoDigits(rest, 0, 99) && IsTwoDigits(rest, 2, 99) &&
               rest.compare(4, 2, ", ") == 0 && IsTwoDigits(rest, 6, 23) && rest[8] == ':' &&
               IsTwoDigits(rest, 9, 59) && rest[11] == ':' && IsTwoDigits(rest, 12, 59);
    }
    return false;
}

// What a plain text reader must show: its value's text, or its fallback.
const std::map<std::string, std::string>& PlainReaderValues()
{
    static const std::map<std::string, std::string> values = {
        {"RegisteredOrganization", "RegisteredOrganization"},
        {"RegisteredOwner", "RegisteredOwner"},
        {"BuildNumber", "CurrentBuildNumber"},
        {"SystemRoot", "SystemRoot"},
        {"PlusVersion", "Plus! VersionNumber"},
        {"ServicePack", "CSDVersion"},
        {"ProcessorType", "CurrentType"},
        {"SourcePath", "SourcePath"},
    };
    return values;
}

std::optional<std::string> ExpectedText(const HostileRegistry& registry, const Field* reader)
{
    const std::string name = reader->name;
    auto plain = PlainReaderValues().find(name);
    if (plain != PlainReaderValues().end())
        return ReadableText(registry, plain->second).value_or(reader->fallback);
    if (name == "VersionText") {
        if (auto product = ReadableText(registry, "ProductName"))
            return product;
        return ReadableText(registry, "CurrentVersion").value_or(reader->fallback);
    }
    if (name == "ProductType" && !ReadableText(registry, "ProductType"))
        return std::string(reader->fallback);
    return std::nullopt;   // known only by its shape
}

void CheckProductType(const HostileRegistry& registry, const CString& text)
{
    static const char* const kNamed[] = {"Windows NT Workstation", "Windows NT Server",
                                         "Windows NT Domain Controller", "Windows Terminal Server Edition",
                                         "Windows NT Enterprise Edition"};
    const auto asRead = ReadableText(registry, "ProductType");
    if (asRead && text == asRead->c_str())
        return;
    for (const char* named : kNamed) {
        if (text == named)
            return;
    }
    Fail("ProductType", "neither a product name nor the type as read", text);
}

void CheckInstallDate(const HostileRegistry& registry, const Field* reader, const CString& text)
{
    // Every unsigned 32-bit count lies within the years the C library converts.
    const bool readable = Readable(registry, "InstallDate", kDateRoom).has_value();
    if (!readable && text != reader->fallback)
        Fail(reader->name, "a date from a value that cannot be read", text);
    if (readable && !IsDateText(text.GetString()))
        Fail(reader->name, "not a date", text);
}

void CheckText(const HostileRegistry& registry, const Field* reader, const CString& text)
{
    if (static_cast<std::size_t>(text.GetLength()) != std::strlen(text))
        Fail(reader->name, "a zero byte inside the text", text);
    if (text.GetLength() > static_cast<int>(kRoomOffered))
        Fail(reader->name, "longer than 255 bytes", text);
    if (std::string(reader->name) == "InstallDate") {
        CheckInstallDate(registry, reader, text);
        return;
    }
    const auto expected = ExpectedText(registry, reader);
    if (expected && text != expected->c_str())
        Fail(reader->name, "expected \"" + *expected + "\"", text);
    if (!expected && std::string(reader->name) == "ProductType")
        CheckProductType(registry, text);
}

void CheckRegistryUse(const Field* reader)
{
    if (memreg::OpenHandleCount() != 0)
        Fail(reader->name, "a key left open", CString());
    for (const memreg::Access& open : memreg::Opens()) {
        if (open.access != KEY_QUERY_VALUE)
            Fail(reader->name, "asked for more than query access on " + open.path, CString());
        if (open.path != KeyPath(RegKey::CurrentVersion) && open.path != KeyPath(RegKey::ProductOptions))
            Fail(reader->name, "opened " + open.path, CString());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const HostileRegistry registry = Parse(data, size);
    for (const Field* reader : kFields) {
        Install(registry);
        const CString text = reader->read();
        CheckRegistryUse(reader);
        CheckText(registry, reader, text);
    }
    return 0;
}
