// Osprel.exe from the outside, as a user sees it: the main window's rows for
// a registry with and without the values, names in any script, its layout at
// every display scale, the rows copied with the keyboard, the About box from
// the system menu's command, and the ways to end the program.
#include "app/osprel_app.h"
#include "app/osprel_dlg.h"
#include "res/resource.h"
#include "tests/app/names_in_scripts.h"
#include "tests/support/display_scale.h"
#include "tests/support/osprel_process.h"
#include "tests/support/registry_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace {

struct Row {
    int control;
    const char* text;
};
using Rows = std::vector<Row>;

const std::vector<RegValue>& kFullRegistry = FullRegistry();

// The tests run with TZ=UTC.
const Rows kFullRegistryRows = [] {
    Rows rows;
    for (const ValueRow& row : COsprelDlg::kValueRows)
        rows.push_back({row.control, FullRegistryTexts().at(row.field.name).c_str()});
    return rows;
}();

Rows FallbackRows()
{
    Rows rows;
    for (const ValueRow& row : COsprelDlg::kValueRows)
        rows.push_back({row.control, FallbackTexts().at(row.field.name).c_str()});
    return rows;
}

// What 64-bit Windows keeps for 32-bit programs in place of the machine's own
// values, as a stale copy after an in-place upgrade would be.
const std::vector<RegValue> kStaleCopyFor32BitPrograms = {
    Text(CV, "CurrentVersion", "3.51"), Text(CV, "ProductName", "Stale Copy Edition"),
    Text(CV, "CurrentBuildNumber", "1057"), Text(CV, "RegisteredOwner", "Stale Owner"), Date(Dword(0)),
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
    values.push_back(Utf16Text(CV, "RegisteredOwner", owner));
    values.push_back(Utf16Text(CV, "RegisteredOrganization", organisation));
    return values;
}

DWORD EllipsisOf(HWND control)
{
    return static_cast<DWORD>(GetWindowLongW(control, GWL_STYLE)) & SS_ELLIPSISMASK;
}

// The owner's fallback text; ASCII, so widened byte by byte.
const std::string kOwnerFallback = FallbackTexts().at(fields::kRegisteredOwner.name);
const std::wstring kNotAvailable(kOwnerFallback.begin(), kOwnerFallback.end());

// Outside the machine's ANSI code page (1252 here) these came out as question
// marks. The program reads them as UTF-8, as much as the 255-byte room holds.
TEST(MainWindow, ShowsNamesInAnyScriptWhole)
{
    for (const NamesCase& c : kNamesCases) {
        SCOPED_TRACE(c.name);
        SetReaderValues(WithNames(c.owner, c.organisation));
        OsprelProcess osprel;
        const HWND dialog = osprel.WaitForMainWindow();
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(DlgItemTextW(dialog, IDC_REG_OWNER) == (c.ownerTooLong ? kNotAvailable : c.owner));
        EXPECT_EQ(EllipsisOf(GetDlgItem(dialog, IDC_REG_OWNER)), c.ownerEllipsis);
        const HWND organisation = GetDlgItem(dialog, IDC_REG_ORG);
        EXPECT_TRUE(DlgItemTextW(dialog, IDC_REG_ORG) == c.organisation);
        EXPECT_EQ((GetWindowLongW(organisation, GWL_STYLE) & SS_NOPREFIX) != 0,
                  c.organisation.find(L'&') != std::wstring::npos) << "an ampersand is the value's own";
        ExpectRows(dialog, {{IDC_BUILD, "1381.5247"}, {IDC_INSTALL_DATE, "07 March 1998, 09:05:00"}});
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
        EXPECT_EQ(LabelsOutOfPlace(dialog), std::vector<std::string>{});
        PostMessageA(dialog, WM_SYSCOMMAND, IDM_ABOUT, 0);
        const HWND about = osprel.WaitForWindow("About Osprel");
        ASSERT_NE(about, nullptr);
        EXPECT_EQ(LabelsOutOfPlace(about), std::vector<std::string>{});
        if (dpi == 96)
            ExpectExactlyTheTemplate(about, IDD_ABOUT);
    }
}

