#include "app/osprel_app.h"

#include "app/osprel_dlg.h"

// The one application object; AfxWinMain finds it.
COsprelApp theApp;

COsprelApp::COsprelApp() = default;

bool COsprelApp::InitInstance()
{
    AfxEnableControlContainer();
    Enable3dControls();

    COsprelDlg dlg;
    m_pMainWnd = &dlg;
    // OK and Cancel end the program alike; a dialog that could not be made
    // showed nothing, which must not pass for a normal end.
    m_dialogFailed = dlg.DoModal() == -1;
    return false;
}

int COsprelApp::ExitInstance()
{
    return m_dialogFailed ? kDialogFailed : CWinApp::ExitInstance();
}
