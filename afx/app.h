// CWinApp: the one application object, and the entry routine that runs it.
//
// The program defines exactly one global object of a class derived from
// CWinApp. Constructing it makes it the application that AfxWinMain (called
// by the layer's WinMain) starts: AfxWinMain calls InitInstance, and when
// that returns true runs a message loop until WM_QUIT, whose code is the
// program's exit code; when it returns false the program ends at once with
// the exit code ExitInstance gives.
#pragma once

#include "afx/message_map.h"
#include "afx/win32.h"

class CWnd;

class CWinApp : public CCmdTarget {
public:
    CWinApp();
    ~CWinApp() override;

    virtual bool InitInstance();   // true: run the message loop
    virtual int Run();             // until WM_QUIT; its exit code
    virtual int ExitInstance();    // after an InitInstance that returned false: the exit code, 0

    // Offers a command no window took to the maps of the application's class
    // and its bases; true when a handler took it.
    virtual bool OnCmdMsg(const afx::Message& command);

    // The Help command (ID_HELP). No help file comes with a program built on
    // this layer and current Windows has no WinHelp viewer, so there is
    // nothing to open: the command is taken and nothing else happens.
    void OnHelp();

    CWnd* m_pMainWnd = nullptr;
    HINSTANCE m_hInstance = nullptr;
    LPSTR m_lpCmdLine = nullptr;   // the command line after the program's name, as WinMain is given it

protected:
    // Current Windows draws every control three-dimensionally itself; the
    // request is always granted and changes nothing.
    bool Enable3dControls();
};

// The standard Help command identifier.
constexpr UINT ID_HELP = 0xE146;

CWinApp* AfxGetApp();

// Starts the application object; see the comment at the top.
int AfxWinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);

// Asks for dialogs able to host embedded (ActiveX) controls. This layer
// hosts only the system's own window controls and has no control container,
// so the call does nothing; a template naming an embedded control makes
// DoModal fail as any unknown window class does. `manager` is ignored.
void AfxEnableControlContainer(void* manager = nullptr);
