// The main dialog run inside the test, for what only its own process can
// see: the order in which it reads and fills, its system menu, its icons, its
// painting while minimised, and both dialogs' texts at every display scale.
#include "app/about_box.h"
#include "app/osprel_dlg.h"
#include "res/resource.h"
#include "tests/app/import_patch.h"
#include "tests/app/names_in_scripts.h"
#include "tests/support/child_process.h"
#include "tests/support/display_scale.h"
#include "tests/support/registry_fixture.h"
#include "tests/support/scenario_dialog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

// One of the program's dialogs with a test scenario run inside its modal loop.
template <class Dialog>
class Inside : public ScenarioDialog<Inside<Dialog>, Dialog> {
public:
    using ScenarioDialog<Inside<Dialog>, Dialog>::ScenarioDialog;

    HICON Icon() const { return this->m_hIcon; }
    std::vector<afx::Message> iconErases;

protected:
    bool OnWndMsg(const afx::Message& message, LRESULT& result) override
    {
        if (message.id == WM_ICONERASEBKGND)
            iconErases.push_back(message);
        return ScenarioDialog<Inside<Dialog>, Dialog>::OnWndMsg(message, result);
    }
};

using InsideDlg = Inside<COsprelDlg>;
using InsideAbout = Inside<CAboutBox>;

template <class Dialog = COsprelDlg>
void RunInside(typename Inside<Dialog>::Scenario scenario)
{
    Inside<Dialog> dialog([&](Inside<Dialog>& d) {
        scenario(d);
        d.EndDialog(IDOK);
    });
    EXPECT_EQ(dialog.DoModal(), IDOK) << "the dialog did not open, or the scenario hung";
}

// --- What the dialog asks of the system, recorded through import patches ---

std::vector<std::string> events;

std::vector<REGSAM> openAccess;
void* originalOpen = nullptr;
LSTATUS WINAPI RecordOpen(HKEY root, LPCSTR subKey, DWORD options, REGSAM access, PHKEY key)
{
    openAccess.push_back(access);
    auto original = reinterpret_cast<decltype(&RegOpenKeyExA)>(originalOpen);
    return original(root, subKey, options, access, key);
}

void* originalQuery = nullptr;   // the system's own, which the recorder calls on
LSTATUS WINAPI RecordQuery(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size)
{
    events.push_back(std::string("read ") + name);
    auto original = reinterpret_cast<decltype(&RegQueryValueExA)>(originalQuery);
    return original(key, name, reserved, type, data, size);
}

// The label the user reads beside `control`: a label on the same line, to
// its left.
std::string LabelBeside(HWND dialog, HWND control)
{
    const std::vector<Control> controls = Controls(dialog);
    const auto own = std::find_if(controls.begin(), controls.end(), [&](const Control& c) { return c.window == control; });
    if (own == controls.end())
        return "no control";
    for (const Control& c : controls) {
        if (c.isLabel && c.place.top == own->place.top && c.place.bottom == own->place.bottom &&
            c.place.right <= own->place.left)
            return c.text;
    }
    return "no label";
}

void* originalSetText = nullptr;
BOOL WINAPI RecordSetText(HWND dialog, int control, LPCSTR text)
{
    events.push_back("fill " + LabelBeside(dialog, GetDlgItem(dialog, control)));
    auto original = reinterpret_cast<decltype(&SetDlgItemTextA)>(originalSetText);
    return original(dialog, control, text);
}

struct DrawnIcon {
    HDC dc;
    int x, y;
    HICON icon;
};
std::vector<DrawnIcon> drawnIcons;
void* originalDrawIcon = nullptr;
BOOL WINAPI RecordDrawIcon(HDC dc, int x, int y, HICON icon)
{
    drawnIcons.push_back({dc, x, y, icon});
    auto original = reinterpret_cast<decltype(&DrawIcon)>(originalDrawIcon);
    return original(dc, x, y, icon);
}

