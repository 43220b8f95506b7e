// Osprel.exe from the outside, as a user sees it: the main window's rows for
// a registry with and without the values, names in any script, its layout at
// every display scale, the rows copied with the keyboard, the About box from
// the system menu's command, and the ways to end the program.
#include "app/osprel_app.h"
#include "app/osprel_dlg.h"
#include "res/resource.h"
#include "tests/support/display_scale.h"
#include "tests/support/osprel_process.h"
#include "tests/support/registry_fixture.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

struct Row {
    int control;
    const char* text;
};
using Rows = std::vector<Row>;

const std::vector<RegValue> kFullRegistry = {
    {RegKey::CurrentVersion, "CurrentVersion", REG_SZ, Sz("4.0")},
    {RegKey::CurrentVersion, "ProductName", REG_SZ, Sz("Osprel Test Edition")},
    {RegKey::CurrentVersion, "CurrentBuildNumber", REG_SZ, Sz("1381")},
    {RegKey::CurrentVersion, "CSDVersion", REG_SZ, Sz("Service Pack 6")},
    {RegKey::CurrentVersion, "Plus! VersionNumber", REG_SZ, Sz("IE 5 6.0")},
    {RegKey::CurrentVersion, "CurrentType", REG_SZ, Sz("Uniprocessor Free")},
    {RegKey::CurrentVersion, "RegisteredOrganization", REG_SZ, Sz("Test Organisation")},
    {RegKey::CurrentVersion, "RegisteredOwner", REG_SZ, Sz("Test Owner")},
    {RegKey::CurrentVersion, "InstallDate", REG_DWORD, Dword(889261500)},   // 1998-03-07 09:05 UTC
    {RegKey::CurrentVersion, "SourcePath", REG_SZ, Sz("D:\\I386")},
    {RegKey::CurrentVersion, "SystemRoot", REG_SZ, Sz("C:\\WINNT")},
    {RegKey::ProductOptions, "ProductType", REG_SZ, Sz("LanmanNT")},
};

// The tests run with TZ=UTC.
const Rows kFullRegistryRows = {
    {IDC_VERSION, "Osprel Test Edition"},
    {IDC_BUILD, "1381"},
    {IDC_SERVICE_PACK, "Service Pack 6"},
    {IDC_PLUS_VERSION, "IE 5 6.0"},
    {IDC_PROCESSOR_TYPE, "Uniprocessor Free"},
    {IDC_PRODUCT_TYPE, "Windows NT Domain Controller"},
    {IDC_REG_ORG, "Test Organisation"},
    {IDC_REG_OWNER, "Test Owner"},
    {IDC_INSTALL_DATE, "07 March 1998, 09:05:00"},
    {IDC_SOURCE_PATH, "D:\\I386"},
    {IDC_SYSTEM_ROOT, "C:\\WINNT"},
};

Rows FallbackRows()
{
    Rows rows;
    for (const ValueRow& row : COsprelDlg::kValueRows)
        rows.push_back({row.control, row.field.fallback});
    return rows;
}

// What 64-bit Windows keeps for 32-bit programs in place of the machine's own
// values, as a stale copy after an in-place upgrade would be.
const std::vector<RegValue> kStaleCopyFor32BitPrograms = {
    {RegKey::CurrentVersion, "CurrentVersion", REG_SZ, Sz("3.51")},
    {RegKey::CurrentVersion, "ProductName", REG_SZ, Sz("Stale Copy Edition")},
    {RegKey::CurrentVersion, "CurrentBuildNumber", REG_SZ, Sz("1057")},
    {RegKey::CurrentVersion, "RegisteredOwner", REG_SZ, Sz("Stale Owner")},
    {RegKey::CurrentVersion, "InstallDate", REG_DWORD, Dword(0)},
};

void ExpectRows(HWND dialog, const Rows& rows)
{
    for (const Row& row : rows) {
        ASSERT_NE(GetDlgItem(dialog, row.control), nullptr) << "control " << row.control;
        EXPECT_EQ(DlgItemText(dialog, row.control), row.text) << "control " << row.control;
    }
}

std::set<std::string> ChildTexts(HWND window)
{
    std::set<std::string> texts;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        texts.insert(WindowText(child));
    return texts;
}

