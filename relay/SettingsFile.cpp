#include "SettingsFile.h"

#include "SettingsNames.h"

#include <windows.h>

#include <vector>

namespace {

const char kCaptionSection[] = "canshu";
const DWORD kValueBuffer = 1000; // values longer than 999 characters are cut
const DWORD kDirectoryBuffer = 500;

} // namespace

namespace settings {

CString GetSettingsPath() {
    char buffer[kDirectoryBuffer];
    DWORD length = ::GetCurrentDirectoryA(kDirectoryBuffer, buffer);
    if (length > 0 && length < kDirectoryBuffer)
        return CString(buffer, static_cast<int>(length)) + "\\canshu.ini";
    if (length >= kDirectoryBuffer) {
        // A longer directory does not fit the buffer: ask for it whole rather
        // than cut it, so the file never lands in some other folder.
        std::vector<char> whole(length + 1);
        DWORD got = ::GetCurrentDirectoryA(length + 1, whole.data());
        if (got > 0 && got <= length)
            return CString(whole.data(), static_cast<int>(got)) + "\\canshu.ini";
    }
    // The directory has no ANSI name (wine gives none past MAX_PATH): a path
    // relative to it still means this folder, where "\\canshu.ini" would be
    // the drive's root.
    return ".\\canshu.ini";
}

CString GetProfileText(const char* section, const char* key,
                                      const char* path) {
    char value[kValueBuffer] = {};
    DWORD length = ::GetPrivateProfileStringA(section, key, "", value, kValueBuffer, path);
    return CString(value, static_cast<int>(length < kValueBuffer ? length : kValueBuffer - 1));
}

CString ReadProfileString(const char* key, const char* defaultValue) {
    CString value = GetProfileText(SETTINGS_SECTION, key, GetSettingsPath());
    return value.IsEmpty() ? CString(defaultValue) : value;
}

UINT ReadProfileUInt(const char* key, UINT defaultValue) {
    CString path = GetSettingsPath();
    if (GetProfileText(SETTINGS_SECTION, key, path).IsEmpty())
        return defaultValue;
    return ::GetPrivateProfileIntA(SETTINGS_SECTION, key, static_cast<INT>(defaultValue), path);
}

void WriteProfileString(const char* key, const char* value) {
    const char* written = value && *value ? value : SETTINGS_DEFAULT_IP;
    ::WritePrivateProfileStringA(SETTINGS_SECTION, key, written, GetSettingsPath());
}

void WriteProfileUInt(const char* key, UINT value) {
    CString text;
    text.Format("%u", value);
    ::WritePrivateProfileStringA(SETTINGS_SECTION, key, text, GetSettingsPath());
}

void LoadConnectionSettings(CString& ip, UINT& port) {
    port = ReadProfileUInt(SETTINGS_KEY_PORT, SETTINGS_DEFAULT_PORT);
    ip = ReadProfileString(SETTINGS_KEY_IP, SETTINGS_DEFAULT_IP);
}

void SaveConnectionSettings(const CString& ip, UINT port) {
    WriteProfileUInt(SETTINGS_KEY_PORT, port);
    WriteProfileString(SETTINGS_KEY_IP, ip);
}

CString GetButtonCaption(int number) {
    CString key;
    key.Format("按钮名称%d", number);
    CString caption = GetProfileText(kCaptionSection, key, GetSettingsPath());
    if (caption.IsEmpty())
        caption.Format("第%d路", number);
    return caption;
}

} // namespace settings
