// Looks at and drives the running control panel from outside, under the same wine
// server, for the end-to-end tests, the reliability suite and the benchmarks. Texts
// are printed as hex of their ANSI (GBK) bytes, "-" when empty.
//
//   panelprobe dump           every visible top-level window of the panel's process
//                             with its child controls:
//                               window HWND CLASS LEFT TOP RIGHT BOTTOM TEXT
//                               child ID CLASS VISIBLE LEFT TOP RIGHT BOTTOM TEXT ICON
//                             (screen rectangles; ICON 1 for a static showing one)
//   panelprobe closebox       a screen point on the panel's close box
//   panelprobe sysmenu        the items of the panel's system menu: index, id,
//                             separator flag, text
//   panelprobe syscommand ID  posts WM_SYSCOMMAND with ID to the panel
//   panelprobe ping SECONDS   a WM_NULL round trip every 50 ms; prints the count, the
//                             slowest in ms and how many took a second or more
//   panelprobe connect        presses Connect, only if the address box holds 127.0.0.1
//   panelprobe answer         presses OK in the panel's message box
//   panelprobe flaps N        N times: Connect, the one message box and its text, OK;
//                             after each cycle waits for a line on standard input
//   panelprobe about N        opens the About box from the system menu and closes it,
//                             N times
//   panelprobe windows        how many windows the panel's process has, hidden ones too
//   panelprobe gdiroom        how many more GDI objects the panel's process can create
//   panelprobe threads        how many of the panel's threads started in kestrel.exe
//
// Exit status 2 when there is no panel, 1 for a bad command line, 3 when something
// awaited or asked for did not come, 4 when a message could not be posted, 5 when
// Connect was refused because the address is not loopback.

#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const char kPanelCaption[] = "Kestrel V1.35";
constexpr int IDC_IP = 1000;
constexpr int IDC_CONNECT = 1022;
constexpr WPARAM IDM_ABOUTBOX = 0x10;
constexpr int kMessageTextId = 0xFFFF;
constexpr DWORD kWaitMs = 15000;

// The questions panelprobe_hook.dll answers inside the panel's process.
constexpr LPARAM kAskSystemMenu = 1;
constexpr LPARAM kAskGdiRoom = 2;
constexpr LPARAM kAskOwnThreads = 3;

HWND g_panel = nullptr;
DWORD g_process = 0;

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
    std::vector<char> buffer(4096);
    DWORD_PTR copied = 0;
    ::SendMessageTimeoutA(hWnd, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                          SMTO_NORMAL, 5000, &copied);
    return std::string(buffer.data());
}

std::string ClassOf(HWND hWnd) {
    char buffer[64] = {};
    ::GetClassNameA(hWnd, buffer, sizeof buffer);
    return buffer;
}

BOOL CALLBACK CollectOwnWindows(HWND hWnd, LPARAM param) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(hWnd, &owner);
    if (owner == g_process)
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(hWnd);
    return TRUE;
}

