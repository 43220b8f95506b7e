#include "tests/support/osprel_process.h"

#include <chrono>
#include <thread>
#include <vector>

namespace {

constexpr auto kPatience = std::chrono::seconds(20);
constexpr auto kPollInterval = std::chrono::milliseconds(50);

// Wine maps the Unix root to drive Z:, so the build's path works from there.
std::string WindowsPath(std::string path)
{
    if (!path.empty() && path[0] == '/')
        path = "Z:" + path;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

template <class Condition>
bool PollUntil(Condition condition)
{
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(kPollInterval);
    }
    return true;
}

struct WindowSearch {
    DWORD processId;
    const char* caption;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<WindowSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || !IsWindowVisible(window) || WindowText(window) != search->caption)
        return TRUE;
    search->found = window;
    return FALSE;
}

} // namespace

std::string WindowText(HWND window)
{
    char text[512] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string DlgItemText(HWND dialog, int control)
{
    char text[1024] = {};
    const UINT length = GetDlgItemTextA(dialog, control, text, sizeof text);
    return std::string(text, length);
}

std::wstring DlgItemTextW(HWND dialog, int control)
{
    wchar_t text[1024] = {};
    const UINT length = GetDlgItemTextW(dialog, control, text, 1024);
    return std::wstring(text, length);
}

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

namespace {

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

OsprelProcess::OsprelProcess(const std::string& executable)
{
    std::string commandLine = "\"" + executable + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &m_process))
        m_process = PROCESS_INFORMATION{};
}

OsprelProcess::~OsprelProcess()
{
    if (!Started())
        return;
    if (WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(m_process.hProcess, 1);
        WaitForSingleObject(m_process.hProcess, 5000);
    }
    CloseHandle(m_process.hThread);
    CloseHandle(m_process.hProcess);
}

HWND OsprelProcess::FindWindowNow(const char* caption) const
{
    WindowSearch search{m_process.dwProcessId, caption, nullptr};
    EnumWindows(&MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND OsprelProcess::WaitForWindow(const char* caption) const
{
    HWND found = nullptr;
    PollUntil([&] { return (found = FindWindowNow(caption)) != nullptr; });
    return found;
}

HWND OsprelProcess::WaitForMainWindow() const
{
    return Started() ? WaitForWindow("Osprel") : nullptr;
}

bool OsprelProcess::WaitForWindowGone(const char* caption) const
{
    return PollUntil([&] { return FindWindowNow(caption) == nullptr; });
}

bool OsprelProcess::WaitForExit(DWORD& exitCode) const
{
    const DWORD timeout = static_cast<DWORD>(std::chrono::milliseconds(kPatience).count());
    if (WaitForSingleObject(m_process.hProcess, timeout) != WAIT_OBJECT_0)
        return false;
    return GetExitCodeProcess(m_process.hProcess, &exitCode) != FALSE;
}
