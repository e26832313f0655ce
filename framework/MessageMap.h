#pragma once
// Static, type-checked message maps.
//
// A class declares DECLARE_MESSAGE_MAP() and defines its table between
// BEGIN_MESSAGE_MAP(cls, base) and END_MESSAGE_MAP(). Entries are searched in
// table order, then the base class's table; the first match wins. Each entry
// holds a cracker instantiated for the handler, so wParam/lParam are turned
// into typed arguments in one place and a handler with the wrong signature
// does not compile.

#include "CRect.h"

#include <tuple>
#include <type_traits>

class CWnd;

// Messages a parent offers to the child control first.
constexpr UINT WM_REFLECT_BASE = 0xBC00;
// The control-colour family, cracked as one message with its kind (CTLCOLOR_*).
constexpr UINT WM_CTLCOLOR = 0x0019;

// Returns TRUE when the message counts as handled; *result is the reply.
using MessageCracker = BOOL (*)(CWnd* target, WPARAM wParam, LPARAM lParam, LRESULT* result);

struct MessageMapEntry {
    UINT message;
    UINT code;    // notification code for WM_COMMAND / WM_NOTIFY entries
    UINT idFirst; // control id range for WM_COMMAND / WM_NOTIFY entries
    UINT idLast;
    MessageCracker crack;
};

struct MessageMap {
    const MessageMap* (*base)();
    const MessageMapEntry* entries; // ends with a null cracker
};

