// COsprelApp: Osprel's application object. It runs the main dialog and ends
// the program when the dialog closes: with status 0, or with 1 when the
// dialog could not be made.
#pragma once

#include "afx/app.h"

class COsprelApp : public CWinApp {
public:
    COsprelApp();

    bool InitInstance() override;   // always false: no message loop follows
    int ExitInstance() override;

    // The exit status when the main dialog could not be made.
    static constexpr int kDialogFailed = 1;

private:
    bool m_dialogFailed = false;

    BEGIN_MSG_MAP(COsprelApp, CWinApp)
        afx::OnCommand<&CWinApp::OnHelp>(ID_HELP),
    END_MSG_MAP()
};
