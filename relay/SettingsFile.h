#pragma once
// The settings file "canshu.ini" in the current directory: the board's address
// and port, and the buttons' captions. Every call opens, reads or writes and
// closes the file through the private-profile functions, so nothing is cached
// and a change of the current directory moves the file.

#include "CString.h"

namespace settings {

// The current directory followed by "\canshu.ini".
CString GetSettingsPath();
// The key's value, cut to 999 characters; empty when missing.
CString GetProfileText(const char* section, const char* key, const char* path);
// Keys of section "canshu_v2"; the default when the value is missing or empty.
CString ReadProfileString(const char* key, const char* defaultValue);
UINT ReadProfileUInt(const char* key, UINT defaultValue);
// An empty value is written as the default address.
void WriteProfileString(const char* key, const char* value);
void WriteProfileUInt(const char* key, UINT value);

// The stored address and port, "192.168.1.110" and 6000 when missing.
void LoadConnectionSettings(CString& ip, UINT& port);
// Port first, then address.
void SaveConnectionSettings(const CString& ip, UINT port);

// Caption of button number 1..18 from section "canshu", else "第N路".
CString GetButtonCaption(int number);

} // namespace settings
