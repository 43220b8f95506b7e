// Every reader against a registry the input describes, with the promises the
// dialog depends on checked after each call: a text of at most 255 bytes (and
// what the build and service pack lines add to them) with no zero byte
// inside, the reader's own value or its fallback, a date in its
// one format, nothing asked of the registry beyond query access on the
// reader's own key, and no key left open. What each reader reads and falls
// back to comes from kFields; what it must make of that is restated here.
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
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <strings.h>
#include <vector>

namespace {

constexpr std::size_t kMaxData = 1024;
constexpr std::size_t kRoomOffered = 255;
constexpr std::size_t kCountRoom = 4;   // the installation date and the revision
constexpr const char* kKeys[] = {fields::kCurrentVersionKey, fields::kProductOptionsKey};

struct Record {
    int key;                 // into kKeys
    std::string_view name;   // zero-terminated inside the input
    DWORD type;
    std::string_view data;
};

struct HostileRegistry {
    bool keyExists[2] = {};
    std::vector<Record> records;
};

HostileRegistry Parse(const std::uint8_t* data, std::size_t size)
{
    HostileRegistry registry;
    if (size == 0)
        return registry;
    registry.keyExists[0] = (data[0] & 1) != 0;
    registry.keyExists[1] = (data[0] & 2) != 0;
    const char* const bytes = reinterpret_cast<const char*>(data);
    registry.records.reserve(size / 5);   // the shortest record, a nameless one without data
    std::size_t at = 1;
    while (size - at >= 1) {
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
        const std::string_view nameText(name, static_cast<std::size_t>(nameEnd - name));
        if (registry.keyExists[key])
            registry.records.push_back({key, nameText, type, {bytes + at, length}});
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
        memreg::SetValue(kKeys[r.key], r.name, r.type, r.data);
}

[[noreturn]] void Fail(const char* reader, const std::string& what, const CString& text)
{
    std::fprintf(stderr, "%s: %s (text of %d bytes: \"%s\")\n", reader, what.c_str(), text.GetLength(),
                 text.GetString());
    std::abort();
}

// The value's bytes as a reader would get them from a query offering `room`
// bytes, or nothing when the query would fail. Records of missing keys were
// never kept; names compare as the registry compares them.
std::optional<std::string_view> Readable(const HostileRegistry& registry, const char* keyPath, const char* name,
                                         std::size_t room)
{
    // The readers' table names its keys by these very constants: comparing
    // addresses first spares a string comparison on nearly every lookup.
    const auto* const keyFound = std::find_if(std::begin(kKeys), std::end(kKeys), [keyPath](const char* k) {
        return k == keyPath || std::strcmp(k, keyPath) == 0;
    });
    const auto key = static_cast<int>(keyFound - std::begin(kKeys));
    const std::size_t length = std::strlen(name);
    for (auto r = registry.records.rbegin(); r != registry.records.rend(); ++r) {
        if (r->key == key && r->name.size() == length && strcasecmp(r->name.data(), name) == 0) {
            if (r->data.size() > room)
                return std::nullopt;
            return r->data;
        }
    }
    return std::nullopt;
}

// A text value as the readers take it: its bytes up to the first zero byte.
std::optional<std::string_view> ReadableText(const HostileRegistry& registry, const Field& field,
                                             std::size_t value)
{
    const auto bytes = Readable(registry, field.key, field.values[value], kRoomOffered);
    if (!bytes)
        return std::nullopt;
    return bytes->substr(0, bytes->find('\0'));
}

std::string_view View(const CString& text)
{
    return {text.GetString(), static_cast<std::size_t>(text.GetLength())};
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

// A build number of digits only (leading zeros allowed) at or past 22000,
// the first Windows 11 build.
bool IsWindows11Build(std::string_view build)
{
    unsigned long capped = 0;   // saturates, so that no count of digits overflows
    for (const char c : build) {
        if (c < '0' || c > '9')
            return false;
        capped = std::min(capped * 10 + static_cast<unsigned long>(c - '0'), 22000ul);
    }
    return !build.empty() && capped >= 22000;
}

// The product name with its first "Windows 10" standing as words of their
// own (between blanks or the ends of the name) renamed "Windows 11".
std::string RenamedWindows11(std::string_view product)
{
    std::vector<std::size_t> wordStarts{0};
    for (std::size_t at = 0; at < product.size(); ++at) {
        if (product[at] == ' ')
            wordStarts.push_back(at + 1);
    }
    const auto word = [&](std::size_t i) {
        const std::size_t end = i + 1 < wordStarts.size() ? wordStarts[i + 1] - 1 : product.size();
        return product.substr(wordStarts[i], end - wordStarts[i]);
    };
    for (std::size_t i = 0; i + 1 < wordStarts.size(); ++i) {
        if (word(i) == "Windows" && word(i + 1) == "10") {
            std::string renamed(product);
            renamed[wordStarts[i + 1] + 1] = '1';
            return renamed;
        }
    }
    return std::string(product);
}

// The product name (Windows 11 told by its build), else the version number.
std::string ExpectedVersion(const HostileRegistry& registry, const Field& field)
{
    const auto product = ReadableText(registry, field, 1);
    if (!product)
        return std::string(ReadableText(registry, field, 0).value_or(field.fallback));
    const auto build = ReadableText(registry, field, 2);
    return build && IsWindows11Build(*build) ? RenamedWindows11(*product) : std::string(*product);
}

bool StartsWith(std::string_view text, std::string_view lead)
{
    return text.substr(0, lead.size()) == lead;
}

// A version number of Windows NT 4.0 or older: a whole number below 5, then
// a dot or nothing.
bool IsBeforeWindows2000(std::string_view version)
{
    std::string_view whole = version.substr(0, version.find('.'));
    if (whole.empty() || whole.find_first_not_of("0123456789") != std::string_view::npos)
        return false;
    whole.remove_prefix(std::min(whole.find_first_not_of('0'), whole.size() - 1));
    return whole.size() == 1 && whole[0] < '5';
}

// The first suite, when the product type reader gets as far as reading it.
std::optional<std::string_view> FirstSuite(const HostileRegistry& registry, const Field& field)
{
    if (!ReadableText(registry, field, 0))
        return std::nullopt;
    return ReadableText(registry, field, 1);
}

// Only a first suite of "Terminal Server" has the product type look at the
// version number: that suite names an edition before Windows 2000 alone.
bool ReadsVersionNumber(const HostileRegistry& registry, const Field& field)
{
    const auto suite = field.kind == FieldKind::ProductType ? FirstSuite(registry, field) : std::nullopt;
    return suite && StartsWith(*suite, "Terminal Server");
}

std::string ExpectedProductType(const HostileRegistry& registry, const Field& field)
{
    const auto type = ReadableText(registry, field, 0);
    if (!type)
        return field.fallback;
    std::string shown(*type);
    if (StartsWith(*type, "WinNT"))
        shown = "Windows NT Workstation";
    else if (StartsWith(*type, "ServerNT"))
        shown = "Windows NT Server";
    else if (StartsWith(*type, "LanmanNT"))
        shown = "Windows NT Domain Controller";
    const auto suite = FirstSuite(registry, field);
    if (ReadsVersionNumber(registry, field)) {
        const auto version = ReadableText(registry, fields::kVersionText, 0);
        return version && IsBeforeWindows2000(*version) ? "Windows Terminal Server Edition" : shown;
    }
    return suite && StartsWith(*suite, "Enterprise") ? "Windows NT Enterprise Edition" : shown;
}

// A 32-bit count as the readers take it: little-endian, the bytes a value of
// fewer than four lacks taken as zero.
std::optional<std::uint32_t> ReadableCount(const HostileRegistry& registry, const Field& field, std::size_t value)
{
    const auto bytes = Readable(registry, field.key, field.values[value], kCountRoom);
    if (!bytes)
        return std::nullopt;
    std::uint32_t count = 0;
    for (std::size_t i = bytes->size(); i-- > 0;)
        count = count << 8 | static_cast<unsigned char>((*bytes)[i]);
    return count;
}

// The build number, then a dot and the revision where both can be read and
// the build is not empty.
std::string ExpectedBuild(const HostileRegistry& registry, const Field& field)
{
    const auto build = ReadableText(registry, field, 0);
    if (!build)
        return field.fallback;
    if (build->empty())
        return {};
    const auto revision = ReadableCount(registry, field, 1);
    return revision ? std::string(*build) + '.' + std::to_string(*revision) : std::string(*build);
}

// The service pack, else "Version " and the first feature update name read
// that is not empty.
std::string ExpectedServicePack(const HostileRegistry& registry, const Field& field)
{
    if (const auto servicePack = ReadableText(registry, field, 0))
        return std::string(*servicePack);
    for (std::size_t value = 1; value <= 2; ++value) {
        if (const auto name = ReadableText(registry, field, value); name && !name->empty())
            return "Version " + std::string(*name);
    }
    return field.fallback;
}

// The longest text `field` may give: a text read, with what its line adds.
std::size_t LongestText(const Field& field)
{
    switch (field.kind) {
    case FieldKind::Build:
        return kRoomOffered + sizeof ".4294967295" - 1;
    case FieldKind::ServicePack:
        return sizeof "Version " - 1 + kRoomOffered;
    default:
        return kRoomOffered;
    }
}

void CheckDate(const HostileRegistry& registry, const Field& field, const CString& text)
{
    // Every unsigned 32-bit count lies within the years the C library converts.
    const bool readable = Readable(registry, field.key, field.values[0], kCountRoom).has_value();
    if (!readable && text != field.fallback)
        Fail(field.name, "a date from a value that cannot be read", text);
    if (readable && !IsDateText(text.GetString()))
        Fail(field.name, "not a date", text);
}

void CheckExpected(const Field& field, std::string_view expected, const CString& text)
{
    if (View(text) != expected)
        Fail(field.name, "expected \"" + std::string(expected) + "\"", text);
}

void CheckText(const HostileRegistry& registry, const Field& field, const CString& text)
{
    if (static_cast<std::size_t>(text.GetLength()) != std::strlen(text))
        Fail(field.name, "a zero byte inside the text", text);
    if (static_cast<std::size_t>(text.GetLength()) > LongestText(field))
        Fail(field.name, "longer than " + std::to_string(LongestText(field)) + " bytes", text);
    switch (field.kind) {
    case FieldKind::Text:
        return CheckExpected(field, ReadableText(registry, field, 0).value_or(field.fallback), text);
    case FieldKind::Build:
        return CheckExpected(field, ExpectedBuild(registry, field), text);
    case FieldKind::ServicePack:
        return CheckExpected(field, ExpectedServicePack(registry, field), text);
    case FieldKind::Version:
        return CheckExpected(field, ExpectedVersion(registry, field), text);
    case FieldKind::Date:
        return CheckDate(registry, field, text);
    case FieldKind::ProductType:
        return CheckExpected(field, ExpectedProductType(registry, field), text);
    }
}

// The opens since `firstOpen`: the reader's own key (and the version's where
// the product type needs the version number), for query only, closed.
void CheckRegistryUse(const HostileRegistry& registry, const Field& field, std::size_t firstOpen)
{
    if (memreg::OpenHandleCount() != 0)
        Fail(field.name, "a key left open", CString());
    const std::vector<memreg::Access>& opens = memreg::Opens();
    for (std::size_t i = firstOpen; i < opens.size(); ++i) {
        if (opens[i].access != KEY_QUERY_VALUE)
            Fail(field.name, "asked for more than query access on " + std::string(opens[i].path), CString());
        const bool versionKey = opens[i].path == fields::kVersionText.key && ReadsVersionNumber(registry, field);
        if (opens[i].path != field.key && !versionKey)
            Fail(field.name, "opened " + std::string(opens[i].path), CString());
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
        CheckRegistryUse(registry, *field, firstOpen);
        CheckText(registry, *field, text);
    }
    // Nothing of one input stays allocated, so libFuzzer's leak check (which
    // reruns any input that frees less than it allocates) stays quiet.
    memreg::Reset();
    return 0;
}
