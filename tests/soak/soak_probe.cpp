// Drives and watches the running control panel from outside, under the same wine server,
// for the reliability suite and the benchmarks. Texts are printed as hex of their ANSI
// bytes, "-" when empty.
//
//   soak_probe ping SECONDS   a WM_NULL round trip every 50 ms; prints the count, the
//                             slowest in ms and how many took a second or more
//   soak_probe connect        presses Connect, only if the address box holds 127.0.0.1
//   soak_probe boxes          the visible message boxes of the panel: caption, text
//   soak_probe answer         presses OK in the panel's message box
//   soak_probe flaps N        N times: Connect, the one message box and its text, OK;
//                             after each cycle waits for a line on standard input
//   soak_probe about N        opens the About box from the system menu and closes it, N times
//   soak_probe windows        how many windows the panel's process has, hidden ones too
//   soak_probe gdiroom        how many more GDI objects the panel's process can create
//   soak_probe texts          the address and port boxes; the 18 buttons' screen
//                             rectangles and captions
//
// Exit status 2 when there is no panel, 3 when something awaited did not come, 5 when
// Connect was refused because the address is not loopback, 1 for a bad command line.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const char kPanelCaption[] = "Kestrel V1.35";
constexpr int IDC_IP = 1000;
constexpr int IDC_PORT = 1001;
constexpr int IDC_CHANNEL1 = 1003;
constexpr int IDC_CONNECT = 1022;
constexpr WPARAM IDM_ABOUTBOX = 0x10;
constexpr int kMessageTextId = 0xFFFF;
constexpr DWORD kWaitMs = 15000;

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

bool IsDialogClass(HWND hWnd) {
    char name[16] = {};
    ::GetClassNameA(hWnd, name, sizeof name);
    return std::string(name) == "#32770";
}

BOOL CALLBACK CollectOwnWindows(HWND hWnd, LPARAM param) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(hWnd, &owner);
    if (owner == g_process)
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(hWnd);
    return TRUE;
}

std::vector<HWND> TopWindows() {
    std::vector<HWND> windows;
    ::EnumWindows(&CollectOwnWindows, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

// Visible dialogs of the panel's process other than the panel: message boxes, About.
std::vector<HWND> OtherDialogs() {
    std::vector<HWND> dialogs;
    for (HWND hWnd : TopWindows())
        if (hWnd != g_panel && ::IsWindowVisible(hWnd) && IsDialogClass(hWnd))
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

void PrintBoxes() {
    for (HWND box : MessageBoxes())
        std::printf("box %s %s\n", Hex(TextOf(box)).c_str(),
                    Hex(TextOf(::GetDlgItem(box, kMessageTextId))).c_str());
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

std::string g_reply;

LRESULT CALLBACK ReplyProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA) {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        g_reply.assign(static_cast<const char*>(data->lpData), data->cbData - 1);
        return TRUE;
    }
    return ::DefWindowProcA(hWnd, message, wParam, lParam);
}

// The count runs inside the panel's UI thread, through soak_hook.dll beside this program.
int GdiRoom() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, sizeof path);
    std::string dll = path;
    dll = dll.substr(0, dll.find_last_of("\\/") + 1) + "soak_hook.dll";
    HMODULE module = ::LoadLibraryA(dll.c_str());
    FARPROC exported = module ? ::GetProcAddress(module, "SoakCallWndProc") : nullptr;
    if (!exported)
        return 3;
    auto hookProc = reinterpret_cast<HOOKPROC>(reinterpret_cast<void (*)()>(exported));
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = &ReplyProc;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "KestrelSoakReply";
    ::RegisterClassA(&windowClass);
    HWND reply = ::CreateWindowA(windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                 nullptr, windowClass.hInstance, nullptr);
    HHOOK hook = ::SetWindowsHookExA(WH_CALLWNDPROC, hookProc, module,
                                     ::GetWindowThreadProcessId(g_panel, nullptr));
    if (!reply || !hook)
        return 3;
    DWORD_PTR result = 0;
    ::SendMessageTimeoutA(g_panel, ::RegisterWindowMessageA("KestrelSoakGdiRoom"),
                          reinterpret_cast<WPARAM>(reply), 0, SMTO_NORMAL, 30000, &result);
    ::UnhookWindowsHookEx(hook);
    ::DestroyWindow(reply);
    if (g_reply.empty())
        return 3;
    std::printf("gdiroom %s\n", g_reply.c_str());
    return 0;
}

int Texts() {
    std::printf("ip %s\nport %s\n", Hex(TextOf(::GetDlgItem(g_panel, IDC_IP))).c_str(),
                Hex(TextOf(::GetDlgItem(g_panel, IDC_PORT))).c_str());
    for (int n = 1; n <= 18; ++n) {
        HWND button = ::GetDlgItem(g_panel, IDC_CHANNEL1 + n - 1);
        RECT rect{};
        ::GetWindowRect(button, &rect);
        std::printf("button %d %ld %ld %ld %ld %s\n", n, rect.left, rect.top, rect.right,
                    rect.bottom, Hex(TextOf(button)).c_str());
    }
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
    if (command == "ping" && number > 0)
        status = Ping(number);
    else if (command == "connect")
        status = PressConnect() ? 0 : 5;
    else if (command == "boxes") {
        PrintBoxes();
        status = 0;
    } else if (command == "answer")
        status = Answer() ? 0 : 3;
    else if (command == "flaps" && number > 0)
        status = Flaps(number);
    else if (command == "about" && number > 0)
        status = About(number);
    else if (command == "windows")
        status = Windows();
    else if (command == "gdiroom")
        status = GdiRoom();
    else if (command == "texts")
        status = Texts();
    std::fflush(stdout);
    return status;
}
