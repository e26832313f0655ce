#include "CWnd.h"

#include "CMenu.h"
#include "CWinApp.h"
#include "HandleMap.h"

IMPLEMENT_DYNAMIC(CWnd, CObject)

namespace {

HandleMap<HWND, CWnd>& WindowMap() {
    static HandleMap<HWND, CWnd> map;
    return map;
}

// The message being handled, for Default().
struct CurrentMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
thread_local CurrentMessage t_current{};

bool IsCtlColor(UINT message) {
    return message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC;
}

} // namespace

const MessageMap* CWnd::GetThisMessageMap() {
    static const MessageMapEntry entries[] = {{0, 0, 0, 0, nullptr}};
    static const MessageMap map = {nullptr, entries};
    return &map;
}

const MessageMap* CWnd::GetMessageMap() const {
    return GetThisMessageMap();
}

CWnd::~CWnd() {
    DestroyWindow();
}

CWnd* CWnd::FromHandle(HWND hWnd) {
    return WindowMap().Find(hWnd);
}

void CWnd::Detach() {
    WindowMap().Remove(m_hWnd, this);
    m_hWnd = nullptr;
}

BOOL CWnd::SubclassWindow(HWND hWnd) {
    if (!hWnd || FromHandle(hWnd))
        return FALSE;
    DestroyWindow();
    if (!WindowMap().Add(hWnd, this))
        return FALSE;
    m_hWnd = hWnd;
    PreSubclassWindow();
    m_pfnSuper = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProcEntry)));
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent) {
    HWND control = ::GetDlgItem(parent->m_hWnd, static_cast<int>(id));
    return control ? SubclassWindow(control) : FALSE;
}

BOOL CWnd::CreateEx(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                    const RECT& rect, HWND parent, UINT id) {
    HINSTANCE instance = ::GetModuleHandleA(nullptr);
    HWND hWnd = ::CreateWindowExA(
        exStyle, className, windowName, style, rect.left, rect.top, rect.right - rect.left,
        rect.bottom - rect.top, parent,
        reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), instance, nullptr);
    if (!hWnd)
        return FALSE;
    if (!SubclassWindow(hWnd)) {
        ::DestroyWindow(hWnd);
        return FALSE;
    }
    return TRUE;
}

BOOL CWnd::DestroyWindow() {
    if (!m_hWnd)
        return FALSE;
    HWND hWnd = m_hWnd;
    BOOL done = ::DestroyWindow(hWnd);
    // A window of another thread, or one already gone, is only forgotten.
    if (m_hWnd == hWnd)
        Detach();
    return done;
}

LRESULT CALLBACK CWnd::WindowProcEntry(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* wnd = FromHandle(hWnd);
    if (!wnd)
        return ::DefWindowProcA(hWnd, message, wParam, lParam);
    // No C++ exception crosses into the system's window machinery.
    try {
        return wnd->WindowProc(message, wParam, lParam);
    } catch (...) {
        return 0;
    }
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    CurrentMessage saved = t_current;
    t_current = {message, wParam, lParam};
    LRESULT result = 0;
    if (!OnWndMsg(message, wParam, lParam, &result))
        result = DefWindowProc(message, wParam, lParam);
    t_current = saved;
    if (message == WM_NCDESTROY) {
        if (m_pfnSuper)
            ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
        m_pfnSuper = nullptr;
        Detach();
    }
    return result;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (OnMenuItem(message, lParam))
        return TRUE;
    if (m_pfnSuper)
        return ::CallWindowProcA(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() {
    return DefWindowProc(t_current.message, t_current.wParam, t_current.lParam);
}

BOOL CWnd::PreTranslateMessage(MSG*) {
    return FALSE;
}

const MessageMapEntry* CWnd::FindEntry(const MessageMap* map, UINT message, UINT code, UINT id) {
    for (; map; map = map->base ? map->base() : nullptr) {
        for (const MessageMapEntry* e = map->entries; e->crack; ++e) {
            if (e->message != message)
                continue;
            bool notification = message == WM_COMMAND || message == WM_NOTIFY;
            bool reflected =
                message == WM_REFLECT_BASE + WM_COMMAND || message == WM_REFLECT_BASE + WM_NOTIFY;
            if ((notification || reflected) && e->code != code)
                continue;
            if (notification && (id < e->idFirst || id > e->idLast))
                continue;
            return e;
        }
    }
    return nullptr;
}

BOOL CWnd::DispatchEntry(UINT message, UINT code, UINT id, WPARAM wParam, LPARAM lParam,
                         LRESULT* result) {
    const MessageMapEntry* entry = FindEntry(GetMessageMap(), message, code, id);
    return entry ? entry->crack(this, wParam, lParam, result) : FALSE;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (OnNotificationFromChild(message, wParam, lParam, result))
        return TRUE;
    switch (message) {
    case WM_COMMAND: {
        HWND control = reinterpret_cast<HWND>(lParam);
        if (control && m_bLockNotify)
            return TRUE; // ignored while a data exchange runs
        return DispatchEntry(WM_COMMAND, HIWORD(wParam), LOWORD(wParam), wParam, lParam, result);
    }
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (m_bLockNotify)
            return TRUE;
        return DispatchEntry(WM_NOTIFY, header->code, static_cast<UINT>(header->idFrom), wParam,
                             lParam, result);
    }
    default:
        break;
    }
    if (IsCtlColor(message)) {
        MSG original{m_hWnd, message, wParam, lParam, 0, {}};
        return DispatchEntry(WM_CTLCOLOR, 0, 0, wParam, reinterpret_cast<LPARAM>(&original),
                             result);
    }
    return DispatchEntry(message, 0, 0, wParam, lParam, result);
}

// Gives the control named by a notification the first chance at it.
BOOL CWnd::OnNotificationFromChild(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    HWND child = nullptr;
    switch (message) {
    case WM_COMMAND:
        child = reinterpret_cast<HWND>(lParam);
        if (child && m_bLockNotify)
            return FALSE;
        break;
    case WM_NOTIFY:
        child = reinterpret_cast<const NMHDR*>(lParam)->hwndFrom;
        break;
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item->CtlType == ODT_MENU)
            return FALSE;
        child = item->hwndItem;
        break;
    }
    case WM_MEASUREITEM: {
        const auto* item = reinterpret_cast<const MEASUREITEMSTRUCT*>(lParam);
        if (item->CtlType == ODT_MENU)
            return FALSE;
        child = ::GetDlgItem(m_hWnd, static_cast<int>(item->CtlID));
        break;
    }
    default:
        if (!IsCtlColor(message))
            return FALSE;
        child = reinterpret_cast<HWND>(lParam);
        break;
    }
    if (!child || child == m_hWnd)
        return FALSE;
    CWnd* control = FromHandle(child);
    return control ? control->OnChildNotify(message, wParam, lParam, result) : FALSE;
}

