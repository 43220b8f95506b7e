// The facts the main dialog shows, each read afresh from the local machine's
// registry and turned into its display text. A reader never fails outward: a
// value that cannot be read gives the reader's fixed fallback text.
//
// The readers use no state, so they live in a base class of their own: the
// main dialog derives from it, and the host build (no window system) uses it
// directly. Every reader opens its key for query only and closes it before
// it returns.
#pragma once

#include "afx/cstring.h"

class COsprelReaders {
public:
    static CString GetInstallDate();
    static CString GetRegisteredOrganization();
    static CString GetRegisteredOwner();
    static CString GetBuildNumber();
    static CString GetSystemRoot();
    static CString GetVersionText();
    static CString GetPlusVersion();
    static CString GetServicePack();
    static CString GetProcessorType();
    static CString GetSourcePath();
    static CString GetProductType();   // product_type.cpp

    // One text value of `key` (below HKEY_LOCAL_MACHINE), or `fallback`.
    static CString ReadRegistryText(const char* key, const char* valueName, const char* fallback);
};
