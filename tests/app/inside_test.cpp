// The main dialog run inside the test, for what only its own process can
// see: the order in which it reads and fills, its system menu, its icons and
// its painting while minimised.
#include "app/osprel_dlg.h"
#include "res/resource.h"
#include "tests/app/import_patch.h"
#include "tests/support/registry_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr INT_PTR kWatchdogResult = -2;

// The main dialog with a test scenario run inside its modal loop once it is
// open, and a watchdog that ends it should the scenario not.
class InsideDlg : public COsprelDlg {
public:
    using Scenario = std::function<void(InsideDlg&)>;
    explicit InsideDlg(Scenario scenario) : m_scenario(std::move(scenario)) {}

    HICON Icon() const { return m_hIcon; }
    std::vector<afx::Message> iconErases;

protected:
    bool OnInitDialog() override
    {
        const bool focusFirst = COsprelDlg::OnInitDialog();
        PostMessageA(m_hWnd, kRunScenario, 0, 0);
        SetTimer(m_hWnd, kWatchdogTimer, 10000, nullptr);
        return focusFirst;
    }
    bool OnWndMsg(const afx::Message& message, LRESULT& result) override
    {
        if (message.id == kRunScenario) {
            m_scenario(*this);
            return true;
        }
        if (message.id == WM_TIMER && message.wParam == kWatchdogTimer) {
            EndDialog(static_cast<int>(kWatchdogResult));
            return true;
        }
        if (message.id == WM_ICONERASEBKGND)
            iconErases.push_back(message);
        return COsprelDlg::OnWndMsg(message, result);
    }

private:
    static constexpr UINT kRunScenario = WM_APP + 1;
    static constexpr UINT_PTR kWatchdogTimer = 1;
    Scenario m_scenario;
};

void RunInside(InsideDlg::Scenario scenario)
{
    InsideDlg dialog([&](InsideDlg& d) {
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

void* originalSetText = nullptr;
BOOL WINAPI RecordSetText(HWND dialog, int control, LPCSTR text)
{
    events.push_back("fill " + std::to_string(control));
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
    SetReaderValues({
        {RegKey::CurrentVersion, "CurrentVersion", REG_SZ, Sz("4.0")},
        {RegKey::ProductOptions, "ProductType", REG_SZ, Sz("WinNT")},
    });
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

    const std::vector<std::string> expected = {
        "read InstallDate", "fill 1001",
        "read RegisteredOrganization", "fill 1004",
        "read RegisteredOwner", "fill 1005",
        "read CurrentBuildNumber", "fill 1003",
        "read SystemRoot", "fill 1006",
        "read CurrentVersion", "read ProductName", "fill 1002",
        "read Plus! VersionNumber", "fill 1009",
        "read CSDVersion", "fill 1008",
        "read CurrentType", "fill 1010",
        "read ProductType", "read ProductSuite", "fill 1011",
        "read SourcePath", "fill 1015",
    };
    EXPECT_EQ(events, expected);

    // Query access only; the 32-bit program, which runs here on 64-bit
    // Windows, asks for the machine's own (64-bit) view as well.
    const REGSAM machineView = sizeof(void*) == 4 ? KEY_WOW64_64KEY : 0;
    EXPECT_EQ(openAccess, std::vector<REGSAM>(11, KEY_QUERY_VALUE | machineView));
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

} // namespace
