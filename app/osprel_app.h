// COsprelApp: Osprel's application object. It runs the main dialog and ends
// the program when the dialog closes.
#pragma once

#include "afx/app.h"

class COsprelApp : public CWinApp {
public:
    COsprelApp();

    bool InitInstance() override;   // always false: no message loop follows
    bool OnCmdMsg(const afx::Message& command) override;

private:
    static const afx::MessageMap<COsprelApp> messageMap;
};
