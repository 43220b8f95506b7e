#include "afx/resources.h"

#include "afx/app.h"
#include "afx/cstring.h"

#include <cstdlib>

HINSTANCE AfxFindResourceHandle(const char* name, const char* type)
{
    CWinApp* app = AfxGetApp();
    const HINSTANCE module = app && app->m_hInstance ? app->m_hInstance : GetModuleHandleA(nullptr);
    return FindResourceA(module, name, type) ? module : nullptr;
}

bool CString::LoadString(unsigned id)
{
    // Strings live in blocks of sixteen; block n + 1 holds ids 16n to 16n + 15.
    const HINSTANCE module = AfxFindResourceHandle(MAKEINTRESOURCEA(id / 16 + 1), RT_STRING);
    *this = CString();
    if (!module)
        return false;
    // LoadStringA cuts a text to the room it is given: grow until it fits.
    char* text = nullptr;
    for (int room = 256;; room *= 2) {
        char* larger = static_cast<char*>(std::realloc(text, static_cast<size_t>(room)));
        if (!larger)
            break;
        text = larger;
        const int length = LoadStringA(module, id, text, room);
        if (length < room - 1) {
            *this = CString(text, length);
            break;
        }
    }
    std::free(text);
    return !IsEmpty();
}
