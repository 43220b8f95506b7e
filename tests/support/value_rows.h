// The readers by name, with their fallback texts, for tables of cases.
#pragma once

#include "readers/field_readers.h"

#include <string>
#include <vector>

struct Reader {
    const char* name;
    CString (*read)();
    const char* fallback;
};

inline const std::vector<Reader>& AllReaders()
{
    static const std::vector<Reader> readers = {
        {"InstallDate", &COsprelReaders::GetInstallDate, "Unable to calculate"},
        {"RegisteredOrganization", &COsprelReaders::GetRegisteredOrganization, "Not available"},
        {"RegisteredOwner", &COsprelReaders::GetRegisteredOwner, "Not available"},
        {"BuildNumber", &COsprelReaders::GetBuildNumber, "Not available"},
        {"SystemRoot", &COsprelReaders::GetSystemRoot, "Not available"},
        {"VersionText", &COsprelReaders::GetVersionText, "Not available"},
        {"PlusVersion", &COsprelReaders::GetPlusVersion, "Not Available"},
        {"ServicePack", &COsprelReaders::GetServicePack, "Not available"},
        {"ProcessorType", &COsprelReaders::GetProcessorType, "Not available"},
        {"ProductType", &COsprelReaders::GetProductType, "Unable to calculate"},
        {"SourcePath", &COsprelReaders::GetSourcePath, "Not available"},
    };
    return readers;
}
