// The platform-neutral half of the registry fixture.
#include "tests/support/registry_fixture.h"

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

const char* KeyPath(RegKey key)
{
    return key == RegKey::CurrentVersion ? "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"
                                         : "SYSTEM\\CurrentControlSet\\Control\\ProductOptions";
}

const std::vector<RegValue>& ReaderValueNames()
{
    static const std::vector<RegValue> names = [] {
        std::vector<RegValue> all;
        for (const char* name : {"InstallDate", "RegisteredOrganization", "RegisteredOwner",
                                 "CurrentBuildNumber", "SystemRoot", "CurrentVersion", "ProductName",
                                 "Plus! VersionNumber", "CSDVersion", "CurrentType", "SourcePath"})
            all.push_back({RegKey::CurrentVersion, name, 0, {}});
        for (const char* name : {"ProductType", "ProductSuite"})
            all.push_back({RegKey::ProductOptions, name, 0, {}});
        return all;
    }();
    return names;
}