TEST(MainDialog, ReadsAndFillsEachRowBeforeTheNext)
{
    SetReaderValues({Text(CV, "CurrentVersion", "4.0"), Text(CV, "CurrentBuildNumber", "1381"), ProductType("WinNT")});
    ImportPatch query("advapi32.dll", "RegQueryValueExA", reinterpret_cast<void*>(&RecordQuery));
    ImportPatch setText("user32.dll", "SetDlgItemTextA", reinterpret_cast<void*>(&RecordSetText));
    ImportPatch open("advapi32.dll", "RegOpenKeyExA", reinterpret_cast<void*>(&RecordOpen));
    ASSERT_TRUE(query.Applied() && setText.Applied() && open.Applied());
    originalQuery = query.Original();
    originalSetText = setText.Original();
    originalOpen = open.Original();
    events.clear();
    openAccess.clear();

    RunInside([](InsideDlg&) {});

    // Each row is filled, as its label reads, right after the values shown in
    // it are read, and before the next row's are.
    const std::vector<std::string> expected = {
        "read InstallDate", "fill Installation Date",
        "read RegisteredOrganization", "fill Registered Organisation",
        "read RegisteredOwner", "fill Registered Owner",
        "read CurrentBuildNumber", "read UBR", "fill Build Number",
        "read SystemRoot", "fill System Root",
        "read CurrentVersion", "read ProductName", "fill Windows NT Version",
        "read Plus! VersionNumber", "fill Plus Version Number",
        "read CSDVersion", "read DisplayVersion", "read ReleaseId", "fill Service Pack",
        "read CurrentType", "fill Processor Type",
        "read ProductType", "read ProductSuite", "fill Product Type",
        "read SourcePath", "fill Source Path",
    };
    EXPECT_EQ(events, expected);

    // Query access only; the 32-bit program, which runs here on 64-bit
    // Windows, asks for the machine's own (64-bit) view as well.
    const REGSAM access = sizeof(void*) == 4 ? KEY_QUERY_VALUE | KEY_WOW64_64KEY : KEY_QUERY_VALUE;
    EXPECT_EQ(openAccess, std::vector<REGSAM>(11, access));
}

std::string MenuItemText(HMENU menu, int position, MENUITEMINFOA& info)
{
    char text[128] = {};
    info = MENUITEMINFOA{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = sizeof text;
    GetMenuItemInfoA(menu, position, TRUE, &info);
    return text;
}

TEST(MainDialog, SystemMenuEndsWithTheAboutEntry)
{
    RunInside([](InsideDlg& d) {
        const HMENU menu = GetSystemMenu(d.m_hWnd, FALSE);
        const int count = GetMenuItemCount(menu);
        ASSERT_GE(count, 2);
        MENUITEMINFOA item;
        MenuItemText(menu, count - 2, item);
        EXPECT_TRUE(item.fType & MFT_SEPARATOR);
        EXPECT_EQ(MenuItemText(menu, count - 1, item), "&About Osprel...");
        EXPECT_EQ(item.wID, UINT(IDM_ABOUT));
        int aboutEntries = 0;
        for (int i = 0; i < count; ++i)
            aboutEntries += GetMenuItemID(menu, i) == IDM_ABOUT;
        EXPECT_EQ(aboutEntries, 1);
    });
}

TEST(MainDialog, ApplicationIconServesWindowAndDragging)
{
    RunInside([](InsideDlg& d) {
        const HICON appIcon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_APP));
        ASSERT_NE(appIcon, nullptr);
        EXPECT_EQ(d.Icon(), appIcon);
        EXPECT_EQ(SendMessageA(d.m_hWnd, WM_GETICON, ICON_BIG, 0), reinterpret_cast<LRESULT>(appIcon));
        EXPECT_EQ(SendMessageA(d.m_hWnd, WM_GETICON, ICON_SMALL, 0), reinterpret_cast<LRESULT>(appIcon));
        EXPECT_EQ(SendMessageA(d.m_hWnd, WM_QUERYDRAGICON, 0, 0), reinterpret_cast<LRESULT>(appIcon));
    });
}

