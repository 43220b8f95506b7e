// The eleven facts Osprel shows, each with its reader, the registry values
// that reader queries, what kind of value it shows and the text it gives
// when the value cannot be read. The readers take their value names and
// fallback texts from here; the dialog, the tests, the fuzzer and the bench
// take the list.
#pragma once

#include "readers/field_readers.h"

#include <array>

enum class FieldKind {
    Text,          // one text value, shown as it is read
    Build,         // the build number, then a dot and the revision (a 32-bit count) where there is one
    ServicePack,   // the service pack, else "Version " and the first feature update name that is not empty
    Date,          // a count of seconds since 1970, shown as a local date
    Version,       // the product name, else the version number
    ProductType,   // the product type, named, or the edition its first suite names
};

struct Field {
    const char* name;   // the reader's name without its "Get"
    CString (*read)();
    const char* key;    // below HKEY_LOCAL_MACHINE
    std::array<const char*, 3> values;   // the values the reader may query, in order
    FieldKind kind;
    const char* fallback;
};

namespace fields {

inline constexpr char kCurrentVersionKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
inline constexpr char kProductOptionsKey[] = "SYSTEM\\CurrentControlSet\\Control\\ProductOptions";
inline constexpr char kNotAvailable[] = "Not available";
inline constexpr char kUnableToCalculate[] = "Unable to calculate";

using R = COsprelReaders;
using K = FieldKind;

inline constexpr Field kInstallDate{"InstallDate", &R::GetInstallDate, kCurrentVersionKey,
                                    {"InstallDate"}, K::Date, kUnableToCalculate};
inline constexpr Field kRegisteredOrganization{"RegisteredOrganization", &R::GetRegisteredOrganization,
                                               kCurrentVersionKey, {"RegisteredOrganization"}, K::Text,
                                               kNotAvailable};
inline constexpr Field kRegisteredOwner{"RegisteredOwner", &R::GetRegisteredOwner, kCurrentVersionKey,
                                        {"RegisteredOwner"}, K::Text, kNotAvailable};
// Windows 10 and later count their monthly updates in the build's revision.
inline constexpr Field kBuildNumber{"BuildNumber", &R::GetBuildNumber, kCurrentVersionKey,
                                    {"CurrentBuildNumber", "UBR"}, K::Build, kNotAvailable};
inline constexpr Field kSystemRoot{"SystemRoot", &R::GetSystemRoot, kCurrentVersionKey, {"SystemRoot"},
                                   K::Text, kNotAvailable};
// The build number only tells Windows 11 from the Windows 10 its product name claims.
inline constexpr Field kVersionText{"VersionText", &R::GetVersionText, kCurrentVersionKey,
                                    {"CurrentVersion", "ProductName", "CurrentBuildNumber"}, K::Version,
                                    kNotAvailable};
inline constexpr Field kPlusVersion{"PlusVersion", &R::GetPlusVersion, kCurrentVersionKey,
                                    {"Plus! VersionNumber"}, K::Text, "Not Available"};
// Windows 10 and later have no service packs: they name their feature update
// ("22H2"), before version 20H2 by its release alone ("1809"), which later
// ones keep at "2009".
inline constexpr Field kServicePack{"ServicePack", &R::GetServicePack, kCurrentVersionKey,
                                    {"CSDVersion", "DisplayVersion", "ReleaseId"}, K::ServicePack, kNotAvailable};
inline constexpr Field kProcessorType{"ProcessorType", &R::GetProcessorType, kCurrentVersionKey,
                                      {"CurrentType"}, K::Text, kNotAvailable};
// A first suite of "Terminal Server" also reads the version number (the
// version line's first value, in its key): only before Windows 2000 did that
// suite name an edition of its own.
inline constexpr Field kProductType{"ProductType", &R::GetProductType, kProductOptionsKey,
                                    {"ProductType", "ProductSuite"}, K::ProductType, kUnableToCalculate};
inline constexpr Field kSourcePath{"SourcePath", &R::GetSourcePath, kCurrentVersionKey, {"SourcePath"},
                                   K::Text, kNotAvailable};

} // namespace fields

// Every field.
inline constexpr std::array<const Field*, 11> kFields = {
    &fields::kInstallDate,   &fields::kRegisteredOrganization, &fields::kRegisteredOwner,
    &fields::kBuildNumber,   &fields::kSystemRoot,             &fields::kVersionText,
    &fields::kPlusVersion,   &fields::kServicePack,            &fields::kProcessorType,
    &fields::kProductType,   &fields::kSourcePath,
};
