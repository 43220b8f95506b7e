#include "app/about_box.h"

#include "res/resource.h"

CAboutBox::CAboutBox() : CDialog(IDD_ABOUT) {}
