// Looks at the running control panel from outside, under the same wine server,
// and prints what the end-to-end tests need in lines they can parse. Texts are
// printed as hex of their ANSI (GBK) bytes, "-" when empty.
//
//   probe dump            every visible top-level window of the panel's process
//                         with its child controls:
//                           window HWND CLASS LEFT TOP RIGHT BOTTOM TEXT
//                           child ID CLASS VISIBLE LEFT TOP RIGHT BOTTOM TEXT ICON
//                         (screen rectangles; ICON 1 for a static showing one)
//   probe closebox        a screen point on the panel's close box
//   probe sysmenu         the items of the panel's system menu: index, id,
//                         separator flag, text
//   probe syscommand ID   posts WM_SYSCOMMAND with ID to the panel
//
// Exit status 2 when the panel is not there, 1 for a bad command line, 3 or 4
// when the close box, the menu or the posted message could not be had.

#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const char kPanelCaption[] = "Kestrel V1.35";

std::string Hex(const std::string& text) {
    if (text.empty())
        return "-";
    std::string out;
    char pair[3];
    for (unsigned char c : text) {
        std::snprintf(pair, sizeof pair, "%02x", c);
        out += pair;
    }
    return out;
}

std::string TextOf(HWND hWnd) {
    char buffer[2048] = {};
    ::SendMessageA(hWnd, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer));
    return buffer;
}

std::string ClassOf(HWND hWnd) {
    char buffer[64] = {};
    ::GetClassNameA(hWnd, buffer, sizeof buffer);
    return buffer;
}

void PrintRect(HWND hWnd) {
    RECT rect{};
    ::GetWindowRect(hWnd, &rect);
    std::printf(" %ld %ld %ld %ld", rect.left, rect.top, rect.right, rect.bottom);
}

BOOL CALLBACK PrintChild(HWND child, LPARAM) {
    // Only an icon static answers STM_GETICON with a handle; a message box
    // without an icon keeps its icon static (0x0440) empty.
    bool visible = ::IsWindowVisible(child);
    bool icon =
        visible && ::SendMessageA(child, STM_GETICON, 0, 0) != 0 && ClassOf(child) == "Static";
    std::printf("child %d %s %d", ::GetDlgCtrlID(child), ClassOf(child).c_str(), visible);
    PrintRect(child);
    std::printf(" %s %d\n", Hex(TextOf(child)).c_str(), icon);
    return TRUE;
}

BOOL CALLBACK PrintWindowOfProcess(HWND hWnd, LPARAM process) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(hWnd, &owner);
    if (owner != static_cast<DWORD>(process) || !::IsWindowVisible(hWnd))
        return TRUE;
    std::printf("window %p %s", static_cast<void*>(hWnd), ClassOf(hWnd).c_str());
    PrintRect(hWnd);
    std::printf(" %s\n", Hex(TextOf(hWnd)).c_str());
    ::EnumChildWindows(hWnd, &PrintChild, 0);
    return TRUE;
}

int Dump(HWND panel) {
    DWORD process = 0;
    ::GetWindowThreadProcessId(panel, &process);
    std::printf("panel %p\n", static_cast<void*>(panel));
    ::EnumWindows(&PrintWindowOfProcess, static_cast<LPARAM>(process));
    return 0;
}

// The window has no frame of a window manager, so the close box is wherever
// the panel's own hit test says it is: search the top right corner for it
// (every other pixel is close enough).
int CloseBox(HWND panel) {
    RECT rect{};
    ::GetWindowRect(panel, &rect);
    RECT box{LONG_MAX, LONG_MAX, LONG_MIN, LONG_MIN};
    for (LONG y = rect.top; y < rect.top + 60 && y < rect.bottom; y += 2)
        for (LONG x = std::max(rect.left, rect.right - 80); x < rect.right; x += 2)
            if (::SendMessageA(panel, WM_NCHITTEST, 0, MAKELPARAM(x, y)) == HTCLOSE) {
                box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x),
                       std::max(box.bottom, y)};
            }
    if (box.left > box.right)
        return 3;
    std::printf("closebox %ld %ld\n", (box.left + box.right) / 2, (box.top + box.bottom) / 2);
    return 0;
}

std::string g_reply;

LRESULT CALLBACK ReplyProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA) {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        g_reply.assign(static_cast<const char*>(data->lpData), data->cbData - 1);
        return TRUE;
    }
    return ::DefWindowProcA(hWnd, message, wParam, lParam);
}

// Menus cannot be read across processes: a window hook from probe_hook.dll
// (beside this program) reads the system menu inside the panel's thread and
// sends the lines back to a window of ours.
int SystemMenu(HWND panel) {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, sizeof path);
    std::string dll = path;
    dll = dll.substr(0, dll.find_last_of("\\/") + 1) + "probe_hook.dll";
    HMODULE module = ::LoadLibraryA(dll.c_str());
    FARPROC exported = module ? ::GetProcAddress(module, "ProbeCallWndProc") : nullptr;
    if (!exported)
        return 3;
    // Through void(*)(), the one function pointer type any other converts to.
    auto hookProc = reinterpret_cast<HOOKPROC>(reinterpret_cast<void (*)()>(exported));

    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = &ReplyProc;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "KestrelProbeReply";
    ::RegisterClassA(&windowClass);
    HWND reply = ::CreateWindowA(windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                 nullptr, windowClass.hInstance, nullptr);
    HHOOK hook = ::SetWindowsHookExA(WH_CALLWNDPROC, hookProc, module,
                                     ::GetWindowThreadProcessId(panel, nullptr));
    if (!reply || !hook)
        return 3;
    DWORD_PTR result = 0;
    ::SendMessageTimeoutA(panel, ::RegisterWindowMessageA("KestrelProbeDescribeSystemMenu"),
                          reinterpret_cast<WPARAM>(reply), 0, SMTO_NORMAL, 10000, &result);
    ::UnhookWindowsHookEx(hook);
    ::DestroyWindow(reply);
    if (g_reply.empty())
        return 3;
    std::fputs(g_reply.c_str(), stdout);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return 1;
    const std::string command = argv[1];
    HWND panel = ::FindWindowA(nullptr, kPanelCaption);
    if (!panel)
        return 2;
    int status = 1;
    if (command == "dump")
        status = Dump(panel);
    else if (command == "closebox")
        status = CloseBox(panel);
    else if (command == "sysmenu")
        status = SystemMenu(panel);
    else if (command == "syscommand" && argc == 3)
        status = ::PostMessageA(panel, WM_SYSCOMMAND, std::strtoul(argv[2], nullptr, 0), 0) ? 0 : 4;
    std::fflush(stdout);
    return status;
}
