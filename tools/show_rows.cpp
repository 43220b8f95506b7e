// show_rows: prints the running Osprel window as it shows itself: the caption,
// then one line per row of static texts (label, then value), then where the
// window lies on the screen, in UTF-8. `make run` uses it when there is no display to
// look at, and `make screenshot` to crop the picture to the window.
//   show_rows [timeout-ms]   exit code 1 when no window appears in time
#include "tests/support/window_text.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Text {
    RECT place;
    std::string text;
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

// Texts as UTF-8 for the terminal, whatever this process's ANSI code page: a
// name in another script would otherwise print as question marks.
BOOL CALLBACK CollectText(HWND child, LPARAM texts)
{
    Text t{{}, WindowText(child)};
    GetWindowRect(child, &t.place);
    reinterpret_cast<std::vector<Text>*>(texts)->push_back(t);
    return TRUE;
}

// Texts whose tops lie within a few pixels of each other form one row.
void PrintRows(std::vector<Text> texts)
{
    std::sort(texts.begin(), texts.end(), [](const Text& a, const Text& b) {
        return a.place.top != b.place.top ? a.place.top < b.place.top : a.place.left < b.place.left;
    });
    for (size_t i = 0; i < texts.size();) {
        std::string line = "  " + texts[i].text;
        size_t j = i + 1;
        for (; j < texts.size() && texts[j].place.top - texts[i].place.top < 4; ++j) {
            line.resize(std::max<size_t>(line.size() + 1, 28), ' ');
            line += texts[j].text;
        }
        std::printf("%s\n", line.c_str());
        i = j;
    }
}

} // namespace

int main(int argc, char** argv)
{
    const DWORD timeoutMs = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 10000;
    HWND window = WaitForWindow("Osprel", timeoutMs);
    if (!window) {
        std::fprintf(stderr, "show_rows: no window \"Osprel\" within %lu ms\n", timeoutMs);
        return 1;
    }
    std::vector<Text> texts;
    EnumChildWindows(window, CollectText, reinterpret_cast<LPARAM>(&texts));
    std::printf("%s\n", WindowText(window).c_str());
    PrintRows(texts);
    RECT r;
    GetWindowRect(window, &r);
    std::printf("window %ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
    return 0;
}
