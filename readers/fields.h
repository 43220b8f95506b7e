// The eleven facts Osprel shows: their readers, and for each fact its name,
// the reader that gives its text, the registry values that reader queries
// and the text it gives when the value cannot be read. The readers take their
// value names and fallback texts from here; the dialog, the tests, the fuzzer
// and the bench take the list.
#pragma once

#include "afx/cstring.h"

#include <array>

// The readers: each reads the local machine's registry afresh and turns what
// it finds into its display text. A reader never fails outward: a value that
// cannot be read gives the field's fixed fallback text. Every reader opens its
// key for query only and closes it before it returns.
//
// They use no state, so they live in a base class of their own: the main
// dialog derives from it, and the host build (no window system) uses it
// directly.
class COsprelReaders {
public:
    static CString GetInstallDate();
    static CString GetRegisteredOrganization();
    static CString GetRegisteredOwner();
    static CString GetBuildNumber();
    static CString GetSystemRoot();
    static CString GetVersionText();
    static CString GetPlusVersion();
    static CString GetServicePack();
    static CString GetProcessorType();
    static CString GetSourcePath();
    static CString GetProductType();   // product_type.cpp

    // One text value of `key` (below HKEY_LOCAL_MACHINE), or `fallback`.
    static CString ReadRegistryText(const char* key, const char* valueName, const char* fallback);
};

struct Field {
    const char* name;   // the reader's name without its "Get"
    CString (*read)();
    const char* key;    // below HKEY_LOCAL_MACHINE
    std::array<const char*, 3> values;   // the values the reader may query, in order
    const char* fallback;
};

namespace fields {

inline constexpr char kCurrentVersionKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
inline constexpr char kProductOptionsKey[] = "SYSTEM\\CurrentControlSet\\Control\\ProductOptions";
inline constexpr char kNotAvailable[] = "Not available";
inline constexpr char kUnableToCalculate[] = "Unable to calculate";

using R = COsprelReaders;

// A count of seconds since 1970, shown as a local date.
inline constexpr Field kInstallDate{"InstallDate", &R::GetInstallDate, kCurrentVersionKey, {"InstallDate"},
                                    kUnableToCalculate};
inline constexpr Field kRegisteredOrganization{"RegisteredOrganization", &R::GetRegisteredOrganization,
                                               kCurrentVersionKey, {"RegisteredOrganization"}, kNotAvailable};
inline constexpr Field kRegisteredOwner{"RegisteredOwner", &R::GetRegisteredOwner, kCurrentVersionKey,
                                        {"RegisteredOwner"}, kNotAvailable};
// Windows 10 and later count their monthly updates in the build's revision.
inline constexpr Field kBuildNumber{"BuildNumber", &R::GetBuildNumber, kCurrentVersionKey,
                                    {"CurrentBuildNumber", "UBR"}, kNotAvailable};
inline constexpr Field kSystemRoot{"SystemRoot", &R::GetSystemRoot, kCurrentVersionKey, {"SystemRoot"},
                                   kNotAvailable};
// The product name, else the version number. The build number only tells
// Windows 11 from the Windows 10 its product name claims.
inline constexpr Field kVersionText{"VersionText", &R::GetVersionText, kCurrentVersionKey,
                                    {"CurrentVersion", "ProductName", "CurrentBuildNumber"}, kNotAvailable};
inline constexpr Field kPlusVersion{"PlusVersion", &R::GetPlusVersion, kCurrentVersionKey,
                                    {"Plus! VersionNumber"}, "Not Available"};
// Windows 10 and later have no service packs: they name their feature update
// ("22H2"), before version 20H2 by its release alone ("1809"), which later
// ones keep at "2009".
inline constexpr Field kServicePack{"ServicePack", &R::GetServicePack, kCurrentVersionKey,
                                    {"CSDVersion", "DisplayVersion", "ReleaseId"}, kNotAvailable};
inline constexpr Field kProcessorType{"ProcessorType", &R::GetProcessorType, kCurrentVersionKey,
                                      {"CurrentType"}, kNotAvailable};
// A first suite of "Terminal Server" also reads the version number (the
// version line's first value, in its key): only before Windows 2000 did that
// suite name an edition of its own.
inline constexpr Field kProductType{"ProductType", &R::GetProductType, kProductOptionsKey,
                                    {"ProductType", "ProductSuite"}, kUnableToCalculate};
inline constexpr Field kSourcePath{"SourcePath", &R::GetSourcePath, kCurrentVersionKey, {"SourcePath"},
                                   kNotAvailable};

} // namespace fields

// Every field, in the order the dialog fills its rows.
inline constexpr std::array<const Field*, 11> kFields = {
    &fields::kInstallDate,   &fields::kRegisteredOrganization, &fields::kRegisteredOwner,
    &fields::kBuildNumber,   &fields::kSystemRoot,             &fields::kVersionText,
    &fields::kPlusVersion,   &fields::kServicePack,            &fields::kProcessorType,
    &fields::kProductType,   &fields::kSourcePath,
};