// The rows from the top, label, tab, the value's whole text, CR LF; here of a
// Windows without a service pack, which names its feature update.
TEST(Copy, CtrlCAndCtrlInsertPutTheRowsOnTheClipboard)
{
    const std::wstring owner = L"\u6D4B\u8BD5\u6240\u6709\u8005";
    const std::wstring organisation =   // too long for its line: drawn shortened
        L"Gr\u00F6\u00DFen & Ma\u00DFe Pr\u00FCfstelle f\u00FCr \u00DCbungen mit sehr langen Namen";
    const std::wstring rows = L"Windows NT Version\tOsprel Test Edition\r\n"
                              L"Build Number\t1381.5247\r\n"
                              L"Service Pack\tVersion 22H2\r\n"
                              L"Plus Version Number\tIE 5 6.0\r\n"
                              L"Processor Type\tUniprocessor Free\r\n"
                              L"Product Type\tWindows NT Domain Controller\r\n"
                              L"Registered Organisation\t" + organisation + L"\r\n"
                              L"Registered Owner\t" + owner + L"\r\n"
                              L"Installation Date\t07 March 1998, 09:05:00\r\n"
                              L"Source Path\tD:\\I386\r\n"
                              L"System Root\tC:\\WINNT\r\n";
    std::vector<RegValue> registry = WithNames(owner, organisation);
    registry.erase(std::remove_if(registry.begin(), registry.end(),
                                  [](const RegValue& v) { return v.name == "CSDVersion"; }),
                   registry.end());
    SetReaderValues(registry);
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

// Clipboard managers hold the clipboard for a moment after each change: the
// copy waits for it up to half a second. Held longer, the copy is given up
// (with a beep) and the window answers again while the clipboard is held.
TEST(Copy, WaitsHalfASecondForAClipboardAnotherProgramHolds)
{
    SetReaderValues(kFullRegistry);
    OsprelProcess osprel;
    const HWND dialog = osprel.WaitForMainWindow();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(EmptyTheClipboard());
    ASSERT_TRUE(OsprelProcess::Type(dialog, {VK_CONTROL, 'C'}));
    const std::wstring rows = WaitForClipboardText();
    ASSERT_FALSE(rows.empty());

    struct Case {
        const char* name;
        DWORD heldMs;
        bool copied;
    };
    for (const Case& c : {Case{"held 250 ms", 250, true}, Case{"held 2.5 s", 2500, false}}) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(EmptyTheClipboard());
        ASSERT_TRUE(OpenClipboard(nullptr));
        const bool typed = OsprelProcess::Type(dialog, {VK_CONTROL, 'C'});
        DWORD_PTR answer = 0;
        if (c.heldMs > 1500) {
            Sleep(1500);
            EXPECT_NE(SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 500, &answer), 0)
                << "the window answers while the clipboard is still held";
            Sleep(c.heldMs - 1500);
        } else {
            Sleep(c.heldMs);
        }
        CloseClipboard();
        ASSERT_TRUE(typed);
        if (c.copied) {
            EXPECT_TRUE(WaitForClipboardText() == rows);
        } else {
            Sleep(500);
            EXPECT_TRUE(ClipboardText().empty()) << "nothing copied once the clipboard is free again";
        }
    }
    ASSERT_TRUE(OsprelProcess::Type(dialog, {VK_ESCAPE}));
    DWORD exitCode = 1;
    EXPECT_TRUE(osprel.WaitForExit(exitCode));
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
        EXPECT_EQ(osprel.VisibleWindow("About Osprel"), nullptr) << command;
    }
    EXPECT_NE(osprel.VisibleWindow("Osprel"), nullptr);
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
