#pragma once
// The desktop theme setting of the current user.

#include <windows.h>

// Reads the registry afresh: TRUE when the current theme is the classic one.
// A missing key or value counts as not classic.
BOOL ReadClassicThemeSetting();
