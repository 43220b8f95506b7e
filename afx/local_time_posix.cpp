// Local time on POSIX systems: the C library follows TZ and the zone database.
#include "afx/datetime.h"

bool afx::ToLocalTime(std::int64_t secondsSince1970, std::tm& local)
{
    const std::time_t t = static_cast<std::time_t>(secondsSince1970);
    if (static_cast<std::int64_t>(t) != secondsSince1970)
        return false;
    return localtime_r(&t, &local) != nullptr;
}
