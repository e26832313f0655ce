#pragma once
// The operating-system kind that decides the menu drawing style, from the
// platform's version numbers alone.

#include <cstdint>

enum OsKind : std::int32_t {
    OS_WIN32S = 0,   // 16-bit Windows with the 32-bit extension
    OS_NT_OTHER = 1, // NT 3.x and everything after XP
    OS_WIN95 = 2,
    OS_WIN98 = 3,
    OS_WINME = 4,
    OS_NT4 = 5,
    OS_WIN2000 = 6,
    OS_WINXP = 7,
};

// versionWord is the platform version word (top bit set for the 9x family, major
// version in the low byte); major and minor come from the extended version query
// (zero when it failed).
OsKind DecideOsKind(std::uint32_t versionWord, std::uint32_t major, std::uint32_t minor);
