#include "afx/app.h"

namespace {

CWinApp* theApplication = nullptr;

CString ExecutableBaseName(HINSTANCE module)
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(module, path, sizeof path);
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '\\' || *p == '/')
            name = p + 1;
    const char* dot = std::strrchr(name, '.');
    return dot ? CString(name, static_cast<int>(dot - name)) : CString(name);
}

} // namespace

CWinApp::CWinApp(const char* appName) : m_appName(appName)
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

int AfxWinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    CWinApp* app = AfxGetApp();
    if (!app)
        return -1;
    app->m_hInstance = instance;
    if (app->m_appName.IsEmpty())
        app->m_appName = ExecutableBaseName(instance);
    if (!app->InitInstance())
        return app->ExitInstance();
    return app->Run();
}

void AfxEnableControlContainer(void*) {}
