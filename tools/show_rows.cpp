// show_rows: prints the running Osprel window as it shows itself: the caption,
// then one line per row of static texts (label, then value), then where the
// window lies on the screen, in UTF-8. `make run` uses it when there is no display to
// look at, and `make screenshot` to crop the picture to the window.
//   show_rows [timeout-ms]   exit code 1 when no window appears in time
// Built as Osprel is, on the class library's layer and its start-up code,
// with no C++ library: its application object does the work in InitInstance.
#include "afx/app.h"
#include "afx/cstring.h"
#include "afx/wide_string.h"

#include <cstdlib>
#include <utility>

namespace {

// Texts as UTF-8 for the terminal, whatever this process's ANSI code page: a
// name in another script would otherwise print as question marks.
CString WindowTextUtf8(HWND window)
{
    const afx::WideString text = afx::WindowTextW(window);
    const int bytes =
        WideCharToMultiByte(CP_UTF8, 0, text.GetString(), text.GetLength(), nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return CString();
    char* utf8 = static_cast<char*>(std::malloc(static_cast<size_t>(bytes)));
    if (!utf8)
        std::abort();
    WideCharToMultiByte(CP_UTF8, 0, text.GetString(), text.GetLength(), utf8, bytes, nullptr, nullptr);
    CString result(utf8, bytes);
    std::free(utf8);
    return result;
}

void Write(DWORD stream, const char* text, int length)
{
    DWORD written = 0;
    WriteFile(GetStdHandle(stream), text, static_cast<DWORD>(length), &written, nullptr);
}

void Print(const CString& text)
{
    Write(STD_OUTPUT_HANDLE, text, text.GetLength());
}

struct Text {
    RECT place;
    CString text;
};

// Osprel's dialog has 23 static texts; any beyond this many are left out.
constexpr int kMostTexts = 64;

struct Texts {
    Text items[kMostTexts];
    int count = 0;
};

HWND WaitForWindow(const char* caption, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        HWND window = FindWindowA(nullptr, caption);
        if (window && IsWindowVisible(window))
            return window;
        if (GetTickCount() - start > timeoutMs)
            return nullptr;
        Sleep(20);
    }
}

BOOL CALLBACK CollectText(HWND child, LPARAM collected)
{
    Texts& texts = *reinterpret_cast<Texts*>(collected);
    if (texts.count == kMostTexts)
        return FALSE;
    Text& t = texts.items[texts.count++];
    GetWindowRect(child, &t.place);
    t.text = WindowTextUtf8(child);
    return TRUE;
}

bool Before(const Text& a, const Text& b)
{
    return a.place.top != b.place.top ? a.place.top < b.place.top : a.place.left < b.place.left;
}

// Texts whose tops lie within a few pixels of each other form one row: the
// first at two spaces, each next one after at least one space, at column 28
// at the earliest.
void PrintRows(Texts& texts)
{
    Text* items = texts.items;
    for (int i = 1; i < texts.count; ++i) {
        for (int j = i; j > 0 && Before(items[j], items[j - 1]); --j)
            std::swap(items[j], items[j - 1]);
    }
    static const char spaces[] = "                            ";
    for (int i = 0; i < texts.count;) {
        Write(STD_OUTPUT_HANDLE, spaces, 2);
        Print(items[i].text);
        int column = 2 + items[i].text.GetLength();
        int j = i + 1;
        for (; j < texts.count && items[j].place.top - items[i].place.top < 4; ++j) {
            const int pad = column + 1 < 28 ? 28 - column : 1;
            Write(STD_OUTPUT_HANDLE, spaces, pad);
            Print(items[j].text);
            column += pad + items[j].text.GetLength();
        }
        Write(STD_OUTPUT_HANDLE, "\n", 1);
        i = j;
    }
}

int ShowRows(DWORD timeoutMs)
{
    char line[96];
    HWND window = WaitForWindow("Osprel", timeoutMs);
    if (!window) {
        Write(STD_ERROR_HANDLE, line, wsprintfA(line, "show_rows: no window \"Osprel\" within %lu ms\n", timeoutMs));
        return 1;
    }
    Texts texts;
    EnumChildWindows(window, CollectText, reinterpret_cast<LPARAM>(&texts));
    Print(WindowTextUtf8(window));
    Write(STD_OUTPUT_HANDLE, "\n", 1);
    PrintRows(texts);
    RECT r;
    GetWindowRect(window, &r);
    Write(STD_OUTPUT_HANDLE, line,
          wsprintfA(line, "window %ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top));
    return 0;
}

class CShowRowsApp : public CWinApp {
public:
    bool InitInstance() override
    {
        const char* argument = m_lpCmdLine ? m_lpCmdLine : "";
        m_exitCode = ShowRows(*argument ? std::strtoul(argument, nullptr, 10) : 10000);
        return false;
    }
    int ExitInstance() override { return m_exitCode; }

private:
    int m_exitCode = 0;
};

CShowRowsApp theApp;

} // namespace
