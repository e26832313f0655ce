// Reads the visible dialogs on the wine desktop from outside, for the whole-program
// tests: one line per dialog and one per visible child control, with screen
// rectangles and the ANSI (GBK) text as hex ("-" when empty):
//   window LEFT TOP RIGHT BOTTOM TEXT
//   ID LEFT TOP RIGHT BOTTOM TEXT
#include <windows.h>

#include <cstdio>

namespace {

void PrintWindow(HWND hWnd, const char* head) {
    // WM_GETTEXT, not the window's caption: an edit box keeps its text to itself.
    char text[2048] = {};
    DWORD_PTR copied = 0;
    ::SendMessageTimeoutA(hWnd, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                          SMTO_NORMAL, 30000, &copied);
    RECT rect{};
    ::GetWindowRect(hWnd, &rect);
    std::printf("%s %ld %ld %ld %ld ", head, rect.left, rect.top, rect.right, rect.bottom);
    for (const char* c = text; *c; ++c)
        std::printf("%02x", static_cast<unsigned char>(*c));
    std::printf("%s\n", *text ? "" : "-");
}

BOOL CALLBACK PrintChild(HWND child, LPARAM) {
    // A message box keeps the buttons and the icon it does not use, hidden.
    if (::IsWindowVisible(child)) {
        char id[16];
        std::snprintf(id, sizeof id, "%d", ::GetDlgCtrlID(child));
        PrintWindow(child, id);
    }
    return TRUE;
}

BOOL CALLBACK PrintDialog(HWND hWnd, LPARAM) {
    char windowClass[16] = {};
    ::GetClassNameA(hWnd, windowClass, sizeof windowClass);
    if (::IsWindowVisible(hWnd) && lstrcmpA(windowClass, "#32770") == 0) {
        PrintWindow(hWnd, "window");
        ::EnumChildWindows(hWnd, &PrintChild, 0);
    }
    return TRUE;
}

} // namespace

int main() {
    ::EnumWindows(&PrintDialog, 0);
    return 0;
}
