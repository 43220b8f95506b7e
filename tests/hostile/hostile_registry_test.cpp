// Osprel.exe against hostile registries: for every registry in the table the
// real program is started, must open its window with every row filled with
// exactly what the readers give (never a template text, never empty unless
// the registry holds an empty text), must write nothing, and must end on Esc.
// One process per case, so every case also proves a clean start and exit.
#include "app/osprel_dlg.h"
#include "res/resource.h"
#include "tests/support/display_scale.h"
#include "tests/support/osprel_process.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using Shown = std::map<int, std::string>;   // by control; rows not named: what the readers give

struct HostileCase {
    const char* name;
    std::vector<RegValue> values;
    Shown shown;
};

// Reproducible noise, never starting with a zero byte (so its text is not empty).
std::string Garbage(std::size_t length, unsigned seed)
{
    std::string bytes;
    unsigned state = seed * 2654435761u + 1;
    for (std::size_t i = 0; i < length; ++i) {
        state = state * 1103515245u + 12345u;
        bytes += static_cast<char>(state >> 16);
    }
    if (!bytes.empty() && bytes[0] == '\0')
        bytes[0] = 'G';
    return bytes;
}

// Every value the program reads, each with the data `make` gives for it.
template <class Make>
std::vector<RegValue> EveryValue(unsigned long type, Make make)
{
    std::vector<RegValue> values;
    unsigned seed = 0;
    for (RegValue v : ReaderValueNames()) {
        v.type = type;
        v.data = make(++seed);
        values.push_back(v);
    }
    return values;
}

std::vector<RegValue> EveryValue(unsigned long type, const std::string& data)
{
    return EveryValue(type, [&](unsigned) { return data; });
}

// Every row showing `text` as read (the product type too, named by no
// naming), but the date, which shows `date`, and the build, which shows
// `build` where the revision (the same data) can be read as a count.
Shown EveryRow(const std::string& text, const char* date = "Unable to calculate", const char* build = nullptr)
{
    Shown rows;
    for (const ValueRow& row : COsprelDlg::kValueRows)
        rows[row.control] = row.control == IDC_INSTALL_DATE ? date : text;
    if (build)
        rows[IDC_BUILD] = build;
    return rows;
}

Shown Fallbacks()
{
    Shown rows;
    for (const ValueRow& row : COsprelDlg::kValueRows)
        rows[row.control] = FallbackTexts().at(row.field.name);
    return rows;
}

Shown DateShown(const char* text)
{
    return {{IDC_INSTALL_DATE, text}};
}

// Every character from U+0080 to U+00FE, two bytes each in UTF-8 (the ANSI
// code page of the program and of these tests): 254 bytes, with the zero the
// most that the 255-byte room holds.
const std::string kBeyondAscii = [] {
    std::string bytes;
    for (int c = 0x80; c <= 0xFE; ++c) {
        bytes += static_cast<char>(0xC0 | (c >> 6));
        bytes += static_cast<char>(0x80 | (c & 0x3F));
    }
    return bytes;
}();

