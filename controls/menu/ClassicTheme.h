#pragma once
// Whether a desktop theme setting names the classic theme.

#include <string_view>

// True when the value ends in "Windows Classic.theme", ignoring case; the value
// is usually a full path.
bool IsClassicThemeName(std::string_view value);