// A draw request names its menu; a measure request only its item, so the menu
// holding that item answers.
BOOL CWnd::OnMenuItem(UINT message, LPARAM lParam) {
    if (message == WM_DRAWITEM) {
        auto* item = reinterpret_cast<LPDRAWITEMSTRUCT>(lParam);
        CMenu* menu = item->CtlType == ODT_MENU
                          ? CMenu::FromHandle(reinterpret_cast<HMENU>(item->hwndItem))
                          : nullptr;
        if (menu)
            menu->DrawItem(item);
        return menu != nullptr;
    }
    if (message == WM_MEASUREITEM) {
        auto* item = reinterpret_cast<LPMEASUREITEMSTRUCT>(lParam);
        CMenu* menu = item->CtlType == ODT_MENU ? CMenu::HoldingItem(item->itemData) : nullptr;
        if (menu)
            menu->MeasureItem(item);
        return menu != nullptr;
    }
    return FALSE;
}

BOOL CWnd::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    return ReflectChildNotify(message, wParam, lParam, result);
}

BOOL CWnd::ReflectChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    switch (message) {
    case WM_COMMAND:
        return DispatchEntry(WM_REFLECT_BASE + WM_COMMAND, HIWORD(wParam), 0, wParam, lParam,
                             result);
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        return DispatchEntry(WM_REFLECT_BASE + WM_NOTIFY, header->code, 0, wParam, lParam, result);
    }
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
        return DispatchEntry(WM_REFLECT_BASE + message, 0, 0, wParam, lParam, result);
    default:
        if (IsCtlColor(message)) {
            MSG original{m_hWnd, message, wParam, lParam, 0, {}};
            return DispatchEntry(WM_REFLECT_BASE + WM_CTLCOLOR, 0, 0, wParam,
                                 reinterpret_cast<LPARAM>(&original), result);
        }
        return FALSE;
    }
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
}

CString WindowText(HWND hWnd) {
    CString text;
    int length = ::GetWindowTextLengthA(hWnd);
    char* buffer = text.GetBuffer(length + 1);
    text.ReleaseBuffer(::GetWindowTextA(hWnd, buffer, length + 1));
    return text;
}

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add) {
    DWORD style = GetStyle();
    DWORD changed = (style & ~remove) | add;
    if (changed == style)
        return FALSE;
    ::SetWindowLongPtrA(m_hWnd, GWL_STYLE, static_cast<LONG_PTR>(changed));
    return TRUE;
}

HICON CWnd::SetIcon(HICON icon, BOOL big) {
    return reinterpret_cast<HICON>(
        SendMessage(WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon)));
}

int CWnd::MessageBox(const char* text, const char* caption, UINT type) {
    return ::MessageBoxA(m_hWnd, text, caption ? caption : AfxGetAppName(), type);
}
