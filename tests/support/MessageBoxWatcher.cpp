#include "MessageBoxWatcher.h"

#include "WaitFor.h"

namespace {

struct Search {
    DWORD process;
    HWND found;
};

// A message box is a dialog-class window with a static text item 0xFFFF.
BOOL CALLBACK FindBox(HWND hWnd, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD process = 0;
    ::GetWindowThreadProcessId(hWnd, &process);
    if (process != search->process || !::IsWindowVisible(hWnd))
        return TRUE;
    char cls[16] = {};
    ::GetClassNameA(hWnd, cls, sizeof cls);
    if (std::string(cls) != "#32770" || !::GetDlgItem(hWnd, 0xFFFF))
        return TRUE;
    search->found = hWnd;
    return FALSE;
}

std::string TextOf(HWND hWnd) {
    char buffer[2048] = {};
    ::GetWindowTextA(hWnd, buffer, sizeof buffer);
    return buffer;
}

} // namespace

HWND FindMessageBox() {
    Search search{::GetCurrentProcessId(), nullptr};
    ::EnumWindows(&FindBox, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

MessageBoxWatcher::MessageBoxWatcher() : m_thread([this] { Run(); }) {}

MessageBoxWatcher::~MessageBoxWatcher() {
    m_stop = true;
    m_thread.join();
}

void MessageBoxWatcher::Run() {
    while (!m_stop) {
        HWND found = FindMessageBox();
        if (!found) {
            ::Sleep(20);
            continue;
        }
        SeenMessageBox box;
        box.caption = TextOf(found);
        box.text = TextOf(::GetDlgItem(found, 0xFFFF));
        HWND icon = ::GetDlgItem(found, 0x0440); // the box's icon static
        box.hasIcon =
            icon && ::IsWindowVisible(icon) && ::SendMessageA(icon, STM_GETICON, 0, 0) != 0;
        box.owner = ::GetWindow(found, GW_OWNER);
        if (unsigned hold = m_holdMs)
            ::Sleep(hold);
        {
            std::lock_guard lock(m_lock);
            m_seen.push_back(box);
        }
        // Answer with the first push button, as a person pressing Enter would.
        ::PostMessageA(found, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        while (!m_stop && ::IsWindow(found) && ::IsWindowVisible(found))
            ::Sleep(10);
    }
}

std::vector<SeenMessageBox> MessageBoxWatcher::Seen() const {
    std::lock_guard lock(m_lock);
    return m_seen;
}

bool MessageBoxWatcher::WaitForCount(size_t count, unsigned timeoutMs) const {
    return WaitFor([&] { return Seen().size() >= count; }, timeoutMs);
}
