// Loaded into the panel's process by panelprobe.exe's window hook, for what can only be
// read from inside the process: a window's menus and the room left in the GDI handle
// table. On the registered message it answers the question in lParam and sends the
// answer back to the reply window (wParam) with WM_COPYDATA:
//   1  the window's system menu, one line per item: index, id, separator flag, text
//      (hex of its bytes, "-" when empty)
//   2  how many more GDI objects the process can create (creating and freeing them at
//      once); a leak shows as room lost between two counts
//   3  how many of its threads started in its own executable (not the platform's helpers)

#include "FreeGdiHandles.h"
#include "OwnThreadCount.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

constexpr LPARAM kAskSystemMenu = 1;
constexpr LPARAM kAskGdiRoom = 2;
constexpr LPARAM kAskOwnThreads = 3;

std::string Hex(const char* text) {
    if (*text == '\0')
        return "-";
    std::string out;
    char pair[3];
    for (; *text; ++text) {
        std::snprintf(pair, sizeof pair, "%02x", static_cast<unsigned char>(*text));
        out += pair;
    }
    return out;
}

std::string DescribeSystemMenu(HWND window) {
    HMENU menu = ::GetSystemMenu(window, FALSE);
    if (!menu)
        return "no-menu\n";
    std::string lines;
    int count = ::GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        char text[256] = {};
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_ID;
        ::GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info);
        ::GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        char head[64];
        std::snprintf(head, sizeof head, "item %d %u %d ", i, info.wID,
                      (info.fType & MFT_SEPARATOR) != 0);
        lines += head + Hex(text) + "\n";
    }
    return lines;
}

std::string Answer(LPARAM question, HWND window) {
    switch (question) {
    case kAskSystemMenu:
        return DescribeSystemMenu(window);
    case kAskGdiRoom:
        return std::to_string(FreeGdiHandles());
    default:
        return std::to_string(OwnThreadCount());
    }
}

} // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK
    PanelProbeCallWndProc(int code, WPARAM wParam, LPARAM lParam) {
    static const UINT ask = ::RegisterWindowMessageA("KestrelPanelProbeAsk");
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && call->message == ask && call->lParam >= kAskSystemMenu &&
        call->lParam <= kAskOwnThreads) {
        std::string answer = Answer(call->lParam, call->hwnd);
        COPYDATASTRUCT data{0, static_cast<DWORD>(answer.size() + 1), answer.data()};
        ::SendMessageA(reinterpret_cast<HWND>(call->wParam), WM_COPYDATA,
                       reinterpret_cast<WPARAM>(call->hwnd), reinterpret_cast<LPARAM>(&data));
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}
