#include "afx/app.h"

#include <cstdlib>

namespace {

CWinApp* theApplication = nullptr;

// The file name in `path` (its first `length` bytes), without its folder
// and its last extension.
CString BaseName(const char* path, DWORD length)
{
    const char* end = path + length;
    const char* name = path;
    for (const char* p = path; p != end; ++p) {
        if (*p == '\\' || *p == '/')
            name = p + 1;
    }
    const char* dot = end;
    for (const char* p = name; p != end; ++p) {
        if (*p == '.')
            dot = p;
    }
    return CString(name, static_cast<int>(dot - name));
}

// The executable's name, or an empty text when it cannot be had. A path
// longer than the buffer is cut at the buffer's size and that size is
// returned: Windows XP leaves no terminating zero then, later ones put one in
// the last byte. So the path is read only as far as the count returned, and
// a cut one is asked for again with twice the room, up to the longest path
// Windows has.
CString ExecutableBaseName(HINSTANCE module)
{
    // 32,767 UTF-16 characters, up to three bytes each in UTF-8, and the zero.
    constexpr DWORD kLongestPath = 3 * 32767 + 1;
    for (DWORD room = MAX_PATH;; room *= 2) {
        char* path = static_cast<char*>(std::malloc(room));
        if (!path)
            return CString();
        const DWORD length = GetModuleFileNameA(module, path, room);   // 0 when it fails
        const bool whole = length < room;
        CString name = whole ? BaseName(path, length) : CString();
        std::free(path);
        if (whole || room >= kLongestPath)
            return name;
    }
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

int AfxWinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    CWinApp* app = AfxGetApp();
    if (!app)
        return -1;
    app->m_hInstance = instance;
    app->m_lpCmdLine = commandLine;
    if (app->m_appName.IsEmpty())
        app->m_appName = ExecutableBaseName(instance);
    if (!app->InitInstance())
        return app->ExitInstance();
    return app->Run();
}

void AfxEnableControlContainer(void*) {}
