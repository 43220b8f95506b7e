// A program started as a process of its own. Its handles close with the
// object, and a process still running then is ended first, so that a failed
// test or bench round leaves none behind. Header only, for the tests and the
// bench alike.
#pragma once

#include "tests/support/window_text.h"

#include <windows.h>

#include <algorithm>
#include <string>

// A path of the build machine's as a Windows program reaches it: under Wine
// a Unix path through Z:, the drive that maps the root.
inline std::string WindowsPath(std::string path)
{
    if (path.rfind('/', 0) == 0)
        path = "Z:" + path;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

class ChildProcess {
public:
    // With `sharedOutput` the child writes to this process's standard
    // output and error.
    explicit ChildProcess(std::string commandLine, bool sharedOutput = false)
    {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        if (sharedOutput) {
            startup.dwFlags = STARTF_USESTDHANDLES;
            startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
            startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
            startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        }
        if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, sharedOutput, 0, nullptr, nullptr,
                            &startup, &m_process))
            m_process = PROCESS_INFORMATION{};
    }
    ~ChildProcess()
    {
        if (!Started())
            return;
        if (!Ended(0)) {
            TerminateProcess(m_process.hProcess, 1);
            WaitForSingleObject(m_process.hProcess, 5000);
        }
        CloseHandle(m_process.hThread);
        CloseHandle(m_process.hProcess);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return m_process.hProcess != nullptr; }
    HANDLE Handle() const { return m_process.hProcess; }

    // Whether the process has ended within `milliseconds`.
    bool Ended(DWORD milliseconds) const
    {
        return Started() && WaitForSingleObject(m_process.hProcess, milliseconds) == WAIT_OBJECT_0;
    }
    // The same, and its exit code.
    bool WaitForExit(DWORD milliseconds, DWORD& exitCode) const
    {
        return Ended(milliseconds) && GetExitCodeProcess(m_process.hProcess, &exitCode);
    }

    // A visible top-level window of the process now, with `caption` unless
    // that is null (no window's text is read then); null when there is none.
    HWND VisibleWindow(const char* caption = nullptr) const
    {
        Search search{m_process.dwProcessId, caption, nullptr};
        if (Started())
            EnumWindows(&Match, reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

private:
    struct Search {
        DWORD processId;
        const char* caption;
        HWND found;
    };
    static BOOL CALLBACK Match(HWND window, LPARAM context)
    {
        auto* search = reinterpret_cast<Search*>(context);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner != search->processId || !IsWindowVisible(window) ||
            (search->caption && WindowText(window) != search->caption))
            return TRUE;
        search->found = window;
        return FALSE;
    }

    PROCESS_INFORMATION m_process{};
};
