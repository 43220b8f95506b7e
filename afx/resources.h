// Finding resources. A program on this layer is one statically linked
// executable, so its resources are in that module; a resource it lacks is
// nowhere.
#pragma once

#include "afx/win32.h"

// The module that holds resource `name` of `type` (RT_DIALOG, RT_GROUP_ICON,
// RT_STRING...): the executable when it has that resource, otherwise null.
HINSTANCE AfxFindResourceHandle(const char* name, const char* type);
