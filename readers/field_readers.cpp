// The readers of the CurrentVersion key: one open, one or two queries and one
// close each.
#include "readers/field_readers.h"

#include "afx/datetime.h"
#include "readers/registry_key.h"

namespace {

constexpr char kCurrentVersionKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr char kNotAvailable[] = "Not available";
constexpr char kUnableToCalculate[] = "Unable to calculate";

} // namespace

CString COsprelReaders::ReadRegistryText(const char* valueName, const char* fallback)
{
    RegistryKey key(kCurrentVersionKey);
    CString text;
    return key.QueryText(valueName, REG_SZ, text) ? text : CString(fallback);
}

// "InstallDate" counts seconds since 1970 as an unsigned 32-bit number, so
// dates run to 2106; read as signed, every date from 2038 on would be lost.
CString COsprelReaders::GetInstallDate()
{
    RegistryKey key(kCurrentVersionKey);
    std::uint32_t secondsSince1970 = 0;
    if (!key.QueryDword("InstallDate", secondsSince1970))
        return kUnableToCalculate;
    const COleDateTime installed(static_cast<std::int64_t>(secondsSince1970));
    if (installed.GetStatus() != COleDateTime::valid)
        return kUnableToCalculate;
    return installed.Format("%d %B %Y, %H:%M:%S");
}

// The product name, when the registry has one, stands for the version number.
CString COsprelReaders::GetVersionText()
{
    RegistryKey key(kCurrentVersionKey);
    CString text = kNotAvailable;
    key.QueryText("CurrentVersion", REG_SZ, text);
    key.QueryText("ProductName", REG_SZ, text);
    return text;
}

CString COsprelReaders::GetRegisteredOrganization() { return ReadRegistryText("RegisteredOrganization", kNotAvailable); }
CString COsprelReaders::GetRegisteredOwner() { return ReadRegistryText("RegisteredOwner", kNotAvailable); }
CString COsprelReaders::GetBuildNumber() { return ReadRegistryText("CurrentBuildNumber", kNotAvailable); }
CString COsprelReaders::GetSystemRoot() { return ReadRegistryText("SystemRoot", kNotAvailable); }
CString COsprelReaders::GetPlusVersion() { return ReadRegistryText("Plus! VersionNumber", "Not Available"); }
CString COsprelReaders::GetServicePack() { return ReadRegistryText("CSDVersion", kNotAvailable); }
CString COsprelReaders::GetProcessorType() { return ReadRegistryText("CurrentType", kNotAvailable); }
CString COsprelReaders::GetSourcePath() { return ReadRegistryText("SourcePath", kNotAvailable); }
