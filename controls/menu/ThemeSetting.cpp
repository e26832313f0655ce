#include "ThemeSetting.h"

#include "ClassicTheme.h"

#include <cstring>
#include <string_view>

BOOL ReadClassicThemeSetting() {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Plus!\\Themes\\Current", 0,
                        KEY_READ, &key) != ERROR_SUCCESS)
        return FALSE;
    char value[260];
    DWORD size = sizeof value;
    const LONG status =
        ::RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
    ::RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return FALSE;
    // The stored text need not carry its terminator.
    return IsClassicThemeName(std::string_view(value, strnlen(value, size)));
}
