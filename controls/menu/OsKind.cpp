#include "OsKind.h"

OsKind DecideOsKind(std::uint32_t versionWord, std::uint32_t major, std::uint32_t minor) {
    const bool nineXFamily = (versionWord & 0x80000000u) != 0;
    if (!nineXFamily) {
        if (major == 4)
            return OS_NT4;
        if (major == 5 && minor == 0)
            return OS_WIN2000;
        if (major == 5 && minor == 1)
            return OS_WINXP;
        return OS_NT_OTHER;
    }
    if ((versionWord & 0xFF) < 4)
        return OS_WIN32S;
    if (major == 4 && minor == 10)
        return OS_WIN98;
    if (major == 4 && minor == 90)
        return OS_WINME;
    return OS_WIN95;
}
