// A real styled button on a real dialog, driven with its own messages and with the system
// around it: styles, clicks, check state, focus, what repaints, hover, the tooltip, the
// link, and what a click opens.

#include "ButtonFixture.h"

#include "Deadline.h"
#include "WaitFor.h"

#include <commctrl.h>
#include <shellapi.h>

#include <atomic>
#include <string>
#include <thread>

// The import slots through which the button tracks its menu and finds the shell's function
// that opens its link.
extern "C" FARPROC(WINAPI* __imp_GetProcAddress)(HMODULE, LPCSTR);
extern "C" BOOL(WINAPI* __imp_TrackPopupMenu)(HMENU, UINT, int, int, int, HWND, LPCRECT);

namespace {

// Whether the whole client area waits to be painted with its background erased; it is
// painted then, so nothing waits afterwards.
bool RepaintPending(CountingButton& b) {
    RECT update{}, client{};
    ::GetClientRect(b.m_hWnd, &client);
    const bool whole = ::GetUpdateRect(b.m_hWnd, &update, FALSE) && update == client;
    const int erases = b.erases;
    ::UpdateWindow(b.m_hWnd);
    return whole && b.erases > erases;
}

using ButtonBehaviour = ButtonDialogTest;

// Bound buttons are owner-drawn and stay so whatever style is set; the dialog code says
// whether the button is the default one, which follows the push-button styles only. The
// parent's control-colour request gets the hollow brush.
TEST_F(ButtonBehaviour, StylesKeepOwnerDrawAndTrackTheDefaultState) {
    auto look = [](CStyledButton& b) {
        return (b.SendMessage(WM_GETDLGCODE) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) |
               (::GetWindowLongPtrA(b.m_hWnd, GWL_STYLE) & 0x1F) << 8;
    };
    const LRESULT plain = DLGC_UNDEFPUSHBUTTON | BS_OWNERDRAW << 8, def = plain ^ 0x30;
    EXPECT_EQ(plain, look(m_dlg->m_check));
    CStyledButton& b = m_dlg->m_default;
    EXPECT_EQ(def, look(b));
    const UINT styles[] = {BS_PUSHBUTTON, BS_CHECKBOX, BS_DEFPUSHBUTTON, BS_GROUPBOX,
                           BS_PUSHBUTTON};
    const LRESULT looks[] = {plain, plain, def, def, plain};
    for (size_t i = 0; i < std::size(styles); ++i) {
        b.SendMessage(BM_SETSTYLE, styles[i], TRUE);
        EXPECT_EQ(looks[i], look(b)) << styles[i];
    }
    EXPECT_EQ(LRESULT(::GetStockObject(NULL_BRUSH)),
              m_dlg->SendMessage(WM_CTLCOLORBTN, 0, LPARAM(m_dlg->m_plain.m_hWnd)));
}

// A click toggles the check box and still reaches the parent; a double click is a second
// click. BM_SETCHECK counts checked and indeterminate as checked. Disabling a button moves
// the focus to the next tab stop, whether it had the focus or not.
TEST_F(ButtonBehaviour, ClicksCheckStateAndFocus) {
    for (CStyledButton* b : {&m_dlg->m_check, &m_dlg->m_plain})
        for (UINT down : {WM_LBUTTONDOWN, WM_LBUTTONDBLCLK}) {
            b->SendMessage(down, MK_LBUTTON, MAKELPARAM(5, 5));
            b->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        }
    EXPECT_EQ((std::vector<UINT>{IDC_SB_CHECK, IDC_SB_CHECK, IDC_SB_PLAIN, IDC_SB_PLAIN}),
              m_dlg->log);
    EXPECT_EQ(0, m_dlg->m_check.GetCheckState()) << "toggled twice";
    for (auto [value, state] : {std::pair{2, 1}, {3, 0}, {1, 1}, {0x10, 0}}) {
        EXPECT_EQ(0, m_dlg->m_check.SendMessage(BM_SETCHECK, value));
        EXPECT_EQ(state, m_dlg->m_check.SendMessage(BM_GETCHECK)) << value;
    }
    m_dlg->m_plain.SendMessage(BM_SETCHECK, 1);
    EXPECT_EQ(0, m_dlg->m_plain.SendMessage(BM_GETCHECK)) << "not in check-box mode";

    ::SetFocus(::GetDlgItem(m_dlg->m_hWnd, IDC_SB_EDIT));
    m_dlg->m_plain.EnableWindow(FALSE);
    EXPECT_EQ(m_dlg->m_default.m_hWnd, ::GetFocus());
    m_dlg->m_check.SetFocus();
    m_dlg->m_check.EnableWindow(FALSE);
    EXPECT_EQ(m_dlg->m_flat.m_hWnd, ::GetFocus());
}

// Every setter repaints the whole button, erased, exactly when asked to; a check state
// outside check-box mode and a bad slot change nothing and repaint nothing. Reset colours
// are the system's face and text colours.
TEST_F(ButtonBehaviour, SettersRepaintOnlyWhenAsked) {
    using Setter = std::function<void(CStyledButton&, BOOL)>;
    const Setter setters[] = {
        [](auto& b, BOOL r) { b.SetFlatLook(FALSE, r); },
        [](auto& b, BOOL r) { b.SetCheckState(1, r); },
        [](auto& b, BOOL r) { b.ResetColors(r); },
        [](auto& b, BOOL r) { b.SetSlotColor(5, 0, r); },
        [](auto& b, BOOL r) { b.SetIcons(nullptr, nullptr, r); },
        [](auto& b, BOOL r) { b.SetBitmaps(nullptr, nullptr, nullptr, nullptr, r); },
        [](auto& b, BOOL r) { b.SetImageAlign(SBA_ABOVE, r); },
        [](auto& b, BOOL r) { b.SetParentBackground(FALSE, r); },
        [](auto& b, BOOL r) { b.SetFlatEdge(FALSE, r); },
        [](auto& b, BOOL r) { b.SetFlatFocusRect(TRUE, r); },
    };
    auto repaints = [](CountingButton& b, const Setter& set, BOOL repaint) {
        ::ValidateRect(b.m_hWnd, nullptr);
        set(b, repaint);
        return RepaintPending(b);
    };
    for (size_t i = 0; i < std::size(setters); ++i) {
        EXPECT_FALSE(repaints(m_dlg->m_check, setters[i], FALSE)) << "setter " << i;
        EXPECT_TRUE(repaints(m_dlg->m_check, setters[i], TRUE)) << "setter " << i;
    }
    EXPECT_EQ(::GetSysColor(COLOR_BTNFACE), StyledButtonProbe::Color(m_dlg->m_check, 4));
    EXPECT_EQ(::GetSysColor(COLOR_BTNTEXT), StyledButtonProbe::Color(m_dlg->m_check, 1));
    EXPECT_FALSE(repaints(m_dlg->m_plain, setters[1], TRUE)) << "not in check-box mode";
    auto badSlot = [](auto& b, BOOL r) { EXPECT_EQ(SB_BAD_SLOT, b.SetSlotColor(6, 0, r)); };
    auto setCheck = [](auto& b, BOOL) { b.SendMessage(BM_SETCHECK); };
    EXPECT_FALSE(repaints(m_dlg->m_check, badSlot, TRUE));
    EXPECT_TRUE(repaints(m_dlg->m_check, setCheck, FALSE)) << "BM_SETCHECK always repaints";
}

// The flat look hovers when the pointer is over the button and repaints on the way in and
// on each way out; the 3-D look and a press that started elsewhere never hover.
TEST_F(ButtonBehaviour, HoverRepaintsOnEnterAndOnEachWayOut) {
    CountingButton& b = m_dlg->m_flat;
    const LPARAM inside = MAKELPARAM(10, 10);
    const std::pair<const char*, std::function<void()>> waysOut[] = {
        {"leave notice", [&] { b.SendMessage(WM_MOUSELEAVE); }},
        {"over another window", [&] { b.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(-4, -4)); }},
        {"focus lost", [&] { b.SendMessage(WM_KILLFOCUS); }},
        {"deactivated", [&] { b.SendMessage(WM_ACTIVATE, WA_INACTIVE); }},
        {"cancel mode", [&] { b.SendMessage(WM_CANCELMODE); }},
        {"disabled", [&] { b.EnableWindow(FALSE); }},
    };
    for (const auto& [name, leave] : waysOut) {
        SCOPED_TRACE(name);
        ::ValidateRect(b.m_hWnd, nullptr);
        b.SendMessage(WM_MOUSEMOVE, 0, inside);
        ASSERT_TRUE(StyledButtonProbe::Hovering(b) && RepaintPending(b));
        b.SendMessage(WM_MOUSEMOVE, 0, inside);
        EXPECT_FALSE(RepaintPending(b)) << "a move while hovering changes nothing";
        leave();
        EXPECT_FALSE(StyledButtonProbe::Hovering(b));
        EXPECT_TRUE(RepaintPending(b));
    }
    b.EnableWindow(TRUE);
    b.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, inside);
    EXPECT_FALSE(StyledButtonProbe::Hovering(b)) << "pressed elsewhere";
    m_dlg->m_plain.SetFlatLook(FALSE);
    m_dlg->m_plain.SendMessage(WM_MOUSEMOVE, 0, inside);
    EXPECT_FALSE(StyledButtonProbe::Hovering(m_dlg->m_plain)) << "the 3-D look";
}

