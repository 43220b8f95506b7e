#include "afx/dialog.h"

#include "afx/app.h"
#include "afx/resources.h"
#include "afx/static_text.h"

namespace {

// Where a classic or extended dialog template places the dialog.
POINT TemplatePosition(const void* dialogTemplate)
{
    const auto* words = static_cast<const WORD*>(dialogTemplate);
    const bool extended = words[0] == 1 && words[1] == 0xFFFF;
    if (extended) {
        const auto* ex = static_cast<const BYTE*>(dialogTemplate);
        // dlgVer, signature, helpID, exStyle, style, cDlgItems, then x, y
        const auto* xy = reinterpret_cast<const short*>(ex + 2 + 2 + 4 + 4 + 4 + 2);
        return POINT{xy[0], xy[1]};
    }
    const auto* classic = static_cast<const DLGTEMPLATE*>(dialogTemplate);
    return POINT{classic->x, classic->y};
}

struct DialogTemplate {
    HINSTANCE module;   // also where the controls find their icons and bitmaps
    const DLGTEMPLATE* data;
};

DialogTemplate LoadDialogTemplate(UINT id)
{
    const char* name = MAKEINTRESOURCEA(id);
    const HINSTANCE module = AfxFindResourceHandle(name, RT_DIALOG);
    const HRSRC found = module ? FindResourceA(module, name, RT_DIALOG) : nullptr;
    const HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    return {module, loaded ? static_cast<const DLGTEMPLATE*>(LockResource(loaded)) : nullptr};
}

// The top-level window `window` is part of, as GetAncestor(GA_ROOT) finds
// it on Windows 98 and 2000 on; NT 4.0 has no GetAncestor.
HWND TopLevelOf(HWND window)
{
    while (window && (GetWindowLongA(window, GWL_STYLE) & WS_CHILD))
        window = GetParent(window);
    return window;
}

// The system's modal loop offers each message to the thread's message filter
// before the dialog manager (IsDialogMessage) handles keys itself and
// dispatches the rest to the window with the focus, which in a dialog whose
// controls take no focus is a static. The filter hands the message to the
// window object of the top-level window it is for.
LRESULT CALLBACK DialogMessageFilter(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == MSGF_DIALOGBOX) {
        const MSG& message = *reinterpret_cast<const MSG*>(lParam);
        CWnd* target = CWnd::FromHandlePermanent(TopLevelOf(message.hwnd));
        if (target && target->PreTranslateMessage(message))
            return TRUE;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// One filter, however deep modal dialogs nest: each message is offered once.
// Dialogs run on the one user-interface thread.
class MessageFilter {
public:
    MessageFilter()
    {
        if (!s_hook)
            m_hook = s_hook = SetWindowsHookExA(WH_MSGFILTER, &DialogMessageFilter, nullptr, GetCurrentThreadId());
    }
    ~MessageFilter()
    {
        if (m_hook) {
            UnhookWindowsHookEx(m_hook);
            s_hook = nullptr;
        }
    }
    MessageFilter(const MessageFilter&) = delete;
    MessageFilter& operator=(const MessageFilter&) = delete;

private:
    static HHOOK s_hook;
    HHOOK m_hook = nullptr;
};
HHOOK MessageFilter::s_hook = nullptr;

} // namespace

CDialog::CDialog(UINT templateId, CWnd* parent) : m_templateId(templateId), m_parent(parent) {}

INT_PTR CDialog::DoModal()
{
    const DialogTemplate found = LoadDialogTemplate(m_templateId);
    if (!found.data)
        return -1;
    const POINT at = TemplatePosition(found.data);
    m_centreOnOpen = at.x == 0 && at.y == 0;
    const MessageFilter filter;
    return DialogBoxIndirectParamA(found.module, found.data, Owner(), &CDialog::StartProc,
                                   reinterpret_cast<LPARAM>(this));
}

HWND CDialog::Owner() const
{
    if (m_parent)
        return m_parent->m_hWnd;
    CWinApp* app = AfxGetApp();
    if (app && app->m_pMainWnd && app->m_pMainWnd != this)
        return app->m_pMainWnd->m_hWnd;
    return nullptr;
}

void CDialog::EndDialog(int result)
{
    ::EndDialog(m_hWnd, result);
}

bool CDialog::OnInitDialog()
{
    afx::WidenCutLabels(m_hWnd);
    return true;
}

void CDialog::OnOK()
{
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

bool CDialog::OnWndMsg(const afx::Message& message, LRESULT& result)
{
    if (CWnd::OnWndMsg(message, result))
        return true;
    CWinApp* app = AfxGetApp();
    if (message.id != WM_COMMAND || !app || !app->OnCmdMsg(message))
        return false;
    result = 0;
    return true;
}

// The dialog procedure the system calls. It takes over the window when
// WM_INITDIALOG arrives (the first message that carries the object), and
// from then on the object's window procedure sees every message first and
// this procedure only serves default processing, which it leaves alone.
INT_PTR CALLBACK CDialog::StartProc(HWND window, UINT id, WPARAM wParam, LPARAM lParam)
{
    if (id != WM_INITDIALOG || FromHandlePermanent(window))
        return FALSE;
    auto* self = reinterpret_cast<CDialog*>(lParam);
    self->SubclassWindow(window);
    if (self->m_centreOnOpen)
        self->CenterWindow();
    return SendMessageA(window, WM_INITDIALOG, wParam, lParam);
}
