#pragma once
// What menu code borrows from the system to measure and paint: the menu font,
// and the window whose DC stands in when no DC is given.

#include "CGdiObject.h"

BOOL CreateMenuFont(CFont& font);
// The application's main window, or the desktop when there is none.
HWND MainOrDesktopWindow();
