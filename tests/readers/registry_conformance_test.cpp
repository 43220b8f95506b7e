// What the readers rely on from the registry functions, checked on both
// registries: the in-memory one is trusted only as far as it agrees with the
// real one. One table of query cases, then the handle rules.
#include "readers/registry_key.h"
#include "tests/support/registry_fixture.h"

#include <gtest/gtest.h>

namespace {

struct QueryCase {
    const char* name;
    std::string stored;     // REG_BINARY data of "RegisteredOwner"; empty name = missing
    bool present;
    DWORD offered;          // room offered; 0 with `withBuffer` false asks for the size only
    bool withBuffer;
    LONG result;
    DWORD sizeOut;
};

const QueryCase kQueries[] = {
    {"Missing", "", false, 255, true, ERROR_FILE_NOT_FOUND, 255},
    {"Fits", "abc", true, 255, true, ERROR_SUCCESS, 3},
    {"ExactlyFits", std::string(255, 'x'), true, 255, true, ERROR_SUCCESS, 255},
    {"OneTooMany", std::string(256, 'x'), true, 255, true, ERROR_MORE_DATA, 256},
    {"FourOfFive", "12345", true, 4, true, ERROR_MORE_DATA, 5},
    {"Empty", "", true, 255, true, ERROR_SUCCESS, 0},
    {"SizeOnly", std::string(300, 'x'), true, 0, false, ERROR_SUCCESS, 300},
};

// The view the program reads: on 64-bit Windows a 32-bit test would
// otherwise see the copy of HKLM\SOFTWARE kept for 32-bit programs.
constexpr REGSAM kMachineView = KEY_WOW64_64KEY;

class RegistryQueries : public testing::TestWithParam<QueryCase> {};

TEST_P(RegistryQueries, ResultAndSizeAsOnWindows)
{
    const QueryCase& c = GetParam();
    SetReaderValues(c.present ? std::vector<RegValue>{{RegKey::CurrentVersion, "RegisteredOwner", REG_BINARY, c.stored}}
                              : std::vector<RegValue>{});
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, KeyPath(CV), 0, KEY_QUERY_VALUE | kMachineView, &key), ERROR_SUCCESS);
    BYTE buffer[512] = {};
    DWORD type = REG_SZ;   // what the caller expects is no filter: the stored type comes back
    DWORD size = c.offered;
    EXPECT_EQ(RegQueryValueExA(key, "RegisteredOwner", nullptr, &type, c.withBuffer ? buffer : nullptr, &size), c.result);
    if (c.result != ERROR_FILE_NOT_FOUND) {
        EXPECT_EQ(size, c.sizeOut);
    }
    if (c.result == ERROR_SUCCESS) {
        EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
        if (c.withBuffer) {
            EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), size), c.stored);
        }
    }
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

INSTANTIATE_TEST_SUITE_P(Registry, RegistryQueries, testing::ValuesIn(kQueries),
                         [](const testing::TestParamInfo<QueryCase>& info) { return info.param.name; });

TEST(RegistryHandles, EmptyAndClosedHandlesFail)
{
    SetReaderValues({Text(CV, "RegisteredOwner", "x")});
    BYTE buffer[16];
    DWORD size = sizeof buffer;
    EXPECT_EQ(RegQueryValueExA(nullptr, "RegisteredOwner", nullptr, nullptr, buffer, &size), ERROR_INVALID_HANDLE);

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, KeyPath(CV), 0, KEY_QUERY_VALUE | kMachineView, &key), ERROR_SUCCESS);
    ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    size = sizeof buffer;
    EXPECT_EQ(RegQueryValueExA(key, "RegisteredOwner", nullptr, nullptr, buffer, &size), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
}

TEST(RegistryHandles, MissingKeyLeavesHandleEmpty)
{
    HKEY key = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Osprel\\No Such Key", 0, KEY_QUERY_VALUE, &key),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);
}

// Neither another right nor the choice of view grants query access.
TEST(RegistryHandles, QueryNeedsQueryAccess)
{
    SetReaderValues({Text(CV, "RegisteredOwner", "x")});
    for (const REGSAM access : {KEY_SET_VALUE | kMachineView, kMachineView}) {
        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, KeyPath(CV), 0, access, &key), ERROR_SUCCESS);
        BYTE buffer[16];
        DWORD size = sizeof buffer;
        EXPECT_EQ(RegQueryValueExA(key, "RegisteredOwner", nullptr, nullptr, buffer, &size), ERROR_ACCESS_DENIED)
            << access;
        RegCloseKey(key);
    }
}

} // namespace
