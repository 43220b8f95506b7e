#include "afx/wnd.h"

#include "afx/app.h"

#include <algorithm>

namespace afx {

namespace {

template <typename Function>
Function FindFunction(HMODULE module, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

MonitorFunctions FindMonitorFunctions()
{
    const HMODULE user32 = GetModuleHandleA("user32.dll");
    MonitorFunctions found;
    found.monitorFromWindow = FindFunction<MonitorFunctions::MonitorFromWindowFunction>(user32, "MonitorFromWindow");
    found.getMonitorInfo = FindFunction<MonitorFunctions::GetMonitorInfoFunction>(user32, "GetMonitorInfoA");
    return found;
}

} // namespace

const MonitorFunctions& SystemMonitorFunctions()
{
    static const MonitorFunctions found = FindMonitorFunctions();
    return found;
}

} // namespace afx

namespace {

RECT WorkArea(HWND window, const afx::MonitorFunctions& monitors)
{
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (monitors.monitorFromWindow && monitors.getMonitorInfo
        && monitors.getMonitorInfo(monitors.monitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor))
        return monitor.rcWork;
    RECT primary{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &primary, 0);
    return primary;
}

} // namespace

CWnd::~CWnd()
{
    // The main window pointer must not outlive the window object.
    CWinApp* app = AfxGetApp();
    if (app && app->m_pMainWnd == this)
        app->m_pMainWnd = nullptr;
}

CWnd* CWnd::FromHandlePermanent(HWND window)
{
    if (!window || GetWindowLongPtrA(window, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(&CWnd::WindowProc))
        return nullptr;
    return reinterpret_cast<CWnd*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

bool CWnd::PreTranslateMessage(const MSG&)
{
    return false;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
}

bool CWnd::IsIconic() const
{
    return ::IsIconic(m_hWnd) != FALSE;
}

void CWnd::GetClientRect(RECT* rect) const
{
    ::GetClientRect(m_hWnd, rect);
}

void CWnd::SetDlgItemText(int id, const char* text)
{
    ::SetDlgItemTextA(m_hWnd, id, text);
}

CMenu CWnd::GetSystemMenu(bool revert) const
{
    return CMenu::FromHandle(::GetSystemMenu(m_hWnd, revert ? TRUE : FALSE));
}

void CWnd::CenterWindow(const afx::MonitorFunctions& monitors)
{
    const RECT work = WorkArea(m_hWnd, monitors);
    RECT area = work;
    const HWND owner = GetWindow(m_hWnd, GW_OWNER);
    if (owner && IsWindowVisible(owner) && !::IsIconic(owner))
        GetWindowRect(owner, &area);

    RECT own{};
    GetWindowRect(m_hWnd, &own);
    const int width = own.right - own.left;
    const int height = own.bottom - own.top;
    int x = area.left + (area.right - area.left - width) / 2;
    int y = area.top + (area.bottom - area.top - height) / 2;
    // Within the work area; a window larger than it keeps its top-left corner in.
    x = std::max<int>(work.left, std::min<int>(x, work.right - width));
    y = std::max<int>(work.top, std::min<int>(y, work.bottom - height));
    SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CWnd::Default()
{
    if (!m_superProc)
        return DefWindowProcA(m_hWnd, m_current.id, m_current.wParam, m_current.lParam);
    return CallWindowProcA(m_superProc, m_hWnd, m_current.id, m_current.wParam, m_current.lParam);
}

bool CWnd::OnWndMsg(const afx::Message& message, LRESULT& result)
{
    return DispatchToMaps(message, result);
}

void CWnd::SubclassWindow(HWND window)
{
    m_hWnd = window;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    m_superProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::WindowProc)));
}

void CWnd::Detach()
{
    SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_superProc));
    SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, 0);
    m_superProc = nullptr;
    m_hWnd = nullptr;
}

LRESULT CALLBACK CWnd::WindowProc(HWND window, UINT id, WPARAM wParam, LPARAM lParam)
{
    CWnd* self = reinterpret_cast<CWnd*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    return self->Handle(afx::Message{id, wParam, lParam});
}

LRESULT CWnd::Handle(const afx::Message& message)
{
    // Handlers may send messages to their own window (SC_CLOSE becomes
    // WM_CLOSE inside Default), so the message being handled nests.
    const afx::Message outer = m_current;
    m_current = message;
    LRESULT result = 0;
    if (!OnWndMsg(message, result))
        result = Default();
    if (message.id == WM_NCDESTROY)
        Detach();
    m_current = outer;
    return result;
}
