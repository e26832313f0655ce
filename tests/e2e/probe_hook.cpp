// Loaded into the panel's process by probe.exe's window hook: a window's menus
// can only be read from inside the process that owns them. On the registered
// message it describes the window's system menu and sends the lines back to the
// reply window (wParam) with WM_COPYDATA.

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

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

} // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK
    ProbeCallWndProc(int code, WPARAM wParam, LPARAM lParam) {
    static const UINT describe = ::RegisterWindowMessageA("KestrelProbeDescribeSystemMenu");
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && call->message == describe) {
        std::string lines = DescribeSystemMenu(call->hwnd);
        COPYDATASTRUCT data{0, static_cast<DWORD>(lines.size() + 1), lines.data()};
        ::SendMessageA(reinterpret_cast<HWND>(call->wParam), WM_COPYDATA,
                       reinterpret_cast<WPARAM>(call->hwnd), reinterpret_cast<LPARAM>(&data));
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}