namespace msgmap {

template <class M> struct Handler;
template <class C, class R, class... A> struct Handler<R (C::*)(A...)> { using Class = C; };

template <auto H> using ClassOf = typename Handler<decltype(H)>::Class;

template <auto H, class Sig> constexpr bool Is = std::is_same_v<decltype(H), Sig>;

template <class M> struct Params;
template <class C, class R, class... A> struct Params<R (C::*)(A...)> {
    using Tuple = std::tuple<A...>;
};
template <auto H, size_t I>
using Arg = std::tuple_element_t<I, typename Params<decltype(H)>::Tuple>;

// A window or menu handle of wParam/lParam turned into the object attached to
// it (CWnd*, CMenu*), null when there is none. A DC comes as a CDC view that
// lives for the call.
template <class Ptr, class HandleT> Ptr Attached(HandleT h) {
    return std::remove_pointer_t<Ptr>::FromHandle(h);
}

// void OnX(): commands, notifications and argument-less messages.
template <auto H> BOOL Void(CWnd* w, WPARAM, LPARAM, LRESULT* r) {
    using C = ClassOf<H>;
    static_assert(Is<H, void (C::*)()>, "handler must be void ()");
    (static_cast<C*>(w)->*H)();
    *r = 0;
    return TRUE;
}

// void OnX(UINT id): one handler for a range of control ids.
template <auto H> BOOL Range(CWnd* w, WPARAM wp, LPARAM, LRESULT* r) {
    using C = ClassOf<H>;
    static_assert(Is<H, void (C::*)(UINT)>, "handler must be void (UINT)");
    (static_cast<C*>(w)->*H)(LOWORD(wp));
    *r = 0;
    return TRUE;
}

// BOOL OnX(): reflected notification; FALSE lets the parent handle it too.
template <auto H> BOOL VoidEx(CWnd* w, WPARAM, LPARAM, LRESULT* r) {
    using C = ClassOf<H>;
    static_assert(Is<H, BOOL (C::*)()>, "handler must be BOOL ()");
    *r = 0;
    return (static_cast<C*>(w)->*H)();
}

// LRESULT OnX(WPARAM, LPARAM): user and raw messages.
template <auto H> BOOL Raw(CWnd* w, WPARAM wp, LPARAM lp, LRESULT* r) {
    using C = ClassOf<H>;
    static_assert(Is<H, LRESULT (C::*)(WPARAM, LPARAM)>,
                  "handler must be LRESULT (WPARAM, LPARAM)");
    *r = (static_cast<C*>(w)->*H)(wp, lp);
    return TRUE;
}

template <auto H> BOOL SysCommand(CWnd* w, WPARAM wp, LPARAM lp, LRESULT* r) {
    using C = ClassOf<H>;
    static_assert(Is<H, void (C::*)(UINT, LPARAM)>, "handler must be void (UINT, LPARAM)");
    (static_cast<C*>(w)->*H)(static_cast<UINT>(wp), lp);
    *r = 0;
    return TRUE;
}

template <auto H> BOOL Timer(CWnd* w, WPARAM wp, LPARAM, LRESULT* r) {
    using C = ClassOf<H>;
    static_assert(Is<H, void (C::*)(UINT_PTR)>, "handler must be void (UINT_PTR)");
    (static_cast<C*>(w)->*H)(static_cast<UINT_PTR>(wp));
    *r = 0;
    return TRUE;
}

template <auto H> BOOL QueryDragIcon(CWnd* w, WPARAM, LPARAM, LRESULT* r) {
    using C = ClassOf<H>;
    static_assert(Is<H, HCURSOR (C::*)()>, "handler must be HCURSOR ()");
    *r = reinterpret_cast<LRESULT>((static_cast<C*>(w)->*H)());
    return TRUE;
}

template <auto H> BOOL MouseMove(CWnd* w, WPARAM wp, LPARAM lp, LRESULT* r) {
    using C = ClassOf<H>;
    static_assert(Is<H, void (C::*)(UINT, CPoint)>, "handler must be void (UINT, CPoint)");
    (static_cast<C*>(w)->*H)(static_cast<UINT>(wp), CPoint(lp));
    *r = 0;
    return TRUE;
}

template <auto H> BOOL Enable(CWnd* w, WPARAM wp, LPARAM, LRESULT* r) {
    using C = ClassOf<H>;
    static_assert(Is<H, void (C::*)(BOOL)>, "handler must be void (BOOL)");
    (static_cast<C*>(w)->*H)(static_cast<BOOL>(wp));
    *r = 0;
    return TRUE;
}

template <auto H> BOOL GetDlgCode(CWnd* w, WPARAM, LPARAM, LRESULT* r) {
    using C = ClassOf<H>;
    static_assert(Is<H, UINT (C::*)()>, "handler must be UINT ()");
    *r = (static_cast<C*>(w)->*H)();
    return TRUE;
}

// void OnKillFocus(CWnd* newFocus)
template <auto H> BOOL KillFocus(CWnd* w, WPARAM wp, LPARAM, LRESULT* r) {
    using C = ClassOf<H>;
    using P = Arg<H, 0>;
    static_assert(Is<H, void (C::*)(P)>, "handler must be void (CWnd*)");
    (static_cast<C*>(w)->*H)(Attached<P>(reinterpret_cast<HWND>(wp)));
    *r = 0;
    return TRUE;
}

// BOOL OnSetCursor(CWnd* window, UINT hitTest, UINT message)
template <auto H> BOOL SetCursor(CWnd* w, WPARAM wp, LPARAM lp, LRESULT* r) {
    using C = ClassOf<H>;
    using P = Arg<H, 0>;
    static_assert(Is<H, BOOL (C::*)(P, UINT, UINT)>, "handler must be BOOL (CWnd*, UINT, UINT)");
    *r = (static_cast<C*>(w)->*H)(Attached<P>(reinterpret_cast<HWND>(wp)), LOWORD(lp), HIWORD(lp));
    return TRUE;
}

// void OnActivate(UINT state, CWnd* other, BOOL minimized)
template <auto H> BOOL Activate(CWnd* w, WPARAM wp, LPARAM lp, LRESULT* r) {
    using C = ClassOf<H>;
    using P = Arg<H, 1>;
    static_assert(Is<H, void (C::*)(UINT, P, BOOL)>, "handler must be void (UINT, CWnd*, BOOL)");
    (static_cast<C*>(w)->*H)(LOWORD(wp), Attached<P>(reinterpret_cast<HWND>(lp)), HIWORD(wp) != 0);
    *r = 0;
    return TRUE;
}

// HBRUSH OnCtlColor(CDC* dc, CWnd* control, UINT kind). The dispatcher
// passes the original WM_CTLCOLOR* message through lParam.
template <auto H> BOOL CtlColor(CWnd* w, WPARAM, LPARAM lp, LRESULT* r) {
    using C = ClassOf<H>;
    using DC = Arg<H, 0>;
    using Wnd = Arg<H, 1>;
    static_assert(Is<H, HBRUSH (C::*)(DC, Wnd, UINT)>,
                  "handler must be HBRUSH (CDC*, CWnd*, UINT)");
    const auto* msg = reinterpret_cast<const MSG*>(lp);
    std::remove_pointer_t<DC> dc(reinterpret_cast<HDC>(msg->wParam));
    HBRUSH brush = (static_cast<C*>(w)->*H)(&dc, Attached<Wnd>(reinterpret_cast<HWND>(msg->lParam)),
                                            msg->message - WM_CTLCOLORMSGBOX);
    *r = reinterpret_cast<LRESULT>(brush);
    return TRUE;
}

// HBRUSH CtlColor(CDC* dc, UINT kind), reflected to the control; a null
// brush leaves the colouring to the parent.
template <auto H> BOOL CtlColorReflect(CWnd* w, WPARAM, LPARAM lp, LRESULT* r) {
    using C = ClassOf<H>;
    using DC = Arg<H, 0>;
    static_assert(Is<H, HBRUSH (C::*)(DC, UINT)>, "handler must be HBRUSH (CDC*, UINT)");
    const auto* msg = reinterpret_cast<const MSG*>(lp);
    std::remove_pointer_t<DC> dc(reinterpret_cast<HDC>(msg->wParam));
    HBRUSH brush = (static_cast<C*>(w)->*H)(&dc, msg->message - WM_CTLCOLORMSGBOX);
    *r = reinterpret_cast<LRESULT>(brush);
    return brush != nullptr;
}

// LRESULT OnMenuChar(UINT ch, UINT flags, CMenu* menu)
template <auto H> BOOL MenuChar(CWnd* w, WPARAM wp, LPARAM lp, LRESULT* r) {
    using C = ClassOf<H>;
    using Menu = Arg<H, 2>;
    static_assert(Is<H, LRESULT (C::*)(UINT, UINT, Menu)>,
                  "handler must be LRESULT (UINT, UINT, CMenu*)");
    *r = (static_cast<C*>(w)->*H)(LOWORD(wp), HIWORD(wp), Attached<Menu>(reinterpret_cast<HMENU>(lp)));
    return TRUE;
}

// void OnMeasureItem(int id, LPMEASUREITEMSTRUCT item)
template <auto H> BOOL MeasureItem(CWnd* w, WPARAM wp, LPARAM lp, LRESULT* r) {
    using C = ClassOf<H>;
    static_assert(Is<H, void (C::*)(int, LPMEASUREITEMSTRUCT)>,
                  "handler must be void (int, LPMEASUREITEMSTRUCT)");
    (static_cast<C*>(w)->*H)(static_cast<int>(wp), reinterpret_cast<LPMEASUREITEMSTRUCT>(lp));
    *r = TRUE;
    return TRUE;
}

} // namespace msgmap