// Halving that truncates toward zero, worked out apart from integer division.
int TruncatedHalf(int n)
{
    return static_cast<int>(std::trunc(n / 2.0));
}

// How many pixels of `window`'s client area are dark, as text is.
int DarkPixels(HWND window)
{
    RECT client{};
    GetClientRect(window, &client);
    const HDC screen = GetDC(window);
    const HDC memory = CreateCompatibleDC(screen);
    const HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
    const HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, client.right, client.bottom, screen, 0, 0, SRCCOPY);
    int dark = 0;
    for (int y = 0; y < client.bottom; ++y)
        for (int x = 0; x < client.right; ++x) {
            const COLORREF c = GetPixel(memory, x, y);
            dark += GetRValue(c) + GetGValue(c) + GetBValue(c) < 3 * 96;
        }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window, screen);
    return dark;
}

TEST(MainDialog, MinimisedItPaintsTheIconCentredAndRestoredItsRows)
{
    ImportPatch drawIcon("user32.dll", "DrawIcon", reinterpret_cast<void*>(&RecordDrawIcon));
    ASSERT_TRUE(drawIcon.Applied());
    originalDrawIcon = drawIcon.Original();
    const int valueControls[] = {IDC_VERSION, IDC_BUILD, IDC_SERVICE_PACK, IDC_PLUS_VERSION, IDC_PROCESSOR_TYPE,
                                 IDC_PRODUCT_TYPE, IDC_REG_ORG, IDC_REG_OWNER, IDC_INSTALL_DATE,
                                 IDC_SOURCE_PATH, IDC_SYSTEM_ROOT};

    RunInside([&](InsideDlg& d) {
        ShowWindow(d.m_hWnd, SW_MINIMIZE);
        ASSERT_TRUE(IsIconic(d.m_hWnd));
        drawnIcons.clear();
        SendMessageA(d.m_hWnd, WM_PAINT, 0, 0);
        ASSERT_EQ(drawnIcons.size(), 1u);
        RECT client{};
        GetClientRect(d.m_hWnd, &client);
        // Minimised, the client area here is smaller than the icon, so the
        // halves are negative: truncating and flooring differ.
        EXPECT_EQ(drawnIcons[0].x, TruncatedHalf(client.right - GetSystemMetrics(SM_CXICON) + 1));
        EXPECT_EQ(drawnIcons[0].y, TruncatedHalf(client.bottom - GetSystemMetrics(SM_CYICON) + 1));
        EXPECT_EQ(drawnIcons[0].icon, d.Icon());
        ASSERT_EQ(d.iconErases.size(), 1u) << "the icon's background is erased first";
        EXPECT_EQ(d.iconErases[0].wParam, reinterpret_cast<WPARAM>(drawnIcons[0].dc));
        EXPECT_EQ(d.iconErases[0].lParam, 0);

        ShowWindow(d.m_hWnd, SW_RESTORE);
        ASSERT_FALSE(IsIconic(d.m_hWnd));
        drawnIcons.clear();
        RedrawWindow(d.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        EXPECT_TRUE(drawnIcons.empty());
        for (const int control : valueControls) {
            const HWND row = GetDlgItem(d.m_hWnd, control);
            EXPECT_TRUE(IsWindowVisible(row)) << control;
            EXPECT_GT(DarkPixels(row), 0) << control << " shows no text";
        }
    });
}

// --- At every display scale ---
//
// The scale is read when a process starts, so each one is checked in a
// process of its own: this executable started again with only the
// AtThisScale cases and the scale it must see in kScaleVariable.

constexpr const char* kScaleVariable = "OSPREL_TEST_DISPLAY_SCALE";

bool HasAmpersand(const std::string& text)
{
    return text.find('&') != std::string::npos;
}

// Against the template: every control where the template puts it; a label
// too narrow for its text only wider, into free room, and then whole (at
// 100 % none is widened); a value too long for its line only shortened with
// an ellipsis, and one with an ampersand shown without a mnemonic.
void ExpectTemplateLayoutWhereTextsFit(HWND dialog, int templateId, int dpi)
{
    const std::vector<Control> made = TemplateControls(GetModuleHandleA(nullptr), templateId);
    const std::vector<Control> shown = Controls(dialog);
    ASSERT_EQ(shown.size(), made.size());
    EXPECT_EQ(LabelsOutOfPlace(dialog), std::vector<std::string>{});
    for (size_t i = 0; i < made.size(); ++i) {
        const Control& t = made[i];
        const Control& c = shown[i];
        SCOPED_TRACE("control " + std::to_string(i) + " \"" + c.text + "\"");
        EXPECT_EQ(c.place.left, t.place.left);
        EXPECT_EQ(c.place.top, t.place.top);
        EXPECT_EQ(c.place.bottom, t.place.bottom);
        if (c.isLabel) {
            EXPECT_GE(c.place.right, t.place.right);
            EXPECT_TRUE(dpi != 96 || c.place.right == t.place.right) << "at 100 % the dialog is its template";
            EXPECT_EQ(c.style, t.style);
            EXPECT_TRUE(Fits(c.window)) << "cut: " << OneLineTextWidth(c.window) << " px";
        } else {
            EXPECT_EQ(c.place.right, t.place.right);
            const DWORD added = c.style ^ t.style;
            EXPECT_EQ(added & ~(SS_ELLIPSISMASK | SS_NOPREFIX), 0u);
            EXPECT_EQ((added & SS_NOPREFIX) != 0, HasAmpersand(c.text) && !(t.style & SS_NOPREFIX));
            if (c.id != -1 && ShowsText(c.window) && !Fits(c.window))
                EXPECT_NE(added & SS_ELLIPSISMASK, 0u) << "cut without an ellipsis";
            else
                EXPECT_EQ(added & SS_ELLIPSISMASK, 0u) << "an ellipsis on a text that fits";
        }
    }
}

void ExpectValuesWholeOrShortened(HWND dialog)
{
    for (const ScaledValue& v : kScaledValues) {
        SCOPED_TRACE(v.text);
        const HWND control = GetDlgItem(dialog, v.control);
        EXPECT_EQ(WindowText(control), v.text) << "the control keeps the whole value";
        const DWORD style = GetWindowLongA(control, GWL_STYLE);
        EXPECT_EQ(style & SS_ELLIPSISMASK, v.ellipsis);
        EXPECT_EQ((style & SS_NOPREFIX) != 0, HasAmpersand(v.text)) << "an ampersand is shown as itself";
    }
}

TEST(AtThisScale, BothDialogsShowEveryLabelWholeAndEveryValueWholeOrShortened)
{
    const char* asked = std::getenv(kScaleVariable);
    if (!asked)
        GTEST_SKIP() << "run at each scale by DisplayScales, in a process of its own";
    const int dpi = static_cast<int>(std::strtol(asked, nullptr, 10));
    ASSERT_EQ(ScreenDpi(), dpi) << "the scale set was not the one the process took";

    // Values that fit: the only change the scale may bring is a wider label.
    SetReaderValues(RegistryOf({kScaledValues.back()}));
    RunInside([&](InsideDlg& d) { ExpectTemplateLayoutWhereTextsFit(d.m_hWnd, IDD_MAIN, dpi); });
    SetReaderValues(RegistryOf(kScaledValues));
    RunInside([&](InsideDlg& d) {
        ExpectTemplateLayoutWhereTextsFit(d.m_hWnd, IDD_MAIN, dpi);
        ExpectValuesWholeOrShortened(d.m_hWnd);
    });
    RunInside<CAboutBox>([&](InsideAbout& d) { ExpectTemplateLayoutWhereTextsFit(d.m_hWnd, IDD_ABOUT, dpi); });
}

// Runs this executable's AtThisScale cases in a new process; its exit code.
DWORD RunAtScaleInNewProcess(int dpi)
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    SetEnvironmentVariableA(kScaleVariable, std::to_string(dpi).c_str());
    const ChildProcess child(std::string("\"") + path + "\" --gtest_filter=AtThisScale.*", true);
    SetEnvironmentVariableA(kScaleVariable, nullptr);
    DWORD exitCode = DWORD(-1);
    child.WaitForExit(60000, exitCode);
    return exitCode;
}

