// The product type line: the kind of installation from "ProductType", which
// the first product suite installed may replace with the edition's name.
#include "readers/field_readers.h"

#include "readers/fields.h"
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

constexpr Naming kSuites[] = {
    {"Terminal Server", "Windows Terminal Server Edition"},
    {"Enterprise", "Windows NT Enterprise Edition"},
};

// The first naming whose leading characters `text` begins with, or `text`.
template <size_t N>
CString Named(const CString& text, const Naming (&namings)[N], const CString& otherwise)
{
    for (const Naming& naming : namings) {
        if (std::strncmp(text, naming.leading, std::strlen(naming.leading)) == 0)
            return naming.shown;
    }
    return otherwise;
}

} // namespace

CString COsprelReaders::GetProductType()
{
    const Field& field = fields::kProductType;
    RegistryKey key(field.key);
    CString productType;
    if (!key.QueryText(field.values[0], productType))
        return field.fallback;
    CString shown = Named(productType, kProductTypes, productType);   // not const: returned by move

    // Only the first text of the list counts: QueryText stops at its zero byte.
    CString firstSuite;
    if (!key.QueryText(field.values[1], firstSuite))
        return shown;
    return Named(firstSuite, kSuites, shown);
}
