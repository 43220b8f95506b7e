#include "afx/clipboard.h"

#include <cstring>
#include <cwchar>

namespace afx {
namespace {

bool IsDown(int virtualKey)
{
    return GetKeyState(virtualKey) < 0;
}

// The text in memory the clipboard can take over: movable, with its zero.
HGLOBAL GlobalCopy(const wchar_t* text)
{
    const size_t bytes = (std::wcslen(text) + 1) * sizeof(wchar_t);
    const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    void* data = memory ? GlobalLock(memory) : nullptr;
    if (!data) {
        if (memory)
            GlobalFree(memory);
        return nullptr;
    }
    std::memcpy(data, text, bytes);
    GlobalUnlock(memory);
    return memory;
}

// Clipboard managers and remote-desktop clients hold the clipboard open for
// a few milliseconds after each change: ask again, for up to half a second,
// before giving up. The window answers nothing meanwhile, so no longer.
bool OpenClipboardPatiently(HWND owner)
{
    constexpr DWORD kPatienceMs = 500;
    constexpr DWORD kPauseMs = 10;
    const DWORD start = GetTickCount();
    while (!OpenClipboard(owner)) {
        if (GetTickCount() - start >= kPatienceMs)
            return false;
        Sleep(kPauseMs);
    }
    return true;
}

} // namespace

bool IsCopyKey(UINT virtualKey)
{
    return (virtualKey == 'C' || virtualKey == VK_INSERT) && IsDown(VK_CONTROL) && !IsDown(VK_MENU);
}

bool CopyToClipboard(HWND owner, const wchar_t* text)
{
    const HGLOBAL memory = GlobalCopy(text);
    if (!memory)
        return false;
    if (!OpenClipboardPatiently(owner)) {
        GlobalFree(memory);
        return false;
    }
    EmptyClipboard();
    // Once the clipboard has it, the memory is the clipboard's to free.
    const bool taken = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    CloseClipboard();
    if (!taken)
        GlobalFree(memory);   // cppcheck-suppress doubleFree ; the clipboard took none
    return taken;
}

} // namespace afx
