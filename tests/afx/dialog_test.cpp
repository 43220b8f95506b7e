// Modal dialogs: message-map order, default processing, command routing,
// ending, centring and the window's life.
#include "afx/static_text.h"
#include "tests/afx/probe_dialog.h"
#include "tests/afx/test_app.h"
#include "tests/afx/test_dialogs.h"
#include "tests/support/display_scale.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace {

using Calls = std::vector<std::string>;

bool Contains(const Calls& calls, const std::string& call)
{
    return std::find(calls.begin(), calls.end(), call) != calls.end();
}

// A derived class whose map takes IDOK before the base's does.
class OkTakingDialog : public ProbeDialog {
public:
    using ProbeDialog::ProbeDialog;

private:
    void OnOkCommand()
    {
        calls.push_back("derived OK");
        EndDialog(42);
    }

    BEGIN_MSG_MAP(OkTakingDialog, ProbeDialog)
        afx::OnCommand<&OkTakingDialog::OnOkCommand>(IDOK),
    END_MSG_MAP()
};

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testApp.calls.clear();
        testApp.m_pMainWnd = nullptr;
    }
};

TEST_F(DialogTest, InputEndsTheDialogThroughOkAndCancel)
{
    struct Case {
        const char* name;
        UINT message;
        WPARAM wParam;
        INT_PTR result;
        const char* handler;
    };
    const Case cases[] = {
        {"OK command", WM_COMMAND, IDOK, IDOK, "OnOK"},
        {"Cancel command", WM_COMMAND, IDCANCEL, IDCANCEL, "OnCancel"},
        {"Enter key", WM_KEYDOWN, VK_RETURN, IDOK, "OnOK"},
        {"Esc key", WM_KEYDOWN, VK_ESCAPE, IDCANCEL, "OnCancel"},
        {"close box", WM_SYSCOMMAND, SC_CLOSE, IDCANCEL, "OnCancel"},
    };
    for (const Case& c : cases) {
        ProbeDialog dialog(IDD_CENTRED_EX, [&](ProbeDialog& d) { PostMessageA(d.m_hWnd, c.message, c.wParam, 0); });
        EXPECT_EQ(dialog.DoModal(), c.result) << c.name;
        EXPECT_TRUE(Contains(dialog.calls, c.handler)) << c.name;
        EXPECT_FALSE(Contains(testApp.calls, "app OK")) << c.name << ": the dialog's own map comes first";
    }
}

TEST_F(DialogTest, DerivedEntriesComeBeforeTheBaseClasses)
{
    OkTakingDialog dialog(IDD_CENTRED_EX, [](ProbeDialog& d) { PostMessageA(d.m_hWnd, WM_COMMAND, IDOK, 0); });
    EXPECT_EQ(dialog.DoModal(), 42);
    EXPECT_EQ(dialog.calls, (Calls{"OnInitDialog", "derived OK"}));
}

TEST_F(DialogTest, FirstMatchingEntryTakesTheMessage)
{
    ProbeDialog dialog(IDD_CENTRED_EX, [](ProbeDialog& d) {
        SendMessageA(d.m_hWnd, WM_COMMAND, kRoutedCommand, 0);
        d.EndDialog(7);
    });
    EXPECT_EQ(dialog.DoModal(), 7);
    EXPECT_EQ(dialog.calls, (Calls{"OnInitDialog", "first"}));
}

TEST_F(DialogTest, CommandsOnlyMatchMenuAndClickCodes)
{
    ProbeDialog dialog(IDD_CENTRED_EX, [](ProbeDialog& d) {
        SendMessageA(d.m_hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_SETFOCUS), 0);
        SendMessageA(d.m_hWnd, WM_COMMAND, MAKEWPARAM(kRoutedCommand, EN_CHANGE), 0);
        d.EndDialog(7);
    });
    EXPECT_EQ(dialog.DoModal(), 7);
    EXPECT_EQ(dialog.calls, (Calls{"OnInitDialog"}));
}

TEST_F(DialogTest, CommandsNoWindowTakesGoToTheApplication)
{
    ProbeDialog dialog(IDD_CENTRED_EX, [](ProbeDialog& d) {
        SendMessageA(d.m_hWnd, WM_COMMAND, kAppCommand, 0);
        d.EndDialog(7);
    });
    EXPECT_EQ(dialog.DoModal(), 7);
    EXPECT_EQ(testApp.calls, (Calls{"app command"}));
    EXPECT_TRUE(testApp.OnCmdMsg(afx::Message{WM_COMMAND, ID_HELP, 0})) << "Help is the application's";
}

