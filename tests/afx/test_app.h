// The test executable's application object, as a program would have one.
#pragma once

#include "afx/app.h"

#include <functional>
#include <string>
#include <vector>

constexpr UINT kAppCommand = 501;   // handled by the application only

class TestApp : public CWinApp {
public:
    std::function<bool()> onInitInstance = [] { return false; };
    std::vector<std::string> calls;

    bool InitInstance() override { return onInitInstance(); }

private:
    void OnAppCommand() { calls.push_back("app command"); }
    void OnOkCommand() { calls.push_back("app OK"); }

    BEGIN_MSG_MAP(TestApp, CWinApp)
        afx::OnCommand<&TestApp::OnOkCommand>(IDOK),
        afx::OnCommand<&TestApp::OnAppCommand>(kAppCommand),
        afx::OnCommand<&CWinApp::OnHelp>(ID_HELP),
    END_MSG_MAP()
};

extern TestApp testApp;
