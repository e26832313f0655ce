#include "CWnd.h"

#include "CWinApp.h"
#include "ViewCache.h"

#include <map>
#include <mutex>

IMPLEMENT_DYNAMIC(CWnd, CObject)

BOOL (*CWnd::s_menuItemHook)(UINT message, LPARAM lParam) = nullptr;

namespace {

std::mutex g_mapLock;
std::map<HWND, CWnd*>& PermanentMap() {
    static std::map<HWND, CWnd*> map;
    return map;
}

// The message being handled, for Default().
struct CurrentMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
thread_local CurrentMessage t_current{};

const char kFrameworkClass[] = "KestrelWnd";

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
    if (m_hWnd && m_bOwnsWindow)
        DestroyWindow();
    if (m_hWnd)
        Detach();
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd) {
    std::lock_guard lock(g_mapLock);
    auto it = PermanentMap().find(hWnd);
    return it == PermanentMap().end() ? nullptr : it->second;
}

CWnd* CWnd::FromHandle(HWND hWnd) {
    if (!hWnd)
        return nullptr;
    if (CWnd* wnd = FromHandlePermanent(hWnd))
        return wnd;
    return CachedView<CWnd>(hWnd, [](CWnd& view, HWND h) { view.m_hWnd = h; }); // not owned
}

BOOL CWnd::Attach(HWND hWnd) {
    if (!hWnd || m_hWnd)
        return FALSE;
    m_hWnd = hWnd;
    std::lock_guard lock(g_mapLock);
    PermanentMap()[hWnd] = this;
    return TRUE;
}

HWND CWnd::Detach() {
    HWND hWnd = m_hWnd;
    if (hWnd) {
        std::lock_guard lock(g_mapLock);
        auto it = PermanentMap().find(hWnd);
        if (it != PermanentMap().end() && it->second == this)
            PermanentMap().erase(it);
    }
    m_hWnd = nullptr;
    m_bOwnsWindow = FALSE;
    return hWnd;
}

BOOL CWnd::SubclassWindow(HWND hWnd) {
    if (!Attach(hWnd))
        return FALSE;
    PreSubclassWindow();
    m_pfnSuper = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProcEntry)));
    m_bOwnsWindow = TRUE;
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent) {
    HWND control = ::GetDlgItem(parent->m_hWnd, static_cast<int>(id));
    return control ? SubclassWindow(control) : FALSE;
}

BOOL CWnd::CreateEx(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                    const RECT& rect, CWnd* parent, UINT id) {
    HINSTANCE instance = ::GetModuleHandleA(nullptr);
    if (!className) {
        WNDCLASSA wc{};
        if (!::GetClassInfoA(instance, kFrameworkClass, &wc)) {
            wc.style = CS_DBLCLKS;
            wc.lpfnWndProc = &WindowProcEntry;
            wc.hInstance = instance;
            wc.hCursor = ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)); // IDC_ARROW
            wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
            wc.lpszClassName = kFrameworkClass;
            ::RegisterClassA(&wc);
        }
        HWND hWnd = ::CreateWindowExA(
            exStyle, kFrameworkClass, windowName, style, rect.left, rect.top,
            rect.right - rect.left, rect.bottom - rect.top, parent ? parent->m_hWnd : nullptr,
            reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), instance, this);
        return hWnd != nullptr;
    }
    HWND hWnd = ::CreateWindowExA(
        exStyle, className, windowName, style, rect.left, rect.top, rect.right - rect.left,
        rect.bottom - rect.top, parent ? parent->m_hWnd : nullptr,
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
    CWnd* wnd = FromHandlePermanent(hWnd);
    if (!wnd && message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        wnd = static_cast<CWnd*>(create->lpCreateParams);
        if (wnd) {
            wnd->Attach(hWnd);
            wnd->m_bOwnsWindow = TRUE;
        }
    }
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
            return OnMenuItem(message, lParam, result);
        child = item->hwndItem;
        break;
    }
    case WM_MEASUREITEM: {
        const auto* item = reinterpret_cast<const MEASUREITEMSTRUCT*>(lParam);
        if (item->CtlType == ODT_MENU)
            return OnMenuItem(message, lParam, result);
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
    CWnd* control = FromHandlePermanent(child);
    return control ? control->OnChildNotify(message, wParam, lParam, result) : FALSE;
}

BOOL CWnd::OnMenuItem(UINT message, LPARAM lParam, LRESULT* result) {
    if (!s_menuItemHook || !s_menuItemHook(message, lParam))
        return FALSE;
    *result = TRUE;
    return TRUE;
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

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::PostMessageA(m_hWnd, message, wParam, lParam);
}

void CWnd::GetWindowText(CString& text) const {
    int length = ::GetWindowTextLengthA(m_hWnd);
    char* buffer = text.GetBuffer(length + 1);
    int copied = ::GetWindowTextA(m_hWnd, buffer, length + 1);
    text.ReleaseBuffer(copied);
}

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add) {
    DWORD style = GetStyle();
    DWORD changed = (style & ~remove) | add;
    if (changed == style)
        return FALSE;
    ::SetWindowLongPtrA(m_hWnd, GWL_STYLE, static_cast<LONG_PTR>(changed));
    return TRUE;
}

CWnd* CWnd::SetFocus() {
    return FromHandle(::SetFocus(m_hWnd));
}

HICON CWnd::SetIcon(HICON icon, BOOL big) {
    return reinterpret_cast<HICON>(
        SendMessage(WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon)));
}

int CWnd::MessageBox(const char* text, const char* caption, UINT type) {
    return ::MessageBoxA(m_hWnd, text, caption ? caption : AfxGetAppName(), type);
}