#define DECLARE_MESSAGE_MAP()                                                                      \
  protected:                                                                                       \
    static const MessageMap* GetThisMessageMap();                                                  \
    const MessageMap* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                     \
    const MessageMap* theClass::GetMessageMap() const {                                            \
        return GetThisMessageMap();                                                                \
    }                                                                                              \
    const MessageMap* theClass::GetThisMessageMap() {                                              \
        using ThisClass [[maybe_unused]] = theClass;                                               \
        using TheBaseClass = baseClass;                                                            \
        static const MessageMapEntry entries[] = {

#define END_MESSAGE_MAP()                                                                          \
    { 0, 0, 0, 0, nullptr }                                                                        \
    }                                                                                              \
    ;                                                                                              \
    static const MessageMap map = {&TheBaseClass::GetThisMessageMap, entries};                     \
    return &map;                                                                                   \
    }

#define KESTREL_ENTRY(msg, cracker, handler) {msg, 0, 0, 0, &msgmap::cracker<handler>},

#define ON_MESSAGE(msg, handler) KESTREL_ENTRY(msg, Raw, handler)
#define ON_COMMAND(id, handler) {WM_COMMAND, 0, id, id, &msgmap::Void<handler>},
#define ON_CONTROL(code, id, handler) {WM_COMMAND, code, id, id, &msgmap::Void<handler>},
#define ON_CONTROL_RANGE(code, first, last, handler)                                               \
    {WM_COMMAND, code, first, last, &msgmap::Range<handler>},
