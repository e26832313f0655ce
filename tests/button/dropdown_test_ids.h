// Resource ids of the drop-down menu tests.
#pragma once

#define IDD_DROPDOWN 300
#define IDC_DD_MENU 301
#define IDC_DD_PLAIN 302
#define IDM_DROPDOWN 310
#define ID_DD_OPEN 320
#define ID_DD_SAVE 321
#define ID_DD_DEEP 322