// The test links the program's resources: its own module has the templates.
void ExpectExactlyTheTemplate(HWND dialog, int templateId)
{
    const std::vector<Control> made = TemplateControls(GetModuleHandleA(nullptr), templateId);
    const std::vector<Control> shown = Controls(dialog);
    ASSERT_EQ(shown.size(), made.size());
    for (size_t i = 0; i < made.size(); ++i) {
        SCOPED_TRACE(shown[i].text);
        EXPECT_TRUE(EqualRect(&shown[i].place, &made[i].place));
        EXPECT_EQ(shown[i].style, made[i].style);
    }
}

TEST(MainWindow, ShowsTheRegistrysValuesInTheirRows)
{
    ASSERT_EQ(ScreenDpi(), 96) << "the tests' prefix runs at 100 %";
    struct Case {
        const char* name;
        std::vector<RegValue> registry;
        std::vector<RegValue> copyFor32BitPrograms;
        Rows rows;
    };
    const Case cases[] = {
        {"every value present", kFullRegistry, {}, kFullRegistryRows},
        {"no value present", {}, {}, FallbackRows()},
        {"the copy for 32-bit programs differs", kFullRegistry, kStaleCopyFor32BitPrograms, kFullRegistryRows},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetReaderValues(c.registry, c.copyFor32BitPrograms);
        OsprelProcess osprel;
        const HWND dialog = osprel.WaitForMainWindow();
        ASSERT_NE(dialog, nullptr) << "no window captioned Osprel";
        ExpectRows(dialog, c.rows);
        ExpectExactlyTheTemplate(dialog, IDD_MAIN);
    }
}

// The registry in full, with the owner and organisation as a Unicode program
// stores them.
std::vector<RegValue> WithNames(const std::wstring& owner, const std::wstring& organisation)
{
    std::vector<RegValue> values;
    for (const RegValue& v : kFullRegistry)
        if (v.name != "RegisteredOwner" && v.name != "RegisteredOrganization")
            values.push_back(v);
    values.push_back(Utf16Text(RegKey::CurrentVersion, "RegisteredOwner", owner));
    values.push_back(Utf16Text(RegKey::CurrentVersion, "RegisteredOrganization", organisation));
    return values;
}

DWORD EllipsisOf(HWND control)
{
    return static_cast<DWORD>(GetWindowLongW(control, GWL_STYLE)) & SS_ELLIPSISMASK;
}

// The owner's fallback text; ASCII, so widened byte by byte.
const std::string kOwnerFallback(fields::kRegisteredOwner.fallback);
const std::wstring kNotAvailable(kOwnerFallback.begin(), kOwnerFallback.end());