TEST_F(DialogTest, DefaultIsTheDialogsOwnProcessing)
{
    LRESULT defaultButton = 0;
    LRESULT dragCursor = 0;
    ProbeDialog dialog(IDD_CENTRED_EX, [&](ProbeDialog& d) {
        // No map has DM_GETDEFID: only the dialog manager answers it.
        defaultButton = SendMessageA(d.m_hWnd, DM_GETDEFID, 0, 0);
        // A handler's answer goes back to the sender.
        d.dragCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
        dragCursor = SendMessageA(d.m_hWnd, WM_QUERYDRAGICON, 0, 0);
        // A handler that does not pass the message on keeps the window open.
        d.passSystemCommands = false;
        SendMessageA(d.m_hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_TRUE(IsWindow(d.m_hWnd));
        d.passSystemCommands = true;
        SendMessageA(d.m_hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(defaultButton, MAKELRESULT(IDOK, DC_HASDEFID));
    EXPECT_EQ(dragCursor, reinterpret_cast<LRESULT>(dialog.dragCursor));
    EXPECT_EQ(dialog.calls, (Calls{"OnInitDialog", "OnSysCommand", "OnSysCommand", "OnCancel"}));
}

TEST_F(DialogTest, MissingTemplateFailsWithoutAWindow)
{
    ProbeDialog dialog(IDD_MISSING, [](ProbeDialog&) {});
    EXPECT_EQ(dialog.DoModal(), -1);
    EXPECT_TRUE(dialog.calls.empty());
}

TEST_F(DialogTest, ObjectOutlivesItsWindowAndRunsAgain)
{
    int runs = 0;
    ProbeDialog dialog(IDD_CENTRED_EX, [&](ProbeDialog& d) { d.EndDialog(++runs); });
    EXPECT_EQ(dialog.DoModal(), 1);
    EXPECT_EQ(dialog.m_hWnd, nullptr);
    EXPECT_EQ(dialog.DoModal(), 2);
    EXPECT_EQ(dialog.m_hWnd, nullptr);
}

TEST_F(DialogTest, MainWindowPointerEndsWithItsObject)
{
    {
        ProbeDialog dialog(IDD_CENTRED_EX, [](ProbeDialog&) {});
        testApp.m_pMainWnd = &dialog;
    }
    EXPECT_EQ(testApp.m_pMainWnd, nullptr);
}

// --- Placement ---

POINT Centre(const RECT& r)
{
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

RECT WorkArea(HWND window)
{
    MONITORINFO info{};
    info.cbSize = sizeof info;
    GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info);
    return info.rcWork;
}

RECT PrimaryWorkArea()
{
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    return work;
}

RECT WindowRect(HWND window)
{
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

void MoveTo(HWND window, int x, int y)
{
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ExpectCentredOn(const RECT& area, HWND window, const char* name)
{
    const POINT expected = Centre(area);
    const POINT actual = Centre(WindowRect(window));
    EXPECT_LE(std::abs(actual.x - expected.x), 1) << name;
    EXPECT_LE(std::abs(actual.y - expected.y), 1) << name;
}

TEST_F(DialogTest, TemplateAtOriginIsCentredOnTheScreen)
{
    struct Case {
        const char* name;
        UINT id;
        bool centred;
    };
    const Case cases[] = {
        {"extended at 0, 0", IDD_CENTRED_EX, true},
        {"classic at 0, 0", IDD_CENTRED_CLASSIC, true},
        {"extended at 20, 30", IDD_PLACED_EX, false},
        {"classic at 20, 30", IDD_PLACED_CLASSIC, false},
    };
    for (const Case& c : cases) {
        ProbeDialog dialog(c.id, [&](ProbeDialog& d) {
            if (c.centred) {
                ExpectCentredOn(WorkArea(d.m_hWnd), d.m_hWnd, c.name);
            } else {
                // The template places the client area, in dialog units.
                RECT placed{20, 30, 0, 0};
                MapDialogRect(d.m_hWnd, &placed);
                POINT client{0, 0};
                ClientToScreen(d.m_hWnd, &client);
                EXPECT_EQ(client.x, placed.left) << c.name;
                EXPECT_EQ(client.y, placed.top) << c.name;
            }
            d.EndDialog(IDOK);
        });
        EXPECT_EQ(dialog.DoModal(), IDOK) << c.name;
    }
}

TEST_F(DialogTest, DialogIsCentredOnItsOwner)
{
    // The owner is the parent given, else the application's main window.
    for (const bool asMainWindow : {false, true}) {
        ProbeDialog owner(IDD_PLACED_EX, [&](ProbeDialog& outer) {
            if (asMainWindow)
                testApp.m_pMainWnd = &outer;
            ProbeDialog inner(IDD_CENTRED_EX, [&](ProbeDialog& d) {
                EXPECT_EQ(GetWindow(d.m_hWnd, GW_OWNER), outer.m_hWnd);
                EXPECT_FALSE(IsWindowEnabled(outer.m_hWnd)) << "the owner takes no input meanwhile";
                ExpectCentredOn(WindowRect(outer.m_hWnd), d.m_hWnd, "on the owner");
                d.EndDialog(IDOK);
            }, asMainWindow ? nullptr : &outer);
            EXPECT_EQ(inner.DoModal(), IDOK);
            outer.EndDialog(IDOK);
        });
        EXPECT_EQ(owner.DoModal(), IDOK);
        testApp.m_pMainWnd = nullptr;
    }
}

TEST_F(DialogTest, CentringKeepsTheDialogOnTheWorkArea)
{
    // Windows NT 4.0 has no monitor functions: the work area is then the
    // primary monitor's, the one these tests' single display has.
    struct Case {
        const char* name;
        afx::MonitorFunctions monitors;
    };
    const Case cases[] = {
        {"the system's monitor functions", afx::SystemMonitorFunctions()},
        {"no monitor functions", {}},
    };
    const RECT work = PrimaryWorkArea();
    for (const Case& c : cases) {
        ProbeDialog owner(IDD_PLACED_EX, [&](ProbeDialog& outer) {
            ProbeDialog inner(IDD_CENTRED_EX, [&](ProbeDialog& d) {
                ShowWindow(outer.m_hWnd, SW_HIDE);
                MoveTo(d.m_hWnd, work.left, work.top);
                d.CenterWindow(c.monitors);
                ExpectCentredOn(work, d.m_hWnd, c.name);

                // Centred on an owner in the corner, it would stick out.
                ShowWindow(outer.m_hWnd, SW_SHOWNA);
                MoveTo(outer.m_hWnd, work.right - 20, work.bottom - 20);
                d.CenterWindow(c.monitors);
                const RECT placed = WindowRect(d.m_hWnd);
                EXPECT_EQ(placed.right, work.right) << c.name;
                EXPECT_EQ(placed.bottom, work.bottom) << c.name;
                d.EndDialog(IDOK);
            }, &outer);
            EXPECT_EQ(inner.DoModal(), IDOK) << c.name;
            outer.EndDialog(IDOK);
        });
        EXPECT_EQ(owner.DoModal(), IDOK) << c.name;
    }
}

// --- Labels the display scale would cut ---

RECT PlaceIn(HWND dialog, HWND control)
{
    RECT r = WindowRect(control);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

TEST_F(DialogTest, OneLineLabelsTooNarrowAreWidenedIntoFreeRoomOnly)
{
    enum Reach { TextWidth, Neighbour, ClientEdge, Template };
    struct Case {
        const char* name;
        int id;
        RECT units;   // as the template places it
        Reach reach;
    };
    const Case cases[] = {
        {"free room", IDC_CUT_ROOM, {7, 7, 27, 15}, TextWidth},
        {"neighbour sharing some of its lines", IDC_CUT_NEIGHBOUR, {7, 17, 27, 25}, Neighbour},
        {"wider than the dialog", IDC_CUT_EDGE, {7, 29, 27, 37}, ClientEdge},
        {"text that fits", IDC_FITS, {7, 39, 47, 47}, Template},
        {"several lines", IDC_CUT_TALL, {7, 49, 27, 65}, Template},
        {"centred", IDC_CUT_CENTRED, {7, 67, 27, 75}, Template},
        {"end ellipsis", IDC_CUT_ELLIPSIS, {7, 77, 27, 85}, Template},
        {"overlapped already", IDC_CUT_OVERLAPPED, {30, 87, 50, 95}, Template},
    };
    ProbeDialog dialog(IDD_CUT_LABELS, [&](ProbeDialog& d) {
        RECT client{};
        GetClientRect(d.m_hWnd, &client);
        const RECT neighbour = PlaceIn(d.m_hWnd, GetDlgItem(d.m_hWnd, IDC_NEIGHBOUR));
        for (const Case& c : cases) {
            const HWND control = GetDlgItem(d.m_hWnd, c.id);
            RECT expected = c.units;
            MapDialogRect(d.m_hWnd, &expected);
            if (c.reach == TextWidth)
                expected.right = expected.left + OneLineTextWidth(control);
            else if (c.reach == Neighbour)
                expected.right = neighbour.left;
            else if (c.reach == ClientEdge)
                expected.right = client.right;
            const RECT shown = PlaceIn(d.m_hWnd, control);
            EXPECT_TRUE(EqualRect(&shown, &expected)) << c.name << ": right edge " << shown.right << ", not "
                                                      << expected.right;
        }
        d.EndDialog(IDOK);
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
}

// A static without a font of its own is drawn in the system font: it must be
// measured in it too, not in the font the control measured before it left.
TEST_F(DialogTest, TextWithoutAFontOfItsOwnIsMeasuredInTheSystemFont)
{
    static constexpr char kText[] = "Drawn in the system font";
    ProbeDialog dialog(IDD_CUT_LABELS, [&](ProbeDialog& d) {
        const HWND bare = CreateWindowExA(0, "Static", kText, WS_CHILD | SS_LEFT, 0, 0, 10, 10, d.m_hWnd,
                                          nullptr, nullptr, nullptr);
        afx::TextMeter meter(d.m_hWnd);
        meter.OneLine(GetDlgItem(d.m_hWnd, IDC_FITS));   // leaves the dialog's font selected
        const SIZE measured = meter.OneLine(bare);

        const HDC dc = GetDC(bare);
        const HGDIOBJ original = SelectObject(dc, GetStockObject(SYSTEM_FONT));
        RECT drawn{};
        DrawTextA(dc, kText, -1, &drawn, DT_CALCRECT | DT_SINGLELINE | DT_EXPANDTABS);
        SelectObject(dc, original);
        ReleaseDC(bare, dc);
        EXPECT_EQ(measured.cx, drawn.right);

        DestroyWindow(bare);
        d.EndDialog(IDOK);
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
}

} // namespace
