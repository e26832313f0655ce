#include "MessageBoxWatcher.h"

#include "WaitFor.h"

#include <windows.h>

namespace {

// A message box is a visible dialog-class window of this process with a static
// text item 0xFFFF.
BOOL CALLBACK FindBox(HWND hWnd, LPARAM param) {
    DWORD process = 0;
    ::GetWindowThreadProcessId(hWnd, &process);
    char cls[16] = {};
    ::GetClassNameA(hWnd, cls, sizeof cls);
    if (process != ::GetCurrentProcessId() || !::IsWindowVisible(hWnd) ||
        std::string(cls) != "#32770" || !::GetDlgItem(hWnd, 0xFFFF))
        return TRUE;
    *reinterpret_cast<HWND*>(param) = hWnd;
    return FALSE;
}

std::string TextOf(HWND hWnd) {
    char buffer[2048] = {};
    ::GetWindowTextA(hWnd, buffer, sizeof buffer);
    return buffer;
}

} // namespace

SeenMessageBox AnswerMessageBox(unsigned timeoutMs, const std::function<void()>& beforeAnswer) {
    HWND box = nullptr;
    if (!WaitFor([&] { return ::EnumWindows(&FindBox, reinterpret_cast<LPARAM>(&box)), box; },
                 timeoutMs))
        return {};
    HWND icon = ::GetDlgItem(box, 0x0440); // the box's icon static
    const SeenMessageBox seen{
        TextOf(box), TextOf(::GetDlgItem(box, 0xFFFF)),
        icon && ::IsWindowVisible(icon) && ::SendMessageA(icon, STM_GETICON, 0, 0) != 0};
    if (beforeAnswer)
        beforeAnswer();
    ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    WaitFor([&] { return !::IsWindow(box) || !::IsWindowVisible(box); });
    return seen;
}

std::future<SeenMessageBox> AnswerMessageBoxLater(unsigned timeoutMs) {
    return std::async(std::launch::async, [timeoutMs] { return AnswerMessageBox(timeoutMs); });
}
