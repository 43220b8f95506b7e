// The main dialog's value rows in the order the dialog fills them: each
// reader by name, with its fallback text, its value control and the
// placeholder the template gives that control. The tables of cases, the
// fuzzer and the tests of the running program all use this one table.
#pragma once

#include "readers/field_readers.h"
#include "res/resource.h"

#include <vector>

struct ValueRow {
    const char* name;   // the reader's name without its "Get"
    CString (*read)();
    const char* fallback;
    int control;
    const char* templateText;
};

inline const std::vector<ValueRow>& ValueRows()
{
    static const std::vector<ValueRow> rows = {
        {"InstallDate", &COsprelReaders::GetInstallDate, "Unable to calculate", IDC_INSTALL_DATE, "Date"},
        {"RegisteredOrganization", &COsprelReaders::GetRegisteredOrganization, "Not available", IDC_REG_ORG, "Reg Org"},
        {"RegisteredOwner", &COsprelReaders::GetRegisteredOwner, "Not available", IDC_REG_OWNER, "Reg Owner"},
        {"BuildNumber", &COsprelReaders::GetBuildNumber, "Not available", IDC_BUILD, "Build"},
        {"SystemRoot", &COsprelReaders::GetSystemRoot, "Not available", IDC_SYSTEM_ROOT, "System Root"},
        {"VersionText", &COsprelReaders::GetVersionText, "Not available", IDC_VERSION, "Version"},
        {"PlusVersion", &COsprelReaders::GetPlusVersion, "Not Available", IDC_PLUS_VERSION, "Plus Version"},
        {"ServicePack", &COsprelReaders::GetServicePack, "Not available", IDC_SERVICE_PACK, "Service Pack"},
        {"ProcessorType", &COsprelReaders::GetProcessorType, "Not available", IDC_PROCESSOR_TYPE, "Uni"},
        {"ProductType", &COsprelReaders::GetProductType, "Unable to calculate", IDC_PRODUCT_TYPE, "Product Type"},
        {"SourcePath", &COsprelReaders::GetSourcePath, "Not available", IDC_SOURCE_PATH, "Source Path"},
    };
    return rows;
}