// Outside the machine's ANSI code page (1252 here) these came out as question
// marks. The program reads them as UTF-8, 255 bytes of it at most with the
// terminating zero: 127 Greek letters of two bytes, 84 CJK characters of three.
TEST(MainWindow, ShowsNamesInAnyScriptWhole)
{
    struct Case {
        const char* name;
        std::wstring owner;
        std::wstring organisation;
        std::wstring ownerShown;
        DWORD ownerEllipsis;
    };
    const std::wstring greek127(127, L'\u03B1'), greek128(128, L'\u03B1');
    const std::wstring cjk16(16, L'\u6D4B'), cjk84(84, L'\u6D4B'), cjk85(85, L'\u6D4B');
    const Case cases[] = {
        {"Latin with accents", L"Pr\u00FCferin \u00C6r\u00F8 Fa\u00E7ade", L"Gr\u00F6\u00DFen & Ma\u00DFe Pr\u00FCfstelle",
         L"Pr\u00FCferin \u00C6r\u00F8 Fa\u00E7ade", 0},
        {"CJK", L"\u6D4B\u8BD5\u6240\u6709\u8005", L"\u30C6\u30B9\u30C8\u7D44\u7E54",
         L"\u6D4B\u8BD5\u6240\u6709\u8005", 0},
        {"Greek", L"\u0394\u03BF\u03BA\u03B9\u03BC\u03B1\u03C3\u03C4\u03AE\u03C2",
         L"\u039F\u03C1\u03B3\u03B1\u03BD\u03B9\u03C3\u03BC\u03CC\u03C2 \u0394\u03BF\u03BA\u03B9\u03BC\u03CE\u03BD",
         L"\u0394\u03BF\u03BA\u03B9\u03BC\u03B1\u03C3\u03C4\u03AE\u03C2", 0},
        {"Cyrillic", L"\u0422\u0435\u0441\u0442\u043E\u0432\u044B\u0439 \u0412\u043B\u0430\u0434\u0435\u043B\u0435\u0446",
         L"\u0422\u0435\u0441\u0442\u043E\u0432\u0430\u044F \u0424\u0438\u0440\u043C\u0430",
         L"\u0422\u0435\u0441\u0442\u043E\u0432\u044B\u0439 \u0412\u043B\u0430\u0434\u0435\u043B\u0435\u0446", 0},
        {"beyond the Basic Multilingual Plane", L"\U0001D504\U0001D505 Test", L"Test", L"\U0001D504\U0001D505 Test", 0},
        {"127 Greek letters: 255 bytes", greek127, L"Test", greek127, SS_ENDELLIPSIS},
        {"128 Greek letters: 257 bytes", greek128, L"Test", kNotAvailable, 0},
        // Drawn in a TrueType font, since the template's has no CJK: 11 px each
        // there, where the template's bars would have left room to spare.
        {"16 CJK characters: too long as drawn", cjk16, L"Test", cjk16, SS_ENDELLIPSIS},
        {"84 CJK characters: 253 bytes", cjk84, L"Test", cjk84, SS_ENDELLIPSIS},
        {"85 CJK characters: 256 bytes", cjk85, L"Test", kNotAvailable, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetReaderValues(WithNames(c.owner, c.organisation));
        OsprelProcess osprel;
        const HWND dialog = osprel.WaitForMainWindow();
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(DlgItemTextW(dialog, IDC_REG_OWNER) == c.ownerShown);
        EXPECT_EQ(EllipsisOf(GetDlgItem(dialog, IDC_REG_OWNER)), c.ownerEllipsis);
        const HWND organisation = GetDlgItem(dialog, IDC_REG_ORG);
        EXPECT_TRUE(DlgItemTextW(dialog, IDC_REG_ORG) == c.organisation);
        EXPECT_EQ((GetWindowLongW(organisation, GWL_STYLE) & SS_NOPREFIX) != 0,
                  c.organisation.find(L'&') != std::wstring::npos) << "an ampersand is the value's own";
        ExpectRows(dialog, {{IDC_BUILD, "1381"}, {IDC_INSTALL_DATE, "07 March 1998, 09:05:00"}});
    }
}

// Labels lie inside the client area and over no other control.
void ExpectLabelsInTheirOwnPlaces(HWND dialog)
{
    RECT client{};
    GetClientRect(dialog, &client);
    const std::vector<Control> controls = Controls(dialog);
    for (const Control& label : controls) {
        if (!label.isLabel)
            continue;
        SCOPED_TRACE(label.text);
        EXPECT_LE(label.place.right, client.right);
        for (const Control& other : controls)
            EXPECT_TRUE(&other == &label || !Overlap(label.place, other.place)) << "over \"" << other.text << '"';
    }
}

TEST(MainWindow, AtEveryScaleLongValuesAreShortenedAndKeptWhole)
{
    SetReaderValues(RegistryOf(kScaledValues));
    DisplayScale scale;
    for (const int dpi : kDisplayScales) {
        SCOPED_TRACE(std::to_string(dpi) + " dpi");
        scale.Set(dpi);
        OsprelProcess osprel;
        const HWND dialog = osprel.WaitForMainWindow();
        ASSERT_NE(dialog, nullptr);
        for (const ScaledValue& v : kScaledValues) {
            const HWND control = GetDlgItem(dialog, v.control);
            EXPECT_EQ(WindowText(control), v.text) << "the control keeps the whole value";
            EXPECT_EQ(GetWindowLongA(control, GWL_STYLE) & SS_ELLIPSISMASK, LONG(v.ellipsis)) << v.text;
        }
        ExpectLabelsInTheirOwnPlaces(dialog);
        PostMessageA(dialog, WM_SYSCOMMAND, IDM_ABOUT, 0);
        const HWND about = osprel.WaitForWindow("About Osprel");
        ASSERT_NE(about, nullptr);
        ExpectLabelsInTheirOwnPlaces(about);
        if (dpi == 96)
            ExpectExactlyTheTemplate(about, IDD_ABOUT);
    }
}

// The rows from the top, label, tab, the value's whole text, CR LF.
TEST(Copy, CtrlCAndCtrlInsertPutTheRowsOnTheClipboard)
{
    const std::wstring owner = L"\u6D4B\u8BD5\u6240\u6709\u8005";
    const std::wstring organisation =   // too long for its line: drawn shortened
        L"Gr\u00F6\u00DFen & Ma\u00DFe Pr\u00FCfstelle f\u00FCr \u00DCbungen mit sehr langen Namen";
    const std::wstring rows = L"Windows NT Version\tOsprel Test Edition\r\n"
                              L"Build Number\t1381\r\n"
                              L"Service Pack\tService Pack 6\r\n"
                              L"Plus Version Number\tIE 5 6.0\r\n"
                              L"Processor Type\tUniprocessor Free\r\n"
                              L"Product Type\tWindows NT Domain Controller\r\n"
                              L"Registered Organisation\t" + organisation + L"\r\n"
                              L"Registered Owner\t" + owner + L"\r\n"
                              L"Installation Date\t07 March 1998, 09:05:00\r\n"
                              L"Source Path\tD:\\I386\r\n"
                              L"System Root\tC:\\WINNT\r\n";
    SetReaderValues(WithNames(owner, organisation));
    OsprelProcess osprel;
    const HWND dialog = osprel.WaitForMainWindow();
    ASSERT_NE(dialog, nullptr);
    ASSERT_EQ(EllipsisOf(GetDlgItem(dialog, IDC_REG_ORG)), DWORD(SS_ENDELLIPSIS));

    struct Case {
        const char* name;
        std::vector<WORD> keys;
    };
    const Case cases[] = {{"Ctrl+C", {VK_CONTROL, 'C'}}, {"Ctrl+Insert", {VK_CONTROL, VK_INSERT}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(EmptyTheClipboard());
        ASSERT_TRUE(OsprelProcess::Type(dialog, c.keys));
        EXPECT_TRUE(WaitForClipboardText() == rows);
    }
}

// Keys reach the program in the order typed: once Esc has ended it, C is done with.
TEST(Copy, CAloneCopiesNothing)
{
    SetReaderValues(kFullRegistry);
    OsprelProcess osprel;
    const HWND dialog = osprel.WaitForMainWindow();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(EmptyTheClipboard());
    ASSERT_TRUE(OsprelProcess::Type(dialog, {'C'}));
    ASSERT_TRUE(OsprelProcess::Type(dialog, {VK_ESCAPE}));
    DWORD exitCode = 1;
    ASSERT_TRUE(osprel.WaitForExit(exitCode));
    EXPECT_TRUE(ClipboardText().empty());
}

TEST(AboutBox, OpensFromTheSystemCommandWhateverItsLowFourBits)
{
    SetReaderValues(kFullRegistry);
    OsprelProcess osprel;
    const HWND dialog = osprel.WaitForMainWindow();
    ASSERT_NE(dialog, nullptr);

    for (const WPARAM command : {WPARAM(IDM_ABOUT), WPARAM(IDM_ABOUT | 0x1), WPARAM(IDM_ABOUT | 0xF)}) {
        SCOPED_TRACE(command);
        PostMessageA(dialog, WM_SYSCOMMAND, command, 0);
        const HWND about = osprel.WaitForWindow("About Osprel");
        ASSERT_NE(about, nullptr);
        EXPECT_FALSE(IsWindowEnabled(dialog)) << "the main dialog takes no input meanwhile";
        const std::set<std::string> texts = ChildTexts(about);
        for (const char* text : {"Osprel Version 1.5", "OK", "Special thanks to to the following for their help and ideas:"})
            EXPECT_EQ(texts.count(text), 1u) << text;

        // The values were read once: new ones in the registry change nothing.
        SetReaderValues({});
        PostMessageA(GetDlgItem(about, IDOK), BM_CLICK, 0, 0);
        ASSERT_TRUE(osprel.WaitForWindowGone("About Osprel"));
        EXPECT_TRUE(IsWindowEnabled(dialog));
        ExpectRows(dialog, kFullRegistryRows);
    }
}

TEST(AboutBox, OtherSystemCommandsLeaveItClosed)
{
    SetReaderValues(kFullRegistry);
    OsprelProcess osprel;
    const HWND dialog = osprel.WaitForMainWindow();
    ASSERT_NE(dialog, nullptr);
    // Sent, not posted: once the send returns the command has been handled.
    DWORD_PTR ignored = 0;
    for (const WPARAM command : {WPARAM(IDM_ABOUT + 0x10), WPARAM(IDM_ABOUT - 0x10)}) {
        ASSERT_NE(SendMessageTimeoutA(dialog, WM_SYSCOMMAND, command, 0, SMTO_ABORTIFHUNG, 10000, &ignored), 0);
        EXPECT_EQ(osprel.FindWindowNow("About Osprel"), nullptr) << command;
    }
    EXPECT_NE(osprel.FindWindowNow("Osprel"), nullptr);
}

TEST(Ending, EscEnterAndTheCloseCommandEachEndTheProgram)
{
    struct Case {
        const char* name;
        UINT message;
        WPARAM wParam;
    };
    const Case cases[] = {
        {"Esc", WM_KEYDOWN, VK_ESCAPE},
        {"Enter", WM_KEYDOWN, VK_RETURN},
        {"system Close command", WM_SYSCOMMAND, SC_CLOSE},
    };
    SetReaderValues(kFullRegistry);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OsprelProcess osprel;
        const HWND dialog = osprel.WaitForMainWindow();
        ASSERT_NE(dialog, nullptr);
        PostMessageA(dialog, c.message, c.wParam, 0);
        DWORD exitCode = 1;
        ASSERT_TRUE(osprel.WaitForExit(exitCode)) << "still running";
        EXPECT_EQ(exitCode, 0u);
    }
}

// A dialog template whose one control is of a class no one registered: the
// system cannot make the dialog.
std::vector<WORD> UnmakeableDialogTemplate()
{
    std::vector<WORD> words(sizeof(DLGTEMPLATE) / sizeof(WORD));
    auto* dialog = reinterpret_cast<DLGTEMPLATE*>(words.data());
    dialog->style = WS_POPUP | WS_VISIBLE;
    dialog->cdit = 1;
    dialog->cx = dialog->cy = 100;
    words.insert(words.end(), {0, 0, 0});   // no menu, the default class, no caption
    if (words.size() % 2)
        words.push_back(0);   // items start on a DWORD
    const size_t item = words.size();
    words.resize(item + sizeof(DLGITEMTEMPLATE) / sizeof(WORD));
    auto* control = reinterpret_cast<DLGITEMTEMPLATE*>(&words[item]);
    control->style = WS_CHILD | WS_VISIBLE;
    control->cx = control->cy = 10;
    control->id = 1;
    for (const char* c = "NoClassOfThisName"; *c; ++c)
        words.push_back(static_cast<WORD>(*c));
    words.insert(words.end(), {0, 0, 0});   // the class name's end, no text, no creation data
    return words;
}

// A main dialog that cannot be made (here: a copy of the program whose main
// template names a window class that does not exist) has shown nothing, and
// the program says so in its exit status.
TEST(Ending, AMainDialogThatCannotBeMadeEndsTheProgramWithStatus1)
{
    char folder[MAX_PATH] = {};
    ASSERT_NE(GetTempPathA(sizeof folder, folder), 0u);
    const std::string copy = std::string(folder) + "osprel-unmakeable-main-dialog.exe";
    ASSERT_TRUE(CopyFileA(OsprelExecutable().c_str(), copy.c_str(), FALSE));
    const HANDLE update = BeginUpdateResourceA(copy.c_str(), FALSE);
    ASSERT_NE(update, nullptr);
    std::vector<WORD> unmakeable = UnmakeableDialogTemplate();
    const WORD english = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);   // the resource script's language
    EXPECT_TRUE(UpdateResourceA(update, RT_DIALOG, MAKEINTRESOURCEA(IDD_MAIN), english, unmakeable.data(),
                                static_cast<DWORD>(unmakeable.size() * sizeof(WORD))));
    ASSERT_TRUE(EndUpdateResourceA(update, FALSE));

    DWORD exitCode = 0;
    {
        OsprelProcess osprel(copy);
        ASSERT_TRUE(osprel.Started());
        ASSERT_TRUE(osprel.WaitForExit(exitCode)) << "still running";
    }
    EXPECT_EQ(exitCode, static_cast<DWORD>(COsprelApp::kDialogFailed));
    DeleteFileA(copy.c_str());
}

} // namespace
