// One table of registry states and the texts every reader must give for them,
// run against the real registry under Wine and against the in-memory one.
// A reader a case does not name must give its fallback text, as the fixture
// spells it out: each value is read by one reader (the build number also by
// the version, for Windows 11), so nothing a case sets may leak into another.
#include "readers/fields.h"
#include "tests/support/registry_fixture.h"

#include <gtest/gtest.h>

#include <map>
#include <utility>

namespace {

struct ReaderCase {
    const char* name;
    std::vector<RegValue> values;
    std::map<std::string, std::string> expected;   // by reader name
};

RegValue Owner(unsigned long type, const std::string& data)
{
    return {CV, "RegisteredOwner", type, data};
}

ReaderCase WindowsName(const char* name, const char* productName, const char* build, const char* shown)
{
    return {name,
            {Text(CV, "CurrentVersion", "6.3"), Text(CV, "ProductName", productName),
             Text(CV, "CurrentBuildNumber", build)},
            {{"VersionText", shown}, {"BuildNumber", build}}};
}

// A build with its revision (UBR) stored as `revision`.
ReaderCase Build(const char* name, const char* build, const std::string& revision, unsigned long type,
                 const std::string& shown)
{
    return {name, {Text(CV, "CurrentBuildNumber", build), Revision(revision, type)}, {{"BuildNumber", shown}}};
}

// The service pack line of a registry without (or with) a service pack.
ReaderCase ServicePack(const char* name, std::vector<RegValue> values, const std::string& shown)
{
    return {name, std::move(values), {{"ServicePack", shown}}};
}

// The product options of a Windows whose version number is `version` (none
// when null), and the product type line they give.
ReaderCase Edition(const char* name, const char* version, const char* type, RegValue suites, const char* shown)
{
    ReaderCase c{name, {ProductType(type), std::move(suites)}, {{"ProductType", shown}}};
    if (version) {
        c.values.push_back(Text(CV, "CurrentVersion", version));
        c.expected["VersionText"] = version;
    }
    return c;
}

const RegValue kEmptySuiteList{PO, "ProductSuite", kMultiSz, std::string(2, '\0')};
const RegValue kTerminalServer = Suites({"Terminal Server"});
const RegValue kTerminalServerDataCenter = Suites({"Terminal Server", "DataCenter"});

// Times are UTC: ctest runs these tests with TZ=UTC.
const ReaderCase kCases[] = {
    {"EveryValueMissing", {}, {}},
    {"FullRegistry", FullRegistry(), FullRegistryTexts()},

    // The version line: the product name wins whenever there is one.
    {"VersionOnly", {Text(CV, "CurrentVersion", "4.0")}, {{"VersionText", "4.0"}}},
    {"VersionAndProductName", {Text(CV, "CurrentVersion", "4.0"), Text(CV, "ProductName", "Example NT")},
     {{"VersionText", "Example NT"}}},
    {"ProductNameOnly", {Text(CV, "ProductName", "Example NT")}, {{"VersionText", "Example NT"}}},
    // A product name that can be read stands for the version number, empty too.
    {"ProductNameEmptyBesideVersion", {Text(CV, "CurrentVersion", "6.3"), Text(CV, "ProductName", "")},
     {{"VersionText", ""}}},

    // Windows 11 keeps the product name of Windows 10: from build 22000 on the
    // first "Windows 10" that is a word of its own names Windows 11.
    WindowsName("Windows11", "Windows 10 Pro", "22631", "Windows 11 Pro"),
    WindowsName("Windows11FirstBuild", "Windows 10 Enterprise", "22000", "Windows 11 Enterprise"),
    WindowsName("Windows11NameEnds", "Microsoft Windows 10", "26100", "Microsoft Windows 11"),
    WindowsName("Windows11Once", "Windows 10 Pro for Windows 10 Workstations", "22621",
                "Windows 11 Pro for Windows 10 Workstations"),
    WindowsName("Windows11LongBuild", "Windows 10 Home", "0000000000000000000000123456", "Windows 11 Home"),
    WindowsName("Windows10LastBuild", "Windows 10 Pro", "19045", "Windows 10 Pro"),
    WindowsName("Windows10BelowFirst11", "Windows 10 Pro", "21999", "Windows 10 Pro"),
    WindowsName("Windows10LeadingZeros", "Windows 10 Pro", "019045", "Windows 10 Pro"),
    WindowsName("Server2025", "Windows Server 2025 Datacenter", "26100", "Windows Server 2025 Datacenter"),
    WindowsName("AlreadyWindows11", "Windows 11 Pro", "22631", "Windows 11 Pro"),
    WindowsName("NotAWordAfter", "Windows 100 Pro", "22631", "Windows 100 Pro"),
    WindowsName("NotAWordBefore", "MyWindows 10", "22631", "MyWindows 10"),
    WindowsName("BuildNotDigits", "Windows 10 Pro", "22631.1", "Windows 10 Pro"),
    WindowsName("BuildEmpty", "Windows 10 Pro", "", "Windows 10 Pro"),
    // Every digit counts as one: preview builds of Windows 11 hold nines.
    WindowsName("Windows11PreviewBuildWithNines", "Windows 10 Pro", "22449", "Windows 11 Pro"),
    WindowsName("Windows11BuildOfNine", "Windows 10 Pro", "29000", "Windows 11 Pro"),
    // The revision counts for the build line alone.
    {"Windows11ByTheBuildNotTheRevision",
     {Text(CV, "ProductName", "Windows 10 Pro"), Text(CV, "CurrentBuildNumber", "22631"), Revision(Dword(4460))},
     {{"VersionText", "Windows 11 Pro"}, {"BuildNumber", "22631.4460"}}},
    {"Windows10WhateverTheRevision",
     {Text(CV, "ProductName", "Windows 10 Pro"), Text(CV, "CurrentBuildNumber", "19045"), Revision(Dword(22631))},
     {{"VersionText", "Windows 10 Pro"}, {"BuildNumber", "19045.22631"}}},
    // All the 255 bytes offered, without a terminating zero, renamed up to the
    // last byte (binary: RegSetValueExA stores a text's zero when one follows it).
    {"Windows11Name255BytesNoZero",
     {Text(CV, "CurrentVersion", "6.3"), {CV, "ProductName", kBinary, std::string(244, 'n') + " Windows 10"},
      Text(CV, "CurrentBuildNumber", "22631")},
     {{"VersionText", std::string(244, 'n') + " Windows 11"}, {"BuildNumber", "22631"}}},
    {"BuildMissing", {Text(CV, "ProductName", "Windows 10 Pro")}, {{"VersionText", "Windows 10 Pro"}}},
    {"VersionNumberNotRenamed", {Text(CV, "CurrentVersion", "Windows 10"), Text(CV, "CurrentBuildNumber", "22631")},
     {{"VersionText", "Windows 10"}, {"BuildNumber", "22631"}}},

    // The build's revision, read as the installation date's count is read:
    // up to 4 bytes of any type, the bytes it lacks zero; more fail.
    Build("BuildWithRevision", "19045", Dword(5247), kDword, "19045.5247"),
    Build("BuildWithRevisionOfFiveDigits", "10240", Dword(16384), kDword, "10240.16384"),
    Build("BuildWithRevisionZero", "9600", Dword(0), kDword, "9600.0"),
    Build("BuildWithRevisionOfZeros", "17763", Dword(100000), kDword, "17763.100000"),
    Build("BuildWithLargestRevision", "22631", Dword(0xFFFFFFFF), kDword, "22631.4294967295"),
    Build("RevisionEmpty", "19045", "", kBinary, "19045.0"),
    Build("RevisionOfThreeBytes", "19045", std::string("\x01\x00\x01", 3), kBinary, "19045.65537"),
    Build("RevisionOfFourBytesBinary", "19045", Dword(5247), kBinary, "19045.5247"),
    Build("RevisionOfFiveBytes", "19045", Dword(5247) + '\0', kBinary, "19045"),
    Build("RevisionOfEightBytes", "19045", Dword(5247) + Dword(0), 11, "19045"),
    Build("RevisionAsShortText", "19045", Sz("12"), kSz, "19045.12849"),
    Build("RevisionAsText", "19045", Sz("5247"), kSz, "19045"),
    {"BuildWithoutRevision", {Text(CV, "CurrentBuildNumber", "19045")}, {{"BuildNumber", "19045"}}},
    {"RevisionWithoutBuild", {Revision(Dword(5247))}, {}},
    {"RevisionBehindABuildTooLong", {Text(CV, "CurrentBuildNumber", std::string(255, '1')), Revision(Dword(5247))},
     {}},
    Build("RevisionBehindAnEmptyBuild", "", Dword(5247), kDword, ""),
    {"BuildOf255BytesWithLargestRevision",
     {{CV, "CurrentBuildNumber", kBinary, std::string(255, '7')}, Revision(Dword(0xFFFFFFFF))},
     {{"BuildNumber", std::string(255, '7') + ".4294967295"}}},

    // The service pack where there is one, else the feature update, named
    // since 20H2, before by its release alone; each read as any text is.
    ServicePack("FeatureUpdate", {Text(CV, "DisplayVersion", "22H2")}, "Version 22H2"),
    ServicePack("ReleaseOnly", {Text(CV, "ReleaseId", "1809")}, "Version 1809"),
    ServicePack("FeatureUpdateBeforeRelease", {Text(CV, "ReleaseId", "2009"), Text(CV, "DisplayVersion", "21H2")},
                "Version 21H2"),
    ServicePack("ServicePackBeforeBoth",
                {Text(CV, "DisplayVersion", "21H2"), Text(CV, "ReleaseId", "2009"), Text(CV, "CSDVersion", "Service Pack 1")},
                "Service Pack 1"),
    ServicePack("ServicePackEmptyBeforeBoth",
                {Text(CV, "CSDVersion", ""), Text(CV, "DisplayVersion", "21H2"), Text(CV, "ReleaseId", "2009")}, ""),
    // An empty name names no update: the next one is shown, else the fallback.
    ServicePack("FeatureUpdateEmpty", {Text(CV, "DisplayVersion", ""), Text(CV, "ReleaseId", "2009")}, "Version 2009"),
    ServicePack("ReleaseEmpty", {Text(CV, "ReleaseId", "")}, "Not available"),
    ServicePack("FeatureUpdateOfZerosOnly", {{CV, "DisplayVersion", kBinary, std::string(4, '\0')}}, "Not available"),
    ServicePack("FeatureUpdateAsBinary", {{CV, "DisplayVersion", kBinary, "23H2"}}, "Version 23H2"),
    ServicePack("ReleaseAsDword", {{CV, "ReleaseId", kDword, Dword(0x00333231)}}, "Version 123"),
    ServicePack("FeatureUpdateAsMultiString", {{CV, "DisplayVersion", kMultiSz, MultiSz({"24H2", "x"})}},
                "Version 24H2"),
    ServicePack("FeatureUpdate255BytesNoZero", {{CV, "DisplayVersion", kBinary, std::string(255, 'v')}},
                "Version " + std::string(255, 'v')),
    ServicePack("FeatureUpdate256BytesFallsToRelease",
                {Text(CV, "DisplayVersion", std::string(255, 'v')), Text(CV, "ReleaseId", "2009")}, "Version 2009"),
    ServicePack("Release256Bytes", {Text(CV, "ReleaseId", std::string(255, 'r'))}, "Not available"),

    // Sizes around the 255 bytes offered.
    {"Text254Bytes", {Owner(kSz, Sz(std::string(253, 'a')))}, {{"RegisteredOwner", std::string(253, 'a')}}},
    {"Text255Bytes", {Owner(kSz, Sz(std::string(254, 'b')))}, {{"RegisteredOwner", std::string(254, 'b')}}},
    {"Text256Bytes", {Owner(kSz, Sz(std::string(255, 'c')))}, {}},
    {"Binary255BytesNoZero", {Owner(kBinary, std::string(255, 'd'))}, {{"RegisteredOwner", std::string(255, 'd')}}},
    {"Binary256BytesNoZero", {Owner(kBinary, std::string(256, 'e'))}, {}},
    {"EmptyText", {Owner(kSz, "")}, {{"RegisteredOwner", ""}}},

    // Any type is read as its bytes, up to the first zero or the end of the data.
    {"BinaryWithInnerZero", {Owner(kBinary, std::string("abc\0def", 7))}, {{"RegisteredOwner", "abc"}}},
    {"BinaryWithoutZero", {Owner(kBinary, "Owner")}, {{"RegisteredOwner", "Owner"}}},
    {"DwordAsText", {{CV, "CurrentBuildNumber", kDword, Dword(0x00333231)}}, {{"BuildNumber", "123"}}},
    {"MultiStringAsText", {{CV, "SystemRoot", kMultiSz, MultiSz({"C:\\A", "D:\\B"})}}, {{"SystemRoot", "C:\\A"}}},
    {"HighAnsiBytes", {Owner(kBinary, "Zo\xEB Ltd \x80\xFF")}, {{"RegisteredOwner", "Zo\xEB Ltd \x80\xFF"}}},

    // The installation date: an unsigned count, zero-extended when short.
    {"DateZeroBytes", {Date("")}, {{"InstallDate", "01 January 1970, 00:00:00"}}},
    {"DateThreeBytes", {Date(std::string("\x01\x00\x01", 3), kBinary)}, {{"InstallDate", "01 January 1970, 18:12:17"}}},
    {"DateFourBytesBinary", {Date(Dword(889261500), kBinary)}, {{"InstallDate", "07 March 1998, 09:05:00"}}},
    {"DateFiveBytes", {Date(Dword(889261500) + '\0', kBinary)}, {}},
    {"DateEightBytes", {Date(Dword(889261500) + Dword(0), 11)}, {}},
    {"DateAsText", {{CV, "InstallDate", kSz, Sz("1998")}}, {}},
    {"DateLastSignedSecond", {Date(Dword(0x7FFFFFFF))}, {{"InstallDate", "19 January 2038, 03:14:07"}}},
    {"DateFirstUnsignedSecond", {Date(Dword(0x80000000))}, {{"InstallDate", "19 January 2038, 03:14:08"}}},
    {"DateLastSecond", {Date(Dword(0xFFFFFFFF))}, {{"InstallDate", "07 February 2106, 06:28:15"}}},
    // The longest date text: the longest month name, a two-digit day.
    {"DateLongest", {Date(Dword(1727740799))}, {{"InstallDate", "30 September 2024, 23:59:59"}}},

    // Product type, then the first product suite.
    {"Workstation", {ProductType("WinNT")}, {{"ProductType", "Windows NT Workstation"}}},
    {"DomainController", {ProductType("LanmanNT")}, {{"ProductType", "Windows NT Domain Controller"}}},
    {"ServerEnterprise", {ProductType("ServerNT"), Suites({"Enterprise"})},
     {{"ProductType", "Windows NT Enterprise Edition"}}},
    Edition("DomainControllerTerminalServer", "4.0", "LanmanNT", kTerminalServer, "Windows Terminal Server Edition"),
    {"EnterpriseFirst", {ProductType("WinNT"), Suites({"Enterprise", "Terminal Server"})},
     {{"ProductType", "Windows NT Enterprise Edition"}}},
    Edition("EnterpriseFirstOnWindows10", "6.3", "ServerNT", Suites({"Enterprise", "Terminal Server"}),
            "Windows NT Enterprise Edition"),
    Edition("TerminalServerFirst", "4.0", "WinNT", Suites({"Terminal Server", "Enterprise"}),
            "Windows Terminal Server Edition"),

    // "Terminal Server" first names an edition only up to Windows NT 4.0:
    // from Windows 2000 on every Windows lists that suite. Real machines:
    Edition("WindowsXp", "5.1", "WinNT", kEmptySuiteList, "Windows NT Workstation"),
    Edition("Windows7", "6.1", "WinNT", kTerminalServer, "Windows NT Workstation"),
    Edition("Windows10", "6.3", "WinNT", kTerminalServer, "Windows NT Workstation"),
    Edition("Server2019", "6.3", "ServerNT", kTerminalServerDataCenter, "Windows NT Server"),
    Edition("Nt4TerminalServerEdition", "4.0", "ServerNT", kTerminalServer, "Windows Terminal Server Edition"),
    Edition("Windows2000TerminalServices", "5.0", "ServerNT", kTerminalServer, "Windows NT Server"),
    // The version's whole number, up to its first dot or its end, below 5.
    Edition("Nt351", "3.51", "ServerNT", kTerminalServer, "Windows Terminal Server Edition"),
    Edition("VersionWithoutDot", "4", "ServerNT", kTerminalServer, "Windows Terminal Server Edition"),
    Edition("VersionLeadingZero", "04.0", "ServerNT", kTerminalServer, "Windows Terminal Server Edition"),
    Edition("VersionFiveWithoutDot", "5", "ServerNT", kTerminalServer, "Windows NT Server"),
    Edition("VersionWithBuild", "4.0.1381", "ServerNT", kTerminalServer, "Windows Terminal Server Edition"),
    Edition("VersionFiveWithTwoDots", "5.0.4", "ServerNT", kTerminalServer, "Windows NT Server"),
    Edition("Server2003", "5.2", "ServerNT", kTerminalServer, "Windows NT Server"),
    Edition("VersionTen", "10.0", "ServerNT", kTerminalServer, "Windows NT Server"),
    Edition("VersionForty", "40.1", "ServerNT", kTerminalServer, "Windows NT Server"),
    Edition("VersionMissing", nullptr, "ServerNT", kTerminalServer, "Windows NT Server"),
    Edition("VersionEmpty", "", "ServerNT", kTerminalServer, "Windows NT Server"),
    Edition("VersionNotANumber", "x4.0", "ServerNT", kTerminalServer, "Windows NT Server"),
    Edition("VersionDotFirst", ".4", "ServerNT", kTerminalServer, "Windows NT Server"),
    Edition("VersionLettersAfterNumber", "4a.0", "ServerNT", kTerminalServer, "Windows NT Server"),
    {"VersionTooLong", {ProductType("ServerNT"), kTerminalServer, Text(CV, "CurrentVersion", "4." + std::string(253, '0'))},
     {{"ProductType", "Windows NT Server"}}},
    Edition("TerminalServerTooLongOnNt4", "4.0", "ServerNT",
            {PO, "ProductSuite", kMultiSz, MultiSz({"Terminal Server", std::string(290, 'x')})}, "Windows NT Server"),
    Edition("TerminalServerAsLeadOnNt4", "4.0", "WinNT", Suites({"Terminal Servers"}),
            "Windows Terminal Server Edition"),
    Edition("TerminalServerCutOnNt4", "4.0", "WinNT", Suites({"Terminal Serve"}), "Windows NT Workstation"),
    {"FirstSuiteEmpty", {ProductType("ServerNT"), Suites({"", "Enterprise"})},
     {{"ProductType", "Windows NT Server"}}},
    {"SuiteAsPlainText", {ProductType("WinNT"), Text(PO, "ProductSuite", "Enterprise Plus")},
     {{"ProductType", "Windows NT Enterprise Edition"}}},
    {"SuiteTooLong", {ProductType("ServerNT"), {PO, "ProductSuite", kMultiSz, MultiSz({"Enterprise", std::string(290, 'x')})}},
     {{"ProductType", "Windows NT Server"}}},
    {"LongerTypeMatchesItsLead", {ProductType("ServerNTX")}, {{"ProductType", "Windows NT Server"}}},
    {"ShortTypeShownAsRead", {ProductType("Server")}, {{"ProductType", "Server"}}},
    {"LowerCaseShownAsRead", {ProductType("winnt")}, {{"ProductType", "winnt"}}},
    {"UnknownTypeKeepsUnknownSuite", {ProductType("Home"), Suites({"Personal"})}, {{"ProductType", "Home"}}},
    {"NoTypeSuiteNotRead", {Suites({"Enterprise"})}, {}},
    {"TypeTooLong", {ProductType("WinNT" + std::string(251, 'x'))}, {}},
};

class ReaderCases : public testing::TestWithParam<ReaderCase> {};

TEST_P(ReaderCases, EveryReaderGivesItsText)
{
    const ReaderCase& c = GetParam();
    SetReaderValues(c.values);
    for (const Field* reader : kFields) {
        auto expected = c.expected.find(reader->name);
        const std::string want = expected != c.expected.end() ? expected->second : FallbackTexts().at(reader->name);
        EXPECT_EQ(std::string(reader->read()), want) << reader->name;
    }
}

INSTANTIATE_TEST_SUITE_P(Registry, ReaderCases, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<ReaderCase>& info) { return info.param.name; });

// Whole keys missing: Wine keeps things of its own under both, so only the
// in-memory registry can show this.
TEST(MissingKeys, EveryReaderFallsBack)
{
    if (!CanRemoveKeys())
        GTEST_SKIP() << "keys cannot be removed from this registry";
    SetReaderValues(FullRegistry());
    RemoveKey(RegKey::CurrentVersion);
    RemoveKey(RegKey::ProductOptions);
    for (const Field* reader : kFields)
        EXPECT_EQ(std::string(reader->read()), FallbackTexts().at(reader->name)) << reader->name;
}

} // namespace
