// The readers of the CurrentVersion key: one open, one or two queries and one
// close each (three for the version of a Windows 10 product name, and for the
// service pack of a Windows that names only its release).
#include "readers/fields.h"

#include "afx/datetime.h"
#include "readers/decimal.h"
#include "readers/registry_key.h"

#include <cstring>

namespace {

CString ReadText(const Field& field)
{
    return COsprelReaders::ReadRegistryText(field.key, field.values[0], field.fallback);
}

bool IsBlank(char c)
{
    return c == ' ';
}

constexpr char kWindows10[] = "Windows 10";
constexpr char kWindows11[] = "Windows 11";
static_assert(sizeof kWindows10 == sizeof kWindows11, "the name is changed in place");

// Where `name` says "Windows 10" as a word of its own, or null.
const char* FindWindows10(const char* name)
{
    constexpr auto length = sizeof kWindows10 - 1;
    for (const char* at = std::strstr(name, kWindows10); at; at = std::strstr(at + 1, kWindows10)) {
        const bool wordStarts = at == name || IsBlank(at[-1]);
        const bool wordEnds = at[length] == '\0' || IsBlank(at[length]);
        if (wordStarts && wordEnds)
            return at;
    }
    return nullptr;
}

// Windows 11 builds start at 22000; the last Windows 10 is 19045.
bool IsWindows11Build(const CString& build)
{
    const char* end = build.GetString() + build.GetLength();
    return decimal::IsNumber(build, end) && decimal::AtLeast(build, end, "22000");
}

// The most a text read gives: 255 bytes, without a terminating zero.
constexpr std::size_t kLongestTextRead = 255;

// What the service pack line says before the name of a feature update.
constexpr char kFeatureUpdateLead[] = "Version ";

} // namespace

CString COsprelReaders::ReadRegistryText(const char* key, const char* valueName, const char* fallback)
{
    RegistryKey opened(key);
    CString text;
    return opened.QueryText(valueName, text) ? text : CString(fallback);
}

// "InstallDate" counts seconds since 1970 as an unsigned 32-bit number, so
// dates run to 2106; read as signed, every date from 2038 on would be lost.
CString COsprelReaders::GetInstallDate()
{
    const Field& field = fields::kInstallDate;
    RegistryKey key(field.key);
    std::uint32_t secondsSince1970 = 0;
    if (!key.QueryDword(field.values[0], secondsSince1970))
        return field.fallback;
    const COleDateTime installed(static_cast<std::int64_t>(secondsSince1970));
    if (installed.GetStatus() != COleDateTime::valid)
        return field.fallback;
    return installed.Format("%d %B %Y, %H:%M:%S");
}

// The product name, when the registry has one, stands for the version number.
// Windows 11 keeps the product name "Windows 10 ..." of the release it
// replaced; only its build number tells them apart.
CString COsprelReaders::GetVersionText()
{
    const Field& field = fields::kVersionText;
    RegistryKey key(field.key);
    CString text = field.fallback;
    key.QueryText(field.values[0], text);
    if (!key.QueryText(field.values[1], text))
        return text;
    const char* at = FindWindows10(text);
    CString build;
    if (!at || !key.QueryText(field.values[2], build) || !IsWindows11Build(build))
        return text;
    // A text read is at most 255 bytes.
    char name[256];
    std::memcpy(name, text.GetString(), static_cast<size_t>(text.GetLength()) + 1);
    std::memcpy(name + (at - text.GetString()), kWindows11, sizeof kWindows11 - 1);
    return CString(name, text.GetLength());
}

// The build number, and after a dot the revision that monthly updates count
// up ("19045.5247"), read as the installation date's count is read. Never a
// revision without a build to follow: an empty build stays empty.
CString COsprelReaders::GetBuildNumber()
{
    const Field& field = fields::kBuildNumber;
    RegistryKey key(field.key);
    CString build;
    if (!key.QueryText(field.values[0], build))
        return field.fallback;
    std::uint32_t revision = 0;
    if (build.IsEmpty() || !key.QueryDword(field.values[1], revision))
        return build;
    char text[kLongestTextRead + 1 + decimal::kMaxDwordDigits];
    const auto length = static_cast<std::size_t>(build.GetLength());
    std::memcpy(text, build.GetString(), length);
    text[length] = '.';
    const int digits = decimal::Write(revision, text + length + 1);
    return CString(text, static_cast<int>(length) + 1 + digits);
}

// The service pack where there is one (an empty one too), else the feature
// update's name ("Version 22H2"), else the release's ("Version 1809"). An
// empty name names no update, and "Version " alone would say nothing.
CString COsprelReaders::GetServicePack()
{
    const Field& field = fields::kServicePack;
    RegistryKey key(field.key);
    CString text;
    if (key.QueryText(field.values[0], text))
        return text;
    const auto names = [&key, &text](const char* value) { return key.QueryText(value, text) && !text.IsEmpty(); };
    if (!names(field.values[1]) && !names(field.values[2]))
        return field.fallback;
    constexpr auto leadLength = sizeof kFeatureUpdateLead - 1;
    char shown[leadLength + kLongestTextRead];
    std::memcpy(shown, kFeatureUpdateLead, leadLength);
    std::memcpy(shown + leadLength, text.GetString(), static_cast<std::size_t>(text.GetLength()));
    return CString(shown, static_cast<int>(leadLength) + text.GetLength());
}

CString COsprelReaders::GetRegisteredOrganization() { return ReadText(fields::kRegisteredOrganization); }
CString COsprelReaders::GetRegisteredOwner() { return ReadText(fields::kRegisteredOwner); }
CString COsprelReaders::GetSystemRoot() { return ReadText(fields::kSystemRoot); }
CString COsprelReaders::GetPlusVersion() { return ReadText(fields::kPlusVersion); }
CString COsprelReaders::GetProcessorType() { return ReadText(fields::kProcessorType); }
CString COsprelReaders::GetSourcePath() { return ReadText(fields::kSourcePath); }
