#pragma once
// Ids of the test dialog: the button tests' own template.

#define IDD_BUTTONS 100
#define IDC_SB_PLAIN 1001
#define IDC_SB_DEFAULT 1002
#define IDC_SB_CHECK 1003
#define IDC_SB_FLAT 1004
#define IDC_SB_LINK 1005
#define IDC_SB_IMAGE 1006
#define IDC_SB_DISABLED 1007
#define IDC_SB_NEXT 1008
#define IDC_SB_EDIT 1009
