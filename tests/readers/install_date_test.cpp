// The installation date in the machine's own time zone. Natively each zone is
// set in turn; under Wine the zone is fixed when the process starts, so ctest
// runs this executable once per zone and only that zone's rows apply.
#include "readers/fields.h"
#include "tests/support/registry_fixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace {

struct ZoneCase {
    const char* zone;
    std::uint32_t secondsSince1970;
    const char* shown;
};

const ZoneCase kZones[] = {
    {"UTC", 889261500, "07 March 1998, 09:05:00"},
    {"Asia/Tokyo", 889261500, "07 March 1998, 18:05:00"},
    {"Asia/Tokyo", 889229100, "07 March 1998, 09:05:00"},
    {"America/New_York", 889261500, "07 March 1998, 04:05:00"},
    {"America/New_York", 1719835200, "01 July 2024, 08:00:00"},   // daylight saving
    {"Asia/Tokyo", 1719835200, "01 July 2024, 21:00:00"},
    {"UTC", 1719835200, "01 July 2024, 12:00:00"},
};

std::string CurrentZone()
{
    const char* tz = std::getenv("TZ");
    return tz ? tz : "";
}

// Makes `zone` the machine's zone if this process can; says whether it is.
bool EnterZone(const std::string& zone)
{
#ifdef _WIN32
    return zone == CurrentZone();   // fixed when the process started
#else
    setenv("TZ", zone.c_str(), 1);
    tzset();
    return true;
#endif
}

TEST(InstallDateZones, LocalTimeOfTheMachine)
{
    const std::string startZone = CurrentZone();
    int checked = 0;
    for (const ZoneCase& c : kZones) {
        if (!EnterZone(c.zone))
            continue;
        SetReaderValues({Date(Dword(c.secondsSince1970))});
        EXPECT_EQ(std::string(COsprelReaders::GetInstallDate()), c.shown) << c.zone;
        ++checked;
    }
    EnterZone(startZone);
    if (checked == 0)
        GTEST_SKIP() << "no rows for TZ=" << startZone;
}

} // namespace
