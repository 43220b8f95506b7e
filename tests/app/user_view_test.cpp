// Osprel.exe from the outside, as a user sees it: the main window's rows for
// a registry with and without the values, its layout at every display scale,
// the About box from the system menu's command, and the ways to end the
// program.
#include "app/osprel_dlg.h"
#include "res/resource.h"
#include "tests/support/display_scale.h"
#include "tests/support/osprel_process.h"
#include "tests/support/registry_fixture.h"

#include <gtest/gtest.h>

#include <set>
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

} // namespace
