// The readers of the CurrentVersion key: one open, one or two queries and one
// close each (three for the version of a Windows 10 product name).
#include "readers/field_readers.h"

#include "afx/datetime.h"
#include "readers/fields.h"
#include "readers/registry_key.h"

#include <cstring>
#include <string>

namespace {

CString ReadText(const Field& field)
{
    return COsprelReaders::ReadRegistryText(field.values[0], field.fallback);
}

bool IsBlank(char c)
{
    return c == ' ';
}

constexpr char kWindows10[] = "Windows 10";
constexpr char kWindows11[] = "Windows 11";

// Where `name` says "Windows 10" as a word of its own, or npos.
std::string::size_type FindWindows10(const std::string& name)
{
    constexpr auto length = sizeof kWindows10 - 1;
    for (auto at = name.find(kWindows10); at != std::string::npos; at = name.find(kWindows10, at + 1)) {
        const bool wordStarts = at == 0 || IsBlank(name[at - 1]);
        const bool wordEnds = at + length == name.size() || IsBlank(name[at + length]);
        if (wordStarts && wordEnds)
            return at;
    }
    return std::string::npos;
}

// Windows 11 builds start at 22000; the last Windows 10 is 19045.
bool IsWindows11Build(const CString& build)
{
    const std::string digits = build.GetString();
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const auto lead = digits.find_first_not_of('0');
    const std::string number = lead == std::string::npos ? "0" : digits.substr(lead);
    return number.size() > 5 || (number.size() == 5 && number >= "22000");
}

} // namespace

CString COsprelReaders::ReadRegistryText(const char* valueName, const char* fallback)
{
    RegistryKey key(fields::kCurrentVersionKey);
    CString text;
    return key.QueryText(valueName, REG_SZ, text) ? text : CString(fallback);
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
    key.QueryText(field.values[0], REG_SZ, text);
    if (!key.QueryText(field.values[1], REG_SZ, text))
        return text;
    std::string name(text.GetString(), static_cast<std::size_t>(text.GetLength()));
    const auto at = FindWindows10(name);
    CString build;
    if (at == std::string::npos || !key.QueryText(field.values[2], REG_SZ, build) || !IsWindows11Build(build))
        return text;
    name.replace(at, std::strlen(kWindows10), kWindows11);
    return CString(name.data(), static_cast<int>(name.size()));
}

CString COsprelReaders::GetRegisteredOrganization() { return ReadText(fields::kRegisteredOrganization); }
CString COsprelReaders::GetRegisteredOwner() { return ReadText(fields::kRegisteredOwner); }
CString COsprelReaders::GetBuildNumber() { return ReadText(fields::kBuildNumber); }
CString COsprelReaders::GetSystemRoot() { return ReadText(fields::kSystemRoot); }
CString COsprelReaders::GetPlusVersion() { return ReadText(fields::kPlusVersion); }
CString COsprelReaders::GetServicePack() { return ReadText(fields::kServicePack); }
CString COsprelReaders::GetProcessorType() { return ReadText(fields::kProcessorType); }
CString COsprelReaders::GetSourcePath() { return ReadText(fields::kSourcePath); }
