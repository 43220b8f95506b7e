// CAboutBox: the About box, opened from the main dialog's system menu. Its
// OK button, Enter, Esc and its close box end it through CDialog.
#pragma once

#include "afx/dialog.h"

class CAboutBox : public CDialog {
public:
    CAboutBox();
};
