// CWnd: a window of ours. The layer takes over a window's procedure
// (subclasses it) so that its messages reach the object's message maps;
// whatever the maps leave goes to the procedure the window had before, which
// is the window's default processing.
#pragma once

#include "afx/menu.h"
#include "afx/message_map.h"
#include "afx/win32.h"

namespace afx {

// USER32's monitor functions, which Windows NT 4.0 lacks: a program that
// imported them would not load there, so they are found at run time.
// Null where the system has none.
struct MonitorFunctions {
    using MonitorFromWindowFunction = HMONITOR(WINAPI*)(HWND, DWORD);
    using GetMonitorInfoFunction = BOOL(WINAPI*)(HMONITOR, MONITORINFO*);
    MonitorFromWindowFunction monitorFromWindow = nullptr;
    GetMonitorInfoFunction getMonitorInfo = nullptr;
};

// This system's, looked up on first use.
const MonitorFunctions& SystemMonitorFunctions();

} // namespace afx

class CWnd : public CCmdTarget {
public:
    CWnd() = default;
    ~CWnd() override;

    // The object that has taken over `window`, or null.
    static CWnd* FromHandlePermanent(HWND window);

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    bool IsIconic() const;
    void GetClientRect(RECT* rect) const;
    void SetDlgItemText(int id, const char* text);
    CMenu GetSystemMenu(bool revert) const;

    // A message for this window or one of its controls, before the loop that
    // runs it translates and dispatches it; true when handled here, and then
    // the loop does nothing more with it. Modal dialogs are offered every
    // message (see CDialog::DoModal).
    virtual bool PreTranslateMessage(const MSG& message);

    // Moves the window to the middle of its owner when the owner is shown
    // and not minimised, otherwise to the middle of its monitor's work area;
    // either way it is kept inside that work area. Without the monitor
    // functions the work area is the primary monitor's.
    void CenterWindow(const afx::MonitorFunctions& monitors = afx::SystemMonitorFunctions());

    HWND m_hWnd = nullptr;

protected:
    // Default processing of the message being handled: the window's own
    // procedure from before the takeover, given the message unchanged.
    LRESULT Default();

    // Routes `message` through the maps of this class and its bases; true
    // when a handler took it, with its answer in `result`. An override sees
    // every message before the maps.
    virtual bool OnWndMsg(const afx::Message& message, LRESULT& result);

    // Takes over `window`'s procedure until the window is destroyed.
    void SubclassWindow(HWND window);

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT id, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(const afx::Message& message);
    void Detach();

    WNDPROC m_superProc = nullptr;
    afx::Message m_current{};
};
