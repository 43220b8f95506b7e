// The application object and the entry routine; resources by id.
#include "afx/resources.h"
#include "tests/afx/test_app.h"
#include "tests/afx/test_dialogs.h"
#include "tests/app/import_patch.h"

#include <gtest/gtest.h>

#include <cstring>
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
    EXPECT_STREQ(testApp.m_appName, "afx_tests") << "named after the executable";
}

// GetModuleFileNameA as Windows answers it for the case's module path, which
// may not fit the buffer: cut at the buffer's size, with no terminating zero
// on Windows XP (and Wine), with one in the last byte on later Windows.
struct ModulePathCase {
    const char* name;
    std::string path;   // empty: the call fails
    bool terminatesCut;
    const char* appName;
};
const ModulePathCase* modulePath = nullptr;

DWORD WINAPI ModuleFileName(HMODULE, LPSTR buffer, DWORD size)
{
    const std::string& path = modulePath->path;
    if (path.size() < size) {
        std::memcpy(buffer, path.c_str(), path.size() + 1);
        return static_cast<DWORD>(path.size());
    }
    std::memcpy(buffer, path.data(), size);
    if (modulePath->terminatesCut)
        buffer[size - 1] = '\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
}

// A path of `length` bytes to a program named `file`.
std::string PathOf(size_t length, const std::string& file)
{
    std::string path = "C:\\";
    while (length - path.size() - file.size() >= 14)
        path += "deep.folder\\";
    return path + std::string(length - path.size() - file.size() - 1, 'x') + "\\" + file;
}

TEST(AfxWinMain, NamedAfterTheWholeFileNameOfAnyPath)
{
    const ModulePathCase cases[] = {
        {"fits with its zero", PathOf(MAX_PATH - 1, "Long Name.exe"), false, "Long Name"},
        {"fills the buffer without its zero", PathOf(MAX_PATH, "Long Name.exe"), false, "Long Name"},
        {"one byte too long for the buffer", PathOf(MAX_PATH, "Osprel"), true, "Osprel"},
        {"cut without a zero (XP)", PathOf(300, "Long Name.exe"), false, "Long Name"},
        {"cut with a zero in the last byte", PathOf(300, "Long Name.exe"), true, "Long Name"},
        {"cut twice", PathOf(size_t{3} * MAX_PATH, "Osprel.1.5.exe"), false, "Osprel.1.5"},
        {"no extension", PathOf(1000, "Osprel"), false, "Osprel"},
        {"a path of 32,767 characters", PathOf(32767, "Osprel.exe"), false, "Osprel"},
        {"no path", "", false, ""},
    };
    testApp.onInitInstance = [] { return false; };
    ImportPatch patch("kernel32.dll", "GetModuleFileNameA", reinterpret_cast<void*>(&ModuleFileName));
    ASSERT_TRUE(patch.Applied());
    for (const ModulePathCase& c : cases) {
        modulePath = &c;
        testApp.m_appName = CString();
        AfxWinMain(GetModuleHandleA(nullptr), nullptr, const_cast<char*>(""), SW_SHOW);
        EXPECT_STREQ(testApp.m_appName, c.appName) << c.name;
    }
    testApp.m_appName = CString();
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