// The top-level windows of the panel's process, hidden ones too.
std::vector<HWND> TopWindows() {
    std::vector<HWND> windows;
    ::EnumWindows(&CollectOwnWindows, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

// Visible dialogs of the panel's process other than the panel: message boxes, About.
std::vector<HWND> OtherDialogs() {
    std::vector<HWND> dialogs;
    for (HWND hWnd : TopWindows())
        if (hWnd != g_panel && ::IsWindowVisible(hWnd) && ClassOf(hWnd) == "#32770")
            dialogs.push_back(hWnd);
    return dialogs;
}

std::vector<HWND> MessageBoxes() {
    std::vector<HWND> boxes;
    for (HWND hWnd : OtherDialogs())
        if (::GetDlgItem(hWnd, kMessageTextId))
            boxes.push_back(hWnd);
    return boxes;
}

bool WaitUntil(DWORD timeoutMs, const auto& condition) {
    const ULONGLONG end = ::GetTickCount64() + timeoutMs;
    while (!condition()) {
        if (::GetTickCount64() > end)
            return false;
        ::Sleep(10);
    }
    return true;
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

int Dump() {
    std::printf("panel %p\n", static_cast<void*>(g_panel));
    for (HWND hWnd : TopWindows()) {
        if (!::IsWindowVisible(hWnd))
            continue;
        std::printf("window %p %s", static_cast<void*>(hWnd), ClassOf(hWnd).c_str());
        PrintRect(hWnd);
        std::printf(" %s\n", Hex(TextOf(hWnd)).c_str());
        ::EnumChildWindows(hWnd, &PrintChild, 0);
    }
    return 0;
}

// The window has no frame of a window manager, so the close box is wherever
// the panel's own hit test says it is: search the top right corner for it
// (every other pixel is close enough).
int CloseBox() {
    RECT rect{};
    ::GetWindowRect(g_panel, &rect);
    RECT box{LONG_MAX, LONG_MAX, LONG_MIN, LONG_MIN};
    for (LONG y = rect.top; y < rect.top + 60 && y < rect.bottom; y += 2)
        for (LONG x = std::max(rect.left, rect.right - 80); x < rect.right; x += 2)
            if (::SendMessageA(g_panel, WM_NCHITTEST, 0, MAKELPARAM(x, y)) == HTCLOSE) {
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

// Menus and the GDI table cannot be read across processes: a window hook from
// panelprobe_hook.dll (beside this program) answers the question inside the panel's
// thread and sends the answer back to a window of ours. Empty when none came.
std::string AskInsidePanel(LPARAM question) {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, sizeof path);
    std::string dll = path;
    dll = dll.substr(0, dll.find_last_of("\\/") + 1) + "panelprobe_hook.dll";
    HMODULE module = ::LoadLibraryA(dll.c_str());
    FARPROC exported = module ? ::GetProcAddress(module, "PanelProbeCallWndProc") : nullptr;
    if (!exported)
        return "";
    // Through void(*)(), the one function pointer type any other converts to.
    auto hookProc = reinterpret_cast<HOOKPROC>(reinterpret_cast<void (*)()>(exported));

    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = &ReplyProc;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "KestrelPanelProbeReply";
    ::RegisterClassA(&windowClass);
    HWND reply = ::CreateWindowA(windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                 nullptr, windowClass.hInstance, nullptr);
    HHOOK hook = ::SetWindowsHookExA(WH_CALLWNDPROC, hookProc, module,
                                     ::GetWindowThreadProcessId(g_panel, nullptr));
    if (!reply || !hook)
        return "";
    DWORD_PTR result = 0;
    ::SendMessageTimeoutA(g_panel, ::RegisterWindowMessageA("KestrelPanelProbeAsk"),
                          reinterpret_cast<WPARAM>(reply), question, SMTO_NORMAL, 30000, &result);
    ::UnhookWindowsHookEx(hook);
    ::DestroyWindow(reply);
    return g_reply;
}

int SystemMenu() {
    const std::string lines = AskInsidePanel(kAskSystemMenu);
    if (lines.empty())
        return 3;
    std::fputs(lines.c_str(), stdout);
    return 0;
}

// Prints "<name> <count>" for a count the hook answers inside the panel.
int AskCount(const char* name, LPARAM question) {
    const std::string count = AskInsidePanel(question);
    if (count.empty())
        return 3;
    std::printf("%s %s\n", name, count.c_str());
    return 0;
}

int Ping(int seconds) {
    int count = 0;
    int slow = 0;
    ULONGLONG slowest = 0;
    const ULONGLONG end = ::GetTickCount64() + static_cast<ULONGLONG>(seconds) * 1000;
    while (::GetTickCount64() < end) {
        const ULONGLONG start = ::GetTickCount64();
        DWORD_PTR result = 0;
        LRESULT answered =
            ::SendMessageTimeoutA(g_panel, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result);
        const ULONGLONG took = ::GetTickCount64() - start;
        if (!answered && !::IsWindow(g_panel)) {
            std::printf("gone\n");
            return 3;
        }
        ++count;
        slowest = took > slowest ? took : slowest;
        if (!answered || took >= 1000)
            ++slow;
        ::Sleep(50);
    }
    std::printf("pings %d slowest_ms %llu slow %d\n", count, slowest, slow);
    return 0;
}

bool PressConnect() {
    if (TextOf(::GetDlgItem(g_panel, IDC_IP)) != "127.0.0.1")
        return false;
    ::PostMessageA(g_panel, WM_COMMAND, MAKEWPARAM(IDC_CONNECT, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(g_panel, IDC_CONNECT)));
    return true;
}

bool Answer() {
    std::vector<HWND> boxes = MessageBoxes();
    if (boxes.empty())
        return false;
    ::PostMessageA(boxes.front(), WM_COMMAND, IDOK, 0);
    return WaitUntil(kWaitMs, [&] { return !::IsWindowVisible(boxes.front()); });
}

int Flaps(int cycles) {
    for (int i = 1; i <= cycles; ++i) {
        if (!MessageBoxes().empty()) {
            std::printf("cycle %d box-before-connect\n", i);
            return 3;
        }
        if (!PressConnect())
            return 5;
        if (!WaitUntil(kWaitMs, [] { return !MessageBoxes().empty(); })) {
            std::printf("cycle %d no-box\n", i);
            return 3;
        }
        ::Sleep(50); // a second box, if any, has come by now
        std::vector<HWND> boxes = MessageBoxes();
        std::printf("cycle %d %zu %s\n", i, boxes.size(),
                    Hex(TextOf(::GetDlgItem(boxes.front(), kMessageTextId))).c_str());
        if (!Answer())
            return 3;
        std::fflush(stdout);
        char line[64];
        if (!std::fgets(line, sizeof line, stdin) || std::string(line).rfind("go", 0) != 0)
            return 0;
    }
    return 0;
}

int About(int times) {
    for (int i = 0; i < times; ++i) {
        ::PostMessageA(g_panel, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
        std::vector<HWND> about;
        if (!WaitUntil(kWaitMs, [&] { return !(about = OtherDialogs()).empty(); })) {
            std::printf("about %d did-not-open\n", i);
            return 3;
        }
        ::PostMessageA(about.front(), WM_COMMAND, IDOK, 0);
        if (!WaitUntil(kWaitMs, [&] { return OtherDialogs().empty(); })) {
            std::printf("about %d did-not-close\n", i);
            return 3;
        }
    }
    std::printf("about %d\n", times);
    return 0;
}

BOOL CALLBACK CountChild(HWND, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

int Windows() {
    int count = 0;
    for (HWND hWnd : TopWindows()) {
        ++count;
        ::EnumChildWindows(hWnd, &CountChild, reinterpret_cast<LPARAM>(&count));
    }
    std::printf("windows %d\n", count);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return 1;
    const std::string command = argv[1];
    const int number = argc > 2 ? std::atoi(argv[2]) : 0;
    g_panel = ::FindWindowA(nullptr, kPanelCaption);
    if (!g_panel)
        return 2;
    ::GetWindowThreadProcessId(g_panel, &g_process);
    int status = 1;
    if (command == "dump")
        status = Dump();
    else if (command == "closebox")
        status = CloseBox();
    else if (command == "sysmenu")
        status = SystemMenu();
    else if (command == "syscommand" && argc == 3)
        status =
            ::PostMessageA(g_panel, WM_SYSCOMMAND, std::strtoul(argv[2], nullptr, 0), 0) ? 0 : 4;
    else if (command == "ping" && number > 0)
        status = Ping(number);
    else if (command == "connect")
        status = PressConnect() ? 0 : 5;
    else if (command == "answer")
        status = Answer() ? 0 : 3;
    else if (command == "flaps" && number > 0)
        status = Flaps(number);
    else if (command == "about" && number > 0)
        status = About(number);
    else if (command == "windows")
        status = Windows();
    else if (command == "gdiroom")
        status = AskCount("gdiroom", kAskGdiRoom);
    else if (command == "threads")
        status = AskCount("threads", kAskOwnThreads);
    std::fflush(stdout);
    return status;
}
