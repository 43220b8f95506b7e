// The application object and the entry routine; resources by id.
#include "afx/cstring.h"
#include "afx/resources.h"
#include "tests/afx/test_app.h"
#include "tests/afx/test_dialogs.h"

#include <gtest/gtest.h>

#include <string>

TestApp testApp;

namespace {

// Takes a WM_QUIT left in this thread's queue; true when there was one.
bool TakeQuitMessage()
{
    MSG message;
    return PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
}

TEST(AfxWinMain, StartsTheOneApplicationObject)
{
    EXPECT_EQ(AfxGetApp(), &testApp);
    testApp.onInitInstance = [] { return false; };
    const HINSTANCE module = GetModuleHandleA(nullptr);
    char commandLine[] = "--first \"second argument\"";
    EXPECT_EQ(AfxWinMain(module, nullptr, commandLine, SW_SHOW), 0);
    EXPECT_EQ(testApp.m_hInstance, module);
    EXPECT_EQ(testApp.m_lpCmdLine, commandLine);
}

TEST(AfxWinMain, FalseFromInitInstanceEndsWithoutAMessageLoop)
{
    testApp.onInitInstance = [] {
        PostQuitMessage(7);
        return false;
    };
    EXPECT_EQ(AfxWinMain(GetModuleHandleA(nullptr), nullptr, const_cast<char*>(""), SW_SHOW), 0);
    EXPECT_TRUE(TakeQuitMessage()) << "a message loop would have taken it";
}

TEST(AfxWinMain, TrueFromInitInstanceRunsUntilQuit)
{
    testApp.onInitInstance = [] {
        PostQuitMessage(7);
        return true;
    };
    EXPECT_EQ(AfxWinMain(GetModuleHandleA(nullptr), nullptr, const_cast<char*>(""), SW_SHOW), 7);
    EXPECT_FALSE(TakeQuitMessage());
}

TEST(Resources, StringsLoadWholeOrNotAtAll)
{
    struct Case {
        unsigned id;
        bool found;
        std::string text;
    };
    std::string digits;
    for (int i = 0; i < 30; ++i)
        digits += "0123456789";
    const Case cases[] = {
        {IDS_SHORT, true, "Short text"},
        {IDS_LONG, true, digits},   // longer than a first try's room
        {IDS_MISSING, false, ""},   // in a block that exists
        {1000, false, ""},          // in a block that does not
    };
    for (const Case& c : cases) {
        CString text("left over");
        EXPECT_EQ(text.LoadString(c.id), c.found) << c.id;
        EXPECT_EQ(text, c.text.c_str()) << c.id;
    }
}

TEST(Resources, HandleIsTheModuleHoldingTheResource)
{
    EXPECT_EQ(AfxFindResourceHandle(MAKEINTRESOURCEA(IDD_CENTRED_EX), RT_DIALOG), GetModuleHandleA(nullptr));
    EXPECT_EQ(AfxFindResourceHandle(MAKEINTRESOURCEA(IDD_MISSING), RT_DIALOG), nullptr);
    EXPECT_EQ(AfxFindResourceHandle(MAKEINTRESOURCEA(IDD_CENTRED_EX), RT_GROUP_ICON), nullptr);
}

} // namespace
