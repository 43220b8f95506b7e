// CDialog: a modal dialog built from a dialog template in the resources.
//
// Its own map, after any derived class's: WM_INITDIALOG to OnInitDialog,
// IDOK to OnOK, IDCANCEL to OnCancel. A command no map of the dialog takes is
// offered to the application's maps. A template placed at 0, 0 is centred
// when the dialog opens (see CWnd::CenterWindow).
#pragma once

#include "afx/wnd.h"

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);

    // Runs the dialog until EndDialog; the value given to EndDialog, or -1
    // when the template cannot be found or the window not made. Every message
    // of the dialog's loop goes to PreTranslateMessage first. The owner
    // is the parent given, else the application's main window.
    INT_PTR DoModal();

    void EndDialog(int result);

    // Widens the template's one-line labels that the display scale would cut
    // (afx::WidenCutLabels). True: the system focuses the first control.
    virtual bool OnInitDialog();
    virtual void OnOK();           // ends the dialog with IDOK
    virtual void OnCancel();       // ends the dialog with IDCANCEL

protected:
    bool OnWndMsg(const afx::Message& message, LRESULT& result) override;

private:
    static INT_PTR CALLBACK StartProc(HWND window, UINT id, WPARAM wParam, LPARAM lParam);
    HWND Owner() const;

    UINT m_templateId;
    CWnd* m_parent;
    bool m_centreOnOpen = false;

    BEGIN_MSG_MAP(CDialog, CWnd)
        afx::OnWmInitDialog<&CDialog::OnInitDialog>(),
        afx::OnCommand<&CDialog::OnOK>(IDOK),
        afx::OnCommand<&CDialog::OnCancel>(IDCANCEL),
    END_MSG_MAP()
};
