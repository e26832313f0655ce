#include "ModelessDialog.h"

bool CreateModeless(CDialog& dialog, UINT templateId) {
    // TRUE for WM_INITDIALOG: the dialog manager gives the first tab stop the focus.
    HWND hWnd = ::CreateDialogParamA(
        ::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId), nullptr,
        [](HWND, UINT message, WPARAM, LPARAM) -> INT_PTR { return message == WM_INITDIALOG; }, 0);
    if (hWnd == nullptr || !dialog.SubclassWindow(hWnd))
        return false;
    dialog.OnInitDialog();
    return true;
}
