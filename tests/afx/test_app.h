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
    bool OnCmdMsg(const afx::Message& command) override
    {
        LRESULT ignored = 0;
        return messageMap.Dispatch(*this, command, ignored) || CWinApp::OnCmdMsg(command);
    }

private:
    void OnAppCommand() { calls.push_back("app command"); }
    void OnOkCommand() { calls.push_back("app OK"); }

    static const afx::MessageMap<TestApp> messageMap;
};

inline const afx::MessageMap<TestApp> TestApp::messageMap = {
    afx::OnCommand(IDOK, &TestApp::OnOkCommand),
    afx::OnCommand(kAppCommand, &TestApp::OnAppCommand),
    afx::OnCommand(ID_HELP, &CWinApp::OnHelp),
};

extern TestApp testApp;
