// Local time on Windows through the kernel's time-zone functions, which apply
// the zone's daylight-saving rules for the date's own year. The C runtime's
// localtime is not used: under Wine it ignores the host's TZ.
#include "afx/datetime.h"

#include <windows.h>

namespace {

constexpr std::int64_t kTicksPerSecond = 10000000;          // FILETIME counts 100 ns
constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;

int DayOfYear(const SYSTEMTIME& t)
{
    static const int kDaysBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    const int y = t.wYear;
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return kDaysBefore[t.wMonth - 1] + t.wDay - 1 + (leap && t.wMonth > 2 ? 1 : 0);
}

} // namespace

bool afx::ToLocalTime(std::int64_t secondsSince1970, std::tm& local)
{
    if (secondsSince1970 < -kSecondsFrom1601To1970)
        return false;
    const std::uint64_t ticks =
        static_cast<std::uint64_t>(secondsSince1970 + kSecondsFrom1601To1970) * kTicksPerSecond;
    FILETIME utcFile{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME utc, wall;
    if (!FileTimeToSystemTime(&utcFile, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &wall))
        return false;

    local = std::tm{};
    local.tm_year = wall.wYear - 1900;
    local.tm_mon = wall.wMonth - 1;
    local.tm_mday = wall.wDay;
    local.tm_hour = wall.wHour;
    local.tm_min = wall.wMinute;
    local.tm_sec = wall.wSecond;
    local.tm_wday = wall.wDayOfWeek;
    local.tm_yday = DayOfYear(wall);
    local.tm_isdst = -1;
    return true;
}
