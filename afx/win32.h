// The Windows headers as the window half of the layer sees them.
//
// The layer's members carry the class library's names (SendMessage,
// SetDlgItemText, AppendMenu, LoadString), which <windows.h> also defines as
// macros choosing between the A and W functions. Those few names are freed
// here so that they always mean the members; the layer itself calls the A
// functions by their full names.
#pragma once

#include <windows.h>

#undef AppendMenu
#undef LoadString
#undef SendMessage
#undef SetDlgItemText
