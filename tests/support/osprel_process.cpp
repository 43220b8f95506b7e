#include "tests/support/osprel_process.h"

#include <chrono>
#include <thread>

namespace {

constexpr auto kPatience = std::chrono::seconds(20);

template <class Condition>
bool PollUntil(Condition condition)
{
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

INPUT Key(WORD virtualKey, DWORD flags)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = flags;
    return input;
}

} // namespace

bool EmptyTheClipboard()
{
    if (!PollUntil([] { return OpenClipboard(nullptr) != FALSE; }))
        return false;
    const bool emptied = EmptyClipboard() != FALSE;
    CloseClipboard();
    return emptied;
}

std::wstring ClipboardText()
{
    if (!OpenClipboard(nullptr))
        return {};
    std::wstring text;
    if (const HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = chars;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

std::wstring WaitForClipboardText()
{
    std::wstring text;
    PollUntil([&] { return !(text = ClipboardText()).empty(); });
    return text;
}

bool OsprelProcess::Type(HWND window, const std::vector<WORD>& virtualKeys)
{
    if (!PollUntil([window] { return SetForegroundWindow(window) && GetForegroundWindow() == window; }))
        return false;
    std::vector<INPUT> inputs;
    inputs.reserve(2 * virtualKeys.size());
    for (const WORD key : virtualKeys)
        inputs.push_back(Key(key, 0));
    for (auto key = virtualKeys.rbegin(); key != virtualKeys.rend(); ++key)
        inputs.push_back(Key(*key, KEYEVENTF_KEYUP));
    const UINT count = static_cast<UINT>(inputs.size());
    return SendInput(count, inputs.data(), sizeof(INPUT)) == count;
}

std::string OsprelExecutable()
{
    return WindowsPath(OSPREL_EXE);
}

OsprelProcess::OsprelProcess(const std::string& executable) : ChildProcess("\"" + executable + "\"") {}

HWND OsprelProcess::WaitForWindow(const char* caption) const
{
    HWND found = nullptr;
    PollUntil([&] { return (found = VisibleWindow(caption)) != nullptr; });
    return found;
}

HWND OsprelProcess::WaitForMainWindow() const
{
    return Started() ? WaitForWindow("Osprel") : nullptr;
}

bool OsprelProcess::WaitForWindowGone(const char* caption) const
{
    return PollUntil([&] { return VisibleWindow(caption) == nullptr; });
}

bool OsprelProcess::WaitForExit(DWORD& exitCode) const
{
    return ChildProcess::WaitForExit(static_cast<DWORD>(std::chrono::milliseconds(kPatience).count()), exitCode);
}