TEST(DisplayScales, EachScaleCheckedInAProcessOfItsOwn)
{
    DisplayScale scale;
    for (const int dpi : kDisplayScales) {
        scale.Set(dpi);
        EXPECT_EQ(RunAtScaleInNewProcess(dpi), 0u) << "at " << dpi << " dpi (the cases' output is above)";
    }
}

// --- Names in scripts the template's bitmap font lacks ---

LOGFONTW LogFontOf(HFONT font)
{
    LOGFONTW face{};
    GetObjectW(font, sizeof face, &face);
    return face;
}

bool IsTrueType(HWND control, HFONT font)
{
    const HDC dc = GetDC(control);
    const HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return metrics.tmPitchAndFamily & TMPF_TRUETYPE;
}

HFONT FontOf(HWND window)
{
    return reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
}

// The template's font draws the characters of code page 1252 only. A value
// with any other gets a TrueType font of the same size, made once and shared;
// every other value, and every label, keeps the template's font. The ellipsis
// follows the font the value is drawn in.
TEST(MainDialog, DrawsEachValueInAFontThatHasItsCharacters)
{
    for (const NamesCase& c : kNamesCases) {
        SCOPED_TRACE(c.name);
        SetReaderValues(
            {Utf16Text(CV, "RegisteredOwner", c.owner), Utf16Text(CV, "RegisteredOrganization", c.organisation)});
        HFONT anyScriptFont = nullptr;
        RunInside([&](InsideDlg& d) {
            const HFONT dialogFont = FontOf(d.m_hWnd);
            ASSERT_FALSE(IsTrueType(d.m_hWnd, dialogFont)) << "the template's font is a bitmap font";
            for (HWND child = GetWindow(d.m_hWnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
                const int id = GetDlgCtrlID(child);
                SCOPED_TRACE("control " + std::to_string(id));
                const bool expected = (id == IDC_REG_OWNER && c.ownerInAnyScriptFont) ||
                                      (id == IDC_REG_ORG && c.organisationInAnyScriptFont);
                const HFONT font = FontOf(child);
                if (!expected) {
                    EXPECT_EQ(font, dialogFont);
                } else {
                    EXPECT_TRUE(!anyScriptFont || font == anyScriptFont) << "one font for the dialog";
                    anyScriptFont = font;
                    const LOGFONTW drawn = LogFontOf(font), made = LogFontOf(dialogFont);
                    EXPECT_STREQ(drawn.lfFaceName, L"MS Shell Dlg 2");
                    EXPECT_EQ(drawn.lfHeight, made.lfHeight);
                    EXPECT_EQ(drawn.lfWeight, made.lfWeight);
                    EXPECT_TRUE(IsTrueType(child, font));
                }
                if (id != -1 && ShowsText(child)) {
                    const DWORD ellipsis = GetWindowLongW(child, GWL_STYLE) & SS_ELLIPSISMASK;
                    EXPECT_EQ(ellipsis != 0, !Fits(child));
                }
            }
        });
        if (anyScriptFont) {
            EXPECT_EQ(GetObjectType(anyScriptFont), 0u) << "the font outlives its dialog";
        }
    }
}

} // namespace
