#pragma once
// Asks for one WM_MOUSELEAVE when the cursor leaves the window.

#include <windows.h>

BOOL TrackMouseLeave(HWND hWnd);
