#include "app/osprel_app.h"

#include "app/osprel_dlg.h"

const afx::MessageMap<COsprelApp> COsprelApp::messageMap = {
    afx::OnCommand(ID_HELP, &CWinApp::OnHelp),
};

// The one application object; AfxWinMain finds it.
COsprelApp theApp;

COsprelApp::COsprelApp() = default;

bool COsprelApp::InitInstance()
{
    AfxEnableControlContainer();
    Enable3dControls();

    COsprelDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();   // OK, Cancel and failure all end the program alike
    return false;
}

bool COsprelApp::OnCmdMsg(const afx::Message& command)
{
    LRESULT ignored = 0;
    return messageMap.Dispatch(*this, command, ignored) || CWinApp::OnCmdMsg(command);
}