// One tool for the client rectangle of the first call; later texts replace its text.
TEST_F(ButtonBehaviour, TipTextKeepsOneToolAndReplacesItsText) {
    CStyledButton& b = m_dlg->m_plain;
    b.SetTipText(nullptr);
    EXPECT_EQ(nullptr, StyledButtonProbe::Tip(b)) << "null does nothing";
    RECT client;
    ::GetClientRect(b.m_hWnd, &client);
    b.SetTipText("第一");
    ::SetWindowPos(b.m_hWnd, nullptr, 0, 0, 20, 10, SWP_NOMOVE | SWP_NOZORDER);
    b.SetTipText("second", FALSE);
    b.SetTipText(nullptr);
    char text[80] = {};
    TOOLINFOA tool{};
    tool.cbSize = sizeof(tool);
    tool.lpszText = text;
    ::SendMessageA(StyledButtonProbe::Tip(b), TTM_ENUMTOOLSA, 0, LPARAM(&tool));
    EXPECT_EQ(1, ::SendMessageA(StyledButtonProbe::Tip(b), TTM_GETTOOLCOUNT, 0, 0));
    EXPECT_STREQ("second", text);
    EXPECT_EQ(client, tool.rect);
}

// The framework's modal loop hands the pointer's messages to the button, which relays them
// to its tooltip: the tip shows. When the pointer moves on to another window, only the
// platform's leave notice can end the hovering.
TEST(ButtonModal, TipShowsThroughTheModalLoop) {
    ButtonDialog dlg;
    std::atomic<HWND> button{nullptr}, tip{nullptr};
    dlg.onInit = [&] {
        dlg.m_plain.SetTipText("tip");
        tip = StyledButtonProbe::Tip(dlg.m_plain);
        button = dlg.m_plain.m_hWnd;
    };
    std::atomic<bool> shown{false}, left{false};
    std::thread driver([&] {
        if (WaitFor([&] { return button && ::IsWindowVisible(button); })) {
            MovePointerTo(button);
            shown = WaitFor([&] { return ::IsWindowVisible(tip) != FALSE; });
            MovePointerTo(::GetDlgItem(::GetParent(button), IDC_SB_EDIT));
            left = WaitFor([&] { return !StyledButtonProbe::Hovering(dlg.m_plain); });
        }
        ::PostMessageA(::GetParent(button), WM_COMMAND, IDCANCEL, 0);
    });
    DoModalWithin(dlg, "the button dialog's modal loop");
    driver.join();
    EXPECT_TRUE(shown);
    EXPECT_TRUE(left);
}

