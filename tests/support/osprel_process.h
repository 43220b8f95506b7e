// Osprel.exe as a user meets it: started as a process of its own, its
// windows found by caption, driven with posted messages or typed keys, its
// copies read from the clipboard. Every wait is bounded.
// The program is the one the build made for users (OSPREL_EXE).
#pragma once

#include "tests/support/child_process.h"

#include <windows.h>

#include <string>
#include <vector>

// The executable the build made (OSPREL_EXE), as a Windows path.
std::string OsprelExecutable();

class OsprelProcess : public ChildProcess {
public:
    // Starts `executable`, a Windows path: by default the one the build made.
    explicit OsprelProcess(const std::string& executable = OsprelExecutable());

    // The main window once it is shown, or null when the program did not
    // start or show it within the time allowed.
    HWND WaitForMainWindow() const;

    // The visible top-level window of this process with `caption`, or null
    // when none appears within the time allowed.
    HWND WaitForWindow(const char* caption) const;
    // Whether no window with `caption` is left within the time allowed.
    bool WaitForWindowGone(const char* caption) const;

    // Makes `window` the foreground window and types the keys as the keyboard
    // would: pressed in order, released in reverse (modifiers first).
    // Posted key messages cannot carry Ctrl: the receiver asks the keyboard.
    static bool Type(HWND window, const std::vector<WORD>& virtualKeys);

    // Whether the process ends within the time allowed, and its exit code.
    bool WaitForExit(DWORD& exitCode) const;
};

// Empties the clipboard, so that what is found there later was put there later.
bool EmptyTheClipboard();
// The clipboard's Unicode text now; empty when it has none or is held open.
std::wstring ClipboardText();
// The same once it has some within the time allowed; empty when it has none by then.
std::wstring WaitForClipboardText();
