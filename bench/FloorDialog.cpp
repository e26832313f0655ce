// The benchmarks' floor: one dialog, one 30 ms timer that does nothing. Escape or the
// close box ends it.

#include <windows.h>

namespace {

constexpr UINT_PTR kTimer = 1;

INT_PTR CALLBACK FloorProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
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
    return static_cast<int>(
        ::DialogBoxParamA(instance, MAKEINTRESOURCEA(1), nullptr, &FloorProc, 0));
}
