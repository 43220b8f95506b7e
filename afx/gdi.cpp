#include "afx/gdi.h"

CPaintDC::CPaintDC(CWnd* window) : m_window(window->m_hWnd)
{
    m_hDC = BeginPaint(m_window, &m_ps);
}

CPaintDC::~CPaintDC()
{
    EndPaint(m_window, &m_ps);
}

bool CPaintDC::DrawIcon(int x, int y, HICON icon)
{
    return ::DrawIcon(m_hDC, x, y, icon) != FALSE;
}