// Times are UTC: ctest runs this with TZ=UTC.
const HostileCase kCases[] = {
    {"EveryValueRemoved", {}, Fallbacks()},
    {"EveryValueBinaryGarbage",
     EveryValue(REG_BINARY, [](unsigned seed) { return Garbage(40 + 13 * std::size_t{seed}, seed); }),
     DateShown("Unable to calculate")},
    {"EveryValueGarbageOf600Bytes", EveryValue(REG_BINARY, [](unsigned seed) { return Garbage(600, seed); }),
     Fallbacks()},
    {"EveryValueOf64KiB", EveryValue(REG_BINARY, [](unsigned seed) { return Garbage(65536, seed); }), Fallbacks()},
    {"GarbageUnderRareTypes", EveryValue(0x7FFF0001, [](unsigned seed) { return Garbage(3 * std::size_t{seed}, seed); }), {}},
    {"GarbageUnderNoType", EveryValue(REG_NONE, [](unsigned seed) { return Garbage(50, seed + 100); }), {}},
    {"EveryValueMultiString", EveryValue(REG_MULTI_SZ, MultiSz({"First entry", "Second entry"})),
     EveryRow("First entry")},
    {"EveryValueEmpty", EveryValue(REG_SZ, std::string()), EveryRow("", "01 January 1970, 00:00:00")},
    {"EveryValueOnlyAZero", EveryValue(REG_SZ, std::string(1, '\0')), EveryRow("", "01 January 1970, 00:00:00")},
    {"EveryValue255Bytes", EveryValue(REG_SZ, Sz(std::string(254, 'w'))), EveryRow(std::string(254, 'w'))},
    {"EveryValue256Bytes", EveryValue(REG_SZ, Sz(std::string(255, 'x'))), Fallbacks()},
    // Text without its zero is stored under a binary type: given a string
    // type, the registry's A functions add the zero that the caller "forgot".
    {"EveryValue255BytesNoZero", EveryValue(REG_BINARY, std::string(255, 'y')), EveryRow(std::string(255, 'y'))},
    {"EveryValue256BytesNoZero", EveryValue(REG_BINARY, std::string(256, 'z')), Fallbacks()},
    {"EveryValueBeyondAscii", EveryValue(REG_SZ, Sz(kBeyondAscii)), EveryRow(kBeyondAscii)},
    {"EveryValueEmbeddedZero", EveryValue(REG_SZ, std::string("Before\0After\0", 13)), EveryRow("Before")},
    {"EveryValueHighBytesAndZeros", EveryValue(REG_BINARY, std::string("\xC0\xFF\0\x80\0", 5)), EveryRow("\xC0\xFF")},
    {"EveryValueWithoutTerminatingZero", EveryValue(REG_BINARY, std::string("Text")),
     EveryRow("Text", "03 December 2031, 06:55:16", "Text.1954047316")},
    {"EveryValueAsDword", EveryValue(REG_DWORD, Dword(0x00333231)),
     EveryRow("123", "08 February 1970, 19:59:45", "123.3355185")},
    {"ExpandStringsShownUnexpanded", EveryValue(REG_EXPAND_SZ, Sz("%SystemRoot%\\Osprel")),
     EveryRow("%SystemRoot%\\Osprel")},
    {"ControlCharactersAndAmpersands", EveryValue(REG_SZ, Sz("Tab\there\r\nnew line && &amp")),
     EveryRow("Tab\there\r\nnew line && &amp")},

    // The installation date: its size, then the edges of its count.
    {"DateOf0Bytes", {Date("", kBinary)}, DateShown("01 January 1970, 00:00:00")},
    {"DateOf3Bytes", {Date(std::string("\x01\x00\x01", 3), kBinary)}, DateShown("01 January 1970, 18:12:17")},
    {"DateOf4Bytes", {Date(Dword(889261500), kBinary)}, DateShown("07 March 1998, 09:05:00")},
    {"DateOf5Bytes", {Date(Dword(889261500) + '\x01', kBinary)}, DateShown("Unable to calculate")},
    {"DateOf8Bytes", {Date(Dword(889261500) + Dword(0), REG_QWORD)}, DateShown("Unable to calculate")},
    {"DateZero", {Date(Dword(0))}, DateShown("01 January 1970, 00:00:00")},
    {"DateLastSignedSecond", {Date(Dword(0x7FFFFFFF))}, DateShown("19 January 2038, 03:14:07")},
    {"DateFirstUnsignedSecond", {Date(Dword(0x80000000))}, DateShown("19 January 2038, 03:14:08")},
    {"DateLastSecond", {Date(Dword(0xFFFFFFFF))}, DateShown("07 February 2106, 06:28:15")},
    {"DateAsText", {Date(Sz("1998"), REG_SZ)}, DateShown("Unable to calculate")},

    // The version line and the product type line, which read two values each.
    {"ProductNameTooLongVersionStands",
     {Text(CV, "CurrentVersion", "4.0"), Text(CV, "ProductName", std::string(300, 'p'))},
     {{IDC_VERSION, "4.0"}}},
    {"VersionGarbageNoProductName", {{CV, "CurrentVersion", kBinary, Garbage(120, 7)}}, {}},
    {"ProductSuiteOf300Bytes",
     {ProductType("ServerNT"), Suites({"Enterprise", std::string(287, 's')})},
     {{IDC_PRODUCT_TYPE, "Windows NT Server"}}},
    {"ProductSuiteGarbage",
     {ProductType("LanmanNT"), {PO, "ProductSuite", kBinary, Garbage(200, 9)}},
     {{IDC_PRODUCT_TYPE, "Windows NT Domain Controller"}}},
    {"ProductTypeTooLongSuiteIgnored",
     {ProductType("WinNT" + std::string(260, 't')), Suites({"Enterprise"})},
     {{IDC_PRODUCT_TYPE, "Unable to calculate"}}},
    // "Terminal Server" first: an edition of its own on NT 4.0, and on every
    // later Windows only the suite it lists.
    {"TerminalServerReplacesDomainControllerOnNt4",
     {Text(CV, "CurrentVersion", "4.0"), ProductType("LanmanNT"), Suites({"Terminal Server"})},
     {{IDC_VERSION, "4.0"}, {IDC_PRODUCT_TYPE, "Windows Terminal Server Edition"}}},
    {"TerminalServerListedOnWindows10",
     {Text(CV, "CurrentVersion", "6.3"), ProductType("WinNT"), Suites({"Terminal Server"})},
     {{IDC_VERSION, "6.3"}, {IDC_PRODUCT_TYPE, "Windows NT Workstation"}}},

    // A non-English owner: two bytes in UTF-8, the ANSI code page of the
    // program and of these tests, given back as those bytes.
    {"OwnerNonEnglish", {Text(CV, "RegisteredOwner", "Zo\xC3\xAB Ltd")}, {{IDC_REG_OWNER, "Zo\xC3\xAB Ltd"}}},
};

