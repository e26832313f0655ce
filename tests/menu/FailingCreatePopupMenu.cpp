#include "FailingCreatePopupMenu.h"

#include <windows.h>

namespace {

int g_successesLeft = -1;

HMENU WINAPI CreatePopupMenuOrFail() {
    if (g_successesLeft == 0) {
        g_successesLeft = -1;
        return nullptr;
    }
    if (g_successesLeft > 0)
        --g_successesLeft;
    static const auto real = reinterpret_cast<HMENU(WINAPI*)()>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("user32.dll"), "CreatePopupMenu")));
    return real();
}

} // namespace

extern "C" {
HMENU(WINAPI* __imp_CreatePopupMenu)() = CreatePopupMenuOrFail;
}

void FailCreatePopupMenuAfter(int successes) {
    g_successesLeft = successes;
}
