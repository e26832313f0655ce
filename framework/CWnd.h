#pragma once
// A window object: owns one HWND (see HandleMap.h), found again through the
// window map. Views of other windows are plain HWNDs.
//
// Messages reach OnWndMsg, which walks the class's message map (see
// MessageMap.h) and falls back to the virtual DefWindowProc. Control
// notifications (WM_COMMAND, WM_NOTIFY, WM_DRAWITEM, WM_MEASUREITEM,
// WM_CTLCOLOR*) are first offered to the control's own object as
// WM_REFLECT_BASE + message; the parent's table runs only if the control did
// not handle them (an ON_CONTROL_REFLECT_EX handler returning FALSE).

#include "CObject.h"
#include "CString.h"
#include "MessageMap.h"

// The text of any window.
CString WindowText(HWND hWnd);

class CWnd : public CObject {
    DECLARE_DYNAMIC(CWnd)

  public:
    CWnd() = default;
    ~CWnd() override; // destroys its window
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;
    operator HWND() const { return m_hWnd; }

    // The object attached to a window, or null.
    static CWnd* FromHandle(HWND hWnd);

    // Routes the window's messages through this object; PreSubclassWindow
    // runs first. The window held before is destroyed (see HandleMap.h).
    BOOL SubclassWindow(HWND hWnd);
    BOOL SubclassDlgItem(UINT id, CWnd* parent);

    // Creates a window of a system class, subclassed at once.
    BOOL CreateEx(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                  const RECT& rect, HWND parent, UINT id);
    BOOL DestroyWindow();

    virtual BOOL PreTranslateMessage(MSG* msg);
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Owner-drawn menu items go to the menu object that holds them (CMenu's
    // DrawItem/MeasureItem); everything else to the window's own procedure.
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // The current message, passed to DefWindowProc.
    LRESULT Default();

    // Offers a parent's notification to this control first.
    virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

    // Thin calls of the Win32 functions of the same name.
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    void SetWindowText(const char* text) { ::SetWindowTextA(m_hWnd, text); }
    void GetWindowText(CString& text) const { text = WindowText(m_hWnd); }
    DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLongPtrA(m_hWnd, GWL_STYLE)); }
    BOOL ModifyStyle(DWORD remove, DWORD add);
    void GetClientRect(LPRECT rect) const { ::GetClientRect(m_hWnd, rect); }
    void GetWindowRect(LPRECT rect) const { ::GetWindowRect(m_hWnd, rect); }
    void Invalidate(BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, erase); }
    BOOL EnableWindow(BOOL enable = TRUE) { return ::EnableWindow(m_hWnd, enable); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    HWND SetFocus() { return ::SetFocus(m_hWnd); }
    UINT_PTR SetTimer(UINT_PTR id, UINT elapse) { return ::SetTimer(m_hWnd, id, elapse, nullptr); }
    HMENU GetSystemMenu(BOOL revert) const { return ::GetSystemMenu(m_hWnd, revert); }
    HICON SetIcon(HICON icon, BOOL big);
    // Caption defaults to the application's title.
    int MessageBox(const char* text, const char* caption = nullptr, UINT type = MB_OK);

  protected:
    static const MessageMap* GetThisMessageMap();
    virtual const MessageMap* GetMessageMap() const;

    // Dispatch through the message map; FALSE when no entry handled it.
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    // Looks the reflected form of a parent's notification up in this map.
    BOOL ReflectChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    virtual void PreSubclassWindow() {}

    // Set while a data exchange runs: control notifications are ignored.
    BOOL m_bLockNotify = FALSE;

  private:
    friend class CDialog;
    static LRESULT CALLBACK WindowProcEntry(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    static const MessageMapEntry* FindEntry(const MessageMap* map, UINT message, UINT code,
                                            UINT id);
    BOOL DispatchEntry(UINT message, UINT code, UINT id, WPARAM wParam, LPARAM lParam,
                       LRESULT* result);
    BOOL OnNotificationFromChild(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    static BOOL OnMenuItem(UINT message, LPARAM lParam);
    void Detach();

    WNDPROC m_pfnSuper = nullptr; // the procedure we replaced when subclassing
};
