// The platform-neutral half of the registry fixture.
#include "tests/support/registry_fixture.h"

#include "readers/fields.h"

#include <algorithm>
#include <cstring>

std::string Sz(const std::string& text)
{
    return text + '\0';
}

std::string Dword(std::uint32_t value)
{
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>(value >> (8 * i));
    return bytes;
}

std::string MultiSz(const std::vector<std::string>& items)
{
    std::string list;
    for (const std::string& item : items)
        list += item + '\0';
    return list + '\0';
}

RegValue Utf16Text(RegKey key, const std::string& name, const std::wstring& text)
{
    std::string bytes;
    for (const wchar_t c : text + L'\0')
        bytes += {static_cast<char>(c & 0xFF), static_cast<char>((c >> 8) & 0xFF)};
    return {key, name, 1 /* REG_SZ */, bytes, true};
}

RegValue Text(RegKey key, const std::string& name, const std::string& text)
{
    return {key, name, kSz, Sz(text)};
}

RegValue Date(const std::string& bytes, unsigned long type)
{
    return {CV, "InstallDate", type, bytes};
}

RegValue Revision(const std::string& bytes, unsigned long type)
{
    return {CV, "UBR", type, bytes};
}

RegValue ProductType(const std::string& text)
{
    return Text(PO, "ProductType", text);
}

RegValue Suites(const std::vector<std::string>& items)
{
    return {PO, "ProductSuite", kMultiSz, MultiSz(items)};
}

const std::vector<RegValue>& FullRegistry()
{
    static const std::vector<RegValue> values = {
        Text(CV, "CurrentVersion", "4.0"),
        Text(CV, "ProductName", "Osprel Test Edition"),
        Text(CV, "CurrentBuildNumber", "1381"),
        Revision(Dword(5247)),
        Text(CV, "CSDVersion", "Service Pack 6"),
        Text(CV, "DisplayVersion", "22H2"),
        Text(CV, "ReleaseId", "2009"),
        Text(CV, "Plus! VersionNumber", "IE 5 6.0"),
        Text(CV, "CurrentType", "Uniprocessor Free"),
        Text(CV, "RegisteredOrganization", "Test Organisation"),
        Text(CV, "RegisteredOwner", "Test Owner"),
        Date(Dword(889261500)),
        Text(CV, "SourcePath", "D:\\I386"),
        Text(CV, "SystemRoot", "C:\\WINNT"),
        ProductType("LanmanNT"),
        Suites({"Small Business"}),
    };
    return values;
}

const std::map<std::string, std::string>& FullRegistryTexts()
{
    static const std::map<std::string, std::string> texts = {
        {"VersionText", "Osprel Test Edition"},
        {"BuildNumber", "1381.5247"},
        {"ServicePack", "Service Pack 6"},
        {"PlusVersion", "IE 5 6.0"},
        {"ProcessorType", "Uniprocessor Free"},
        {"ProductType", "Windows NT Domain Controller"},
        {"RegisteredOrganization", "Test Organisation"},
        {"RegisteredOwner", "Test Owner"},
        {"InstallDate", "07 March 1998, 09:05:00"},
        {"SourcePath", "D:\\I386"},
        {"SystemRoot", "C:\\WINNT"},
    };
    return texts;
}

// Written out here, not taken from the readers' table, so that a fallback
// misspelt there (one letter's case is enough) fails.
const std::map<std::string, std::string>& FallbackTexts()
{
    static const std::map<std::string, std::string> texts = {
        {"VersionText", "Not available"},
        {"BuildNumber", "Not available"},
        {"ServicePack", "Not available"},
        {"PlusVersion", "Not Available"},
        {"ProcessorType", "Not available"},
        {"ProductType", "Unable to calculate"},
        {"RegisteredOrganization", "Not available"},
        {"RegisteredOwner", "Not available"},
        {"InstallDate", "Unable to calculate"},
        {"SourcePath", "Not available"},
        {"SystemRoot", "Not available"},
    };
    return texts;
}

const char* KeyPath(RegKey key)
{
    return key == RegKey::CurrentVersion ? fields::kCurrentVersionKey : fields::kProductOptionsKey;
}

const std::vector<RegValue>& ReaderValueNames()
{
    static const std::vector<RegValue> names = [] {
        std::vector<RegValue> all;
        for (const Field* field : kFields) {
            const RegKey key = std::strcmp(field->key, fields::kCurrentVersionKey) == 0 ? RegKey::CurrentVersion
                                                                                       : RegKey::ProductOptions;
            for (const char* name : field->values) {
                const auto same = [name](const RegValue& v) { return v.name == name; };
                if (name && std::none_of(all.begin(), all.end(), same))
                    all.push_back({key, name, 0, {}});
            }
        }
        return all;
    }();
    return names;
}
