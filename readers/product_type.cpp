// The product type line: the kind of installation from "ProductType", which
// the first product suite installed may replace with the edition's name.
#include "readers/fields.h"

#include "readers/decimal.h"
#include "readers/registry_key.h"

#include <cstring>

namespace {

struct Naming {
    const char* leading;   // compared case-sensitively, over its whole length
    const char* shown;
};

constexpr Naming kProductTypes[] = {
    {"WinNT", "Windows NT Workstation"},
    {"ServerNT", "Windows NT Server"},
    {"LanmanNT", "Windows NT Domain Controller"},
};

constexpr Naming kTerminalServer = {"Terminal Server", "Windows Terminal Server Edition"};
constexpr Naming kEnterprise = {"Enterprise", "Windows NT Enterprise Edition"};

bool Leads(const char* text, const Naming& naming)
{
    return std::strncmp(text, naming.leading, std::strlen(naming.leading)) == 0;
}

// The first naming whose leading characters `text` begins with, or `text`.
template <size_t N>
CString Named(const CString& text, const Naming (&namings)[N])
{
    for (const Naming& naming : namings) {
        if (Leads(text, naming))
            return naming.shown;
    }
    return text;
}

// Whether a version number such as "4.0" or "3.51" names Windows NT 4.0 or
// older: its whole number, the digits up to the first dot or the end, is
// below 5. Anything that is not such a number is no old version.
bool IsBeforeWindows2000(const char* version)
{
    const char* dot = std::strchr(version, '.');
    const char* end = dot ? dot : version + std::strlen(version);
    return decimal::IsNumber(version, end) && !decimal::AtLeast(version, end, "5");
}

// Since Windows 2000 every Windows lists the "Terminal Server" suite, which
// is part of every edition; only on NT 4.0 and older did it name a product
// of its own. The version number is the one the version line reads.
bool IsTerminalServerEdition()
{
    const Field& version = fields::kVersionText;
    const RegistryKey key(version.key);
    CString number;
    return key.QueryText(version.values[0], number) && IsBeforeWindows2000(number);
}

} // namespace

CString COsprelReaders::GetProductType()
{
    const Field& field = fields::kProductType;
    RegistryKey key(field.key);
    CString productType;
    if (!key.QueryText(field.values[0], productType))
        return field.fallback;
    CString shown = Named(productType, kProductTypes);   // not const: returned by move

    // Only the first text of the list counts: QueryText stops at its zero byte.
    CString firstSuite;
    if (!key.QueryText(field.values[1], firstSuite))
        return shown;
    if (Leads(firstSuite, kTerminalServer))
        return IsTerminalServerEdition() ? CString(kTerminalServer.shown) : shown;
    if (Leads(firstSuite, kEnterprise))
        return kEnterprise.shown;
    return shown;
}