// Cut to 259 bytes of whole characters ("通" is one double-byte GBK character); the rest of
// the buffer is cleared.
TEST_F(ButtonBehaviour, LinkIsCutOnACharacterBoundary) {
    std::string dbcs;
    for (int i = 0; i < 150; ++i)
        dbcs += "通";
    ASSERT_EQ(300u, dbcs.size()) << "literals must be GBK";
    const std::pair<std::string, size_t> cases[] = {{"C:\\readme.txt", 13},
                                                    {dbcs, 258},
                                                    {"a" + dbcs, 259},
                                                    {std::string(300, 'x'), 259},
                                                    {std::string(259, 'y'), 259},
                                                    {std::string(99, 'z') + "\x81", 99}};
    for (const auto& [link, kept] : cases) {
        m_dlg->m_plain.SetLink(std::string(259, '#').c_str());
        m_dlg->m_plain.SetLink(link.c_str());
        EXPECT_EQ(link.substr(0, kept) + std::string(260 - kept, '\0'),
                  std::string(StyledButtonProbe::Link(m_dlg->m_plain), 260));
    }
}

// What the button asked of the popup tracking and of the shell, and whether it looked
// pressed while the menu was up. The tracking chooses "&Save" by its mnemonic.
std::vector<std::string> g_calls;
bool g_pressedWhileOpen = false;
bool Pressed(HWND button) { // the flat look's sunken edge
    ::UpdateWindow(button);
    HDC dc = ::GetDC(button);
    const COLORREF corner = ::GetPixel(dc, 0, 0);
    ::ReleaseDC(button, dc);
    return corner == ::GetSysColor(COLOR_BTNSHADOW);
}
auto g_track = __imp_TrackPopupMenu;
BOOL WINAPI WatchingTrack(HMENU menu, UINT flags, int x, int y, int zero, HWND owner, LPCRECT rc) {
    g_pressedWhileOpen = Pressed(owner);
    g_calls.push_back("track " + std::to_string(flags) + " " + std::to_string(x) + "," +
                      std::to_string(y));
    ::PostMessageA(owner, WM_CHAR, 's', 0);
    return g_track(menu, flags, x, y, zero, owner, rc);
}
BOOL(WINAPI* g_shellExecuteEx)(SHELLEXECUTEINFOA*) = nullptr;
BOOL WINAPI WatchingShellExecuteEx(SHELLEXECUTEINFOA* sei) {
    g_calls.push_back("open " + std::to_string(sei->cbSize) + " " + std::to_string(sei->fMask) +
                      " " + (sei->lpVerb ? sei->lpVerb : "(none)") + " " + sei->lpFile + " " +
                      std::to_string(sei->nShow));
    return g_shellExecuteEx(sei);
}
// The button looks the shell's function up once, at the first link it opens: this test's.
auto g_getProcAddress = __imp_GetProcAddress;
FARPROC WINAPI WatchingGetProcAddress(HMODULE module, LPCSTR name) {
    const FARPROC found = g_getProcAddress(module, name);
    if (reinterpret_cast<UINT_PTR>(name) >> 16 == 0 || std::string(name) != "ShellExecuteExA")
        return found;
    g_shellExecuteEx =
        reinterpret_cast<decltype(g_shellExecuteEx)>(reinterpret_cast<void (*)()>(found));
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&WatchingShellExecuteEx));
}

