// The floor for start-up and memory: the panel's own dialog template (its 24 controls and
// its CJK font), a tooltip window with one tool and the panel's text on each of the 18
// switching buttons, as the panel makes them, and one 30 ms timer that does nothing. Plain
// Win32, no framework, no sockets: what a dialog program with these controls costs.

#include "resource.h"

#include <windows.h>

#include <commctrl.h>

namespace {

constexpr UINT_PTR kTimer = 1;
const char kTip[] = "点击按钮改变继电器状态";

void AddTip(HWND hButton) {
    HWND hTip = ::CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hButton, nullptr,
                                  ::GetModuleHandleA(nullptr), nullptr);
    TTTOOLINFOA ti{};
    ti.cbSize = TTTOOLINFOA_V2_SIZE;
    ti.hwnd = hButton;
    ti.uId = 1;
    ::GetClientRect(hButton, &ti.rect);
    ti.lpszText = const_cast<LPSTR>(kTip);
    ::SendMessageA(hTip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
    ::SendMessageA(hTip, TTM_SETMAXTIPWIDTH, 0, 400);
}

INT_PTR CALLBACK FloorProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        // Before the dialog shows, so the caption tells the floor from the panel.
        ::SetWindowTextA(hWnd, "Kestrel controls floor");
        for (int id = IDC_CHANNEL1; id <= IDC_CHANNEL16; ++id)
            AddTip(::GetDlgItem(hWnd, id));
        AddTip(::GetDlgItem(hWnd, IDC_ALL_ON));
        AddTip(::GetDlgItem(hWnd, IDC_ALL_OFF));
        ::SetTimer(hWnd, kTimer, 30, nullptr);
        return TRUE;
    case WM_TIMER:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK)
            ::EndDialog(hWnd, LOWORD(wParam));
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&icc);
    return static_cast<int>(
        ::DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_RELAY_PANEL), nullptr, &FloorProc, 0));
}
