#include "afx/app.h"

namespace {

CWinApp* theApplication = nullptr;

} // namespace

CWinApp::CWinApp()
{
    theApplication = this;
}

CWinApp::~CWinApp()
{
    if (theApplication == this)
        theApplication = nullptr;
}

bool CWinApp::InitInstance()
{
    return true;
}

int CWinApp::Run()
{
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return message.message == WM_QUIT ? static_cast<int>(message.wParam) : -1;
}

int CWinApp::ExitInstance()
{
    return 0;
}

bool CWinApp::OnCmdMsg(const afx::Message& command)
{
    LRESULT ignored = 0;
    return DispatchToMaps(command, ignored);
}

void CWinApp::OnHelp() {}

bool CWinApp::Enable3dControls()
{
    return true;
}

CWinApp* AfxGetApp()
{
    return theApplication;
}

int AfxWinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    CWinApp* app = AfxGetApp();
    if (!app)
        return -1;
    app->m_hInstance = instance;
    app->m_lpCmdLine = commandLine;
    if (!app->InitInstance())
        return app->ExitInstance();
    return app->Run();
}

void AfxEnableControlContainer(void*) {}
