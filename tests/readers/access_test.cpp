// What the in-memory registry alone can see: every reader asks for query
// access only, leaves no key open, and costs one open, one to three queries
// and one close.
#include "memreg/mem_registry.h"
#include "readers/fields.h"
#include "tests/support/registry_fixture.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace {

TEST(ReaderAccess, QueryOnlyAndNothingLeftOpen)
{
    for (bool full : {true, false}) {
        for (const Field* reader : kFields) {
            SetReaderValues(full ? FullRegistry() : std::vector<RegValue>{});
            reader->read();
            ASSERT_EQ(memreg::Opens().size(), 1u) << reader->name;
            EXPECT_EQ(memreg::Opens()[0].access, KEY_QUERY_VALUE) << reader->name;
            EXPECT_EQ(memreg::OpenHandleCount(), 0u) << reader->name;
        }
    }
}

TEST(ReaderAccess, MissingKeysOpenNothingToClose)
{
    SetReaderValues({});
    RemoveKey(RegKey::CurrentVersion);
    RemoveKey(RegKey::ProductOptions);
    for (const Field* reader : kFields)
        reader->read();
    EXPECT_EQ(memreg::GetCounters().closes, 0u);
    EXPECT_EQ(memreg::OpenHandleCount(), 0u);
}

// Filling the dialog on a full registry: eleven opens, fourteen queries (the
// version, the build and the product type read two values each), eleven
// closes.
TEST(ReaderAccess, OneFillCostsElevenOpensFourteenQueriesElevenCloses)
{
    SetReaderValues(FullRegistry());
    for (const Field* reader : kFields)
        reader->read();
    const memreg::Counters counters = memreg::GetCounters();
    EXPECT_EQ(counters.opens, 11u);
    EXPECT_EQ(counters.queries, 14u);
    EXPECT_EQ(counters.closes, 11u);
}

// The build and the service pack stop at the first value that gives their text.
TEST(ReaderAccess, QueriesEndWithTheValueThatGivesTheText)
{
    struct Case {
        const char* name;
        CString (*read)();
        std::vector<RegValue> values;
        unsigned queries;
    };
    const RegValue revision = Revision(Dword(5247));
    const Case cases[] = {
        {"no build, no revision asked for", &COsprelReaders::GetBuildNumber, {revision}, 1},
        {"an empty build, no revision asked for", &COsprelReaders::GetBuildNumber,
         {Text(CV, "CurrentBuildNumber", ""), revision}, 1},
        {"a build and its revision", &COsprelReaders::GetBuildNumber, {Text(CV, "CurrentBuildNumber", "19045"), revision}, 2},
        {"a service pack", &COsprelReaders::GetServicePack,
         {Text(CV, "CSDVersion", "Service Pack 1"), Text(CV, "DisplayVersion", "22H2"), Text(CV, "ReleaseId", "2009")}, 1},
        {"a feature update", &COsprelReaders::GetServicePack,
         {Text(CV, "DisplayVersion", "22H2"), Text(CV, "ReleaseId", "2009")}, 2},
        {"a release", &COsprelReaders::GetServicePack, {Text(CV, "ReleaseId", "1809")}, 3},
    };
    for (const Case& c : cases) {
        SetReaderValues(c.values);
        c.read();
        EXPECT_EQ(memreg::GetCounters().queries, c.queries) << c.name;
    }
}

// The version asks for the build number only when its product name could be
// Windows 11's.
TEST(ReaderAccess, VersionQueriesTheBuildOnlyForWindows10)
{
    for (const auto& [productName, queries] : {std::pair{"Windows 10 Pro", 3u}, std::pair{"Windows 8.1 Pro", 2u}}) {
        SetReaderValues({Text(CV, "ProductName", productName), Text(CV, "CurrentBuildNumber", "22631")});
        COsprelReaders::GetVersionText();
        EXPECT_EQ(memreg::GetCounters().queries, queries) << productName;
    }
}

// The product type opens the version's key, for query only and closed again,
// only when the first suite is "Terminal Server".
TEST(ReaderAccess, ProductTypeReadsTheVersionOnlyForTerminalServer)
{
    for (const auto& [suite, keys, queries] : {std::tuple{"Terminal Server", 2u, 3u}, std::tuple{"Enterprise", 1u, 2u}}) {
        SetReaderValues({{RegKey::CurrentVersion, "CurrentVersion", REG_SZ, Sz("4.0")},
                         {RegKey::ProductOptions, "ProductType", REG_SZ, Sz("ServerNT")},
                         {RegKey::ProductOptions, "ProductSuite", REG_MULTI_SZ, MultiSz({suite})}});
        COsprelReaders::GetProductType();
        const memreg::Counters counters = memreg::GetCounters();
        EXPECT_EQ(counters.opens, keys) << suite;
        EXPECT_EQ(counters.queries, queries) << suite;
        EXPECT_EQ(counters.closes, keys) << suite;
        for (const memreg::Access& open : memreg::Opens())
            EXPECT_EQ(open.access, KEY_QUERY_VALUE) << suite;
    }
}

} // namespace
