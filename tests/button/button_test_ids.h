#pragma once
// Ids of the button tests' dialog and menu. The menu's commands follow the buttons, so one
// handler range logs both.

#define IDD_BUTTONS 100
#define IDM_DROPDOWN 101
#define IDC_SB_EDIT 1000
#define IDC_SB_PLAIN 1001
#define IDC_SB_DEFAULT 1002
#define IDC_SB_CHECK 1003
#define IDC_SB_FLAT 1004
#define IDC_SB_NEXT 1005
#define ID_DD_OPEN 1006
#define ID_DD_SAVE 1007
