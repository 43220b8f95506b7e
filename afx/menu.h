// CMenu: a menu handle with the class library's member names. It never
// destroys the menu it wraps: the menus the program touches (a window's
// system menu) belong to their windows.
#pragma once

#include "afx/win32.h"

class CMenu {
public:
    CMenu() = default;

    // Wraps `menu`; the result is empty (false) when `menu` is null.
    static CMenu FromHandle(HMENU menu)
    {
        CMenu wrapper;
        wrapper.m_hMenu = menu;
        return wrapper;
    }

    explicit operator bool() const { return m_hMenu != nullptr; }

    // Adds an item at the end (AppendMenuA); `text` is used for MF_STRING items.
    bool AppendMenu(UINT flags, UINT_PTR id = 0, const char* text = nullptr)
    {
        return ::AppendMenuA(m_hMenu, flags, id, text) != FALSE;
    }

    HMENU m_hMenu = nullptr;
};
