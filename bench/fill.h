// One fill of the main dialog's value lines, without the dialog: every
// reader once, in the order the dialog calls them, each text kept as the
// dialog would keep it until the next reader runs.
#pragma once

#include "readers/field_readers.h"

#include <array>
#include <iterator>

namespace bench {

using FillTexts = std::array<CString, 11>;

using Reader = CString (*)();

// The readers in the dialog's order, with the names the reports give them.
struct NamedReader {
    const char* name;
    Reader read;
};

inline constexpr NamedReader kFillOrder[] = {
    {"InstallDate", &COsprelReaders::GetInstallDate},
    {"RegisteredOrganization", &COsprelReaders::GetRegisteredOrganization},
    {"RegisteredOwner", &COsprelReaders::GetRegisteredOwner},
    {"BuildNumber", &COsprelReaders::GetBuildNumber},
    {"SystemRoot", &COsprelReaders::GetSystemRoot},
    {"VersionText", &COsprelReaders::GetVersionText},
    {"PlusVersion", &COsprelReaders::GetPlusVersion},
    {"ServicePack", &COsprelReaders::GetServicePack},
    {"ProcessorType", &COsprelReaders::GetProcessorType},
    {"ProductType", &COsprelReaders::GetProductType},
    {"SourcePath", &COsprelReaders::GetSourcePath},
};
static_assert(std::size(kFillOrder) == std::tuple_size<FillTexts>::value);

inline void FillOnce(FillTexts& texts)
{
    for (size_t i = 0; i < texts.size(); ++i)
        texts[i] = kFillOrder[i].read();
}

} // namespace bench
