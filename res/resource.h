// Resource identifiers of Osprel, shared by the resource script and the code.
#pragma once

// Dialog templates
#define IDD_ABOUT           100
#define IDD_MAIN            102

// Icon
#define IDI_APP             128

// Strings
#define IDS_ABOUT_ITEM      101

// System-menu command (the low four bits are the system's own)
#define IDM_ABOUT           0x0010

// Controls that the code never addresses (labels, the About box's texts)
#define IDC_STATIC          -1

// Value controls of the main dialog
#define IDC_INSTALL_DATE    1001
#define IDC_VERSION         1002
#define IDC_BUILD           1003
#define IDC_REG_ORG         1004
#define IDC_REG_OWNER       1005
#define IDC_SYSTEM_ROOT     1006
#define IDC_SERVICE_PACK    1008
#define IDC_PLUS_VERSION    1009
#define IDC_PROCESSOR_TYPE  1010
#define IDC_PRODUCT_TYPE    1011
#define IDC_SOURCE_PATH     1015