// A click serves check-box mode first, then the drop-down menu, then the link. The menu's
// first popup opens under the button, which looks pressed meanwhile, and the chosen command
// reaches the target after the click has reached the parent. The link is opened silently
// with "open", maximized, through a record of its real size (112 bytes on x64); shell32
// is loaded for that, not before.
TEST_F(ButtonBehaviour, ClickServesCheckBoxThenDropDownThenLink) {
    ButtonDialog& d = *m_dlg;
    const std::string link = "Z:\\no\\such\\document.txt";
    for (CStyledButton* b : {&d.m_check, &d.m_next, &d.m_plain})
        b->SetLink(link.c_str());
    ASSERT_TRUE(d.m_check.SetDropDownMenu(IDM_DROPDOWN, d.m_hWnd));
    ASSERT_TRUE(d.m_next.SetDropDownMenu(IDM_DROPDOWN, d.m_hWnd));
    RECT under;
    ::GetWindowRect(d.m_next.m_hWnd, &under);
    ReplaceImport(&__imp_TrackPopupMenu, &WatchingTrack);
    ReplaceImport(&__imp_GetProcAddress, &WatchingGetProcAddress);
    EXPECT_EQ(::GetModuleHandleA("shell32.dll"), nullptr) << "loaded before any link opened";
    const auto clicks = [&] {
        for (CStyledButton* b : {&d.m_check, &d.m_next, &d.m_plain})
            b->SendMessage(BM_CLICK);
    };
    WithinDeadline("the clicks: the drop-down menu's choice by its mnemonic, the link",
                   ::GetCurrentThreadId(), clicks, d.m_hWnd);
    ReplaceImport(&__imp_TrackPopupMenu, g_track);
    ReplaceImport(&__imp_GetProcAddress, g_getProcAddress);

    EXPECT_EQ(1, d.m_check.GetCheckState());
    const std::vector<std::string> calls = {"track 386 " + std::to_string(under.left) + "," +
                                                std::to_string(under.bottom),
                                            "open 112 1024 open " + link + " 3"};
    EXPECT_EQ(calls, g_calls);
    EXPECT_TRUE(g_pressedWhileOpen && !Pressed(d.m_next.m_hWnd));
    ASSERT_TRUE(WaitFor([&] { return d.log.size() >= 4; }));
    EXPECT_EQ((std::vector<UINT>{IDC_SB_CHECK, IDC_SB_NEXT, IDC_SB_PLAIN, ID_DD_SAVE}), d.log);
}

} // namespace
