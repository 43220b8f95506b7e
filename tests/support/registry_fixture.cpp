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