// What a row adds to the 255 bytes it reads: the build's ".4294967295" at most.
constexpr std::size_t kMostAddedToAText = sizeof ".4294967295" - 1;

// Whether `text` is text in the ANSI code page: binary data can hold bytes
// that are not, which the system replaces as it sees fit.
bool IsAnsiText(const std::string& text)
{
    return text.empty() || MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(),
                                               static_cast<int>(text.size()), nullptr, 0) > 0;
}

void ExpectRegistryUnchanged(const std::vector<RegValue>& values)
{
    for (const RegValue& name : ReaderValueNames()) {
        const RegValue* set = nullptr;
        for (const RegValue& v : values)
            set = v.name == name.name ? &v : set;
        const std::optional<RegValue> stored = StoredValue(name.key, name.name);
        ASSERT_EQ(stored.has_value(), set != nullptr) << name.name;
        if (set) {
            EXPECT_EQ(stored->data, set->data) << name.name;
            EXPECT_EQ(stored->type, set->type) << name.name;
        }
    }
}

// The placeholder the template gives `control`, which the dialog must replace.
std::string TemplateText(int control)
{
    static const std::vector<Control> controls = TemplateControls(GetModuleHandleA(nullptr), IDD_MAIN);
    for (const Control& c : controls) {
        if (c.id == control)
            return c.text;
    }
    return {};
}

void ExpectRows(HWND dialog, const Shown& shown)
{
    for (const ValueRow& row : COsprelDlg::kValueRows) {
        SCOPED_TRACE(row.field.name);
        // The program's readers, run here on the same registry, give the text
        // the row must show; the window holds the characters the ANSI code
        // page (UTF-8) gives its bytes, read back here as UTF-8.
        const std::string fromReader(row.field.read());
        const std::string shownText = DlgItemText(dialog, row.control);
        EXPECT_NE(shownText, TemplateText(row.control));
        EXPECT_LE(fromReader.size(), 255u + kMostAddedToAText);
        if (IsAnsiText(fromReader)) {
            EXPECT_EQ(shownText, fromReader);
        }
        auto expected = shown.find(row.control);
        if (expected != shown.end()) {
            EXPECT_EQ(fromReader, expected->second);
        } else {
            EXPECT_FALSE(fromReader.empty()) << "empty although no case here holds an empty text";
        }
    }
}

void PrintTo(const HostileCase& c, std::ostream* out)
{
    *out << c.name;
}

class HostileRegistry : public testing::TestWithParam<HostileCase> {};

TEST_P(HostileRegistry, OpensFilledWritesNothingAndEndsOnEsc)
{
    const HostileCase& c = GetParam();
    SetReaderValues(c.values);
    OsprelProcess osprel;
    const HWND dialog = osprel.WaitForMainWindow();
    ASSERT_NE(dialog, nullptr) << "no window captioned Osprel";
    ExpectRows(dialog, c.shown);

    PostMessageA(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
    DWORD exitCode = 1;
    ASSERT_TRUE(osprel.WaitForExit(exitCode)) << "still running after Esc";
    EXPECT_EQ(exitCode, 0u);
    ExpectRegistryUnchanged(c.values);
}

INSTANTIATE_TEST_SUITE_P(Matrix, HostileRegistry, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<HostileCase>& info) { return info.param.name; });

} // namespace
