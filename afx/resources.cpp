#include "afx/resources.h"

#include "afx/app.h"
#include "afx/cstring.h"

#include <vector>

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
    std::vector<char> text(256);
    for (;;) {
        const int length = LoadStringA(module, id, text.data(), static_cast<int>(text.size()));
        if (length < static_cast<int>(text.size()) - 1) {
            *this = CString(text.data(), length);
            return length > 0;
        }
        text.resize(text.size() * 2);
    }
}