#define ON_BN_CLICKED(id, handler) ON_CONTROL(BN_CLICKED, id, handler)
#define ON_EN_CHANGE(id, handler) ON_CONTROL(EN_CHANGE, id, handler)
#define ON_CONTROL_REFLECT(code, handler)                                                          \
    {WM_REFLECT_BASE + WM_COMMAND, code, 0, 0xFFFF, &msgmap::Void<handler>},
#define ON_CONTROL_REFLECT_EX(code, handler)                                                       \
    {WM_REFLECT_BASE + WM_COMMAND, code, 0, 0xFFFF, &msgmap::VoidEx<handler>},
#define ON_WM_CTLCOLOR_REFLECT()                                                                   \
    KESTREL_ENTRY(WM_REFLECT_BASE + WM_CTLCOLOR, CtlColorReflect, &ThisClass::CtlColor)

#define ON_WM_PAINT() KESTREL_ENTRY(WM_PAINT, Void, &ThisClass::OnPaint)
#define ON_WM_SYSCOMMAND() KESTREL_ENTRY(WM_SYSCOMMAND, SysCommand, &ThisClass::OnSysCommand)
#define ON_WM_QUERYDRAGICON()                                                                      \
    KESTREL_ENTRY(WM_QUERYDRAGICON, QueryDragIcon, &ThisClass::OnQueryDragIcon)
#define ON_WM_TIMER() KESTREL_ENTRY(WM_TIMER, Timer, &ThisClass::OnTimer)
#define ON_WM_CANCELMODE() KESTREL_ENTRY(WM_CANCELMODE, Void, &ThisClass::OnCancelMode)
#define ON_WM_CTLCOLOR() KESTREL_ENTRY(WM_CTLCOLOR, CtlColor, &ThisClass::OnCtlColor)
#define ON_WM_SETCURSOR() KESTREL_ENTRY(WM_SETCURSOR, SetCursor, &ThisClass::OnSetCursor)
#define ON_WM_KILLFOCUS() KESTREL_ENTRY(WM_KILLFOCUS, KillFocus, &ThisClass::OnKillFocus)
#define ON_WM_MOUSEMOVE() KESTREL_ENTRY(WM_MOUSEMOVE, MouseMove, &ThisClass::OnMouseMove)
#define ON_WM_SYSCOLORCHANGE() KESTREL_ENTRY(WM_SYSCOLORCHANGE, Void, &ThisClass::OnSysColorChange)
#define ON_WM_ACTIVATE() KESTREL_ENTRY(WM_ACTIVATE, Activate, &ThisClass::OnActivate)
#define ON_WM_ENABLE() KESTREL_ENTRY(WM_ENABLE, Enable, &ThisClass::OnEnable)
#define ON_WM_GETDLGCODE() KESTREL_ENTRY(WM_GETDLGCODE, GetDlgCode, &ThisClass::OnGetDlgCode)
#define ON_WM_MENUCHAR() KESTREL_ENTRY(WM_MENUCHAR, MenuChar, &ThisClass::OnMenuChar)
#define ON_WM_MEASUREITEM() KESTREL_ENTRY(WM_MEASUREITEM, MeasureItem, &ThisClass::OnMeasureItem)
