// A real styled button on a real dialog, driven with its own messages: styles, check
// state, focus on disabling, what repaints, hover, the cursor, the tooltip's tool, the
// colour slots and the link text.

#include "ButtonFixture.h"

#include <commctrl.h>

#include <string>

namespace {

UINT TypeBits(const CWnd& w) {
    return static_cast<UINT>(::GetWindowLongPtrA(w.m_hWnd, GWL_STYLE)) & 0x1F;
}

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

LPARAM ClientCentre(const CWnd& w) {
    RECT rc;
    ::GetClientRect(w.m_hWnd, &rc);
    return MAKELPARAM(rc.right / 2, rc.bottom / 2);
}

using ButtonBehaviour = ButtonDialogTest;

// Bound buttons are owner-drawn and stay so whatever style is set; the dialog code
// says whether the button is the default one, which follows the push-button styles only.
TEST_F(ButtonBehaviour, StylesKeepOwnerDrawAndTrackTheDefaultState) {
    auto defaultCode = [](CStyledButton& b) {
        return static_cast<UINT>(b.SendMessage(WM_GETDLGCODE)) &
               (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON);
    };
    EXPECT_EQ(static_cast<UINT>(BS_OWNERDRAW), TypeBits(m_dlg->m_check));
    EXPECT_EQ(static_cast<UINT>(DLGC_UNDEFPUSHBUTTON), defaultCode(m_dlg->m_plain));
    CStyledButton& b = m_dlg->m_default;
    EXPECT_EQ(static_cast<UINT>(DLGC_DEFPUSHBUTTON), defaultCode(b));
    const std::pair<UINT, bool> steps[] = {
        {BS_PUSHBUTTON, false},  {BS_CHECKBOX, false}, {BS_DEFPUSHBUTTON, true},
        {BS_AUTOCHECKBOX, true}, {BS_GROUPBOX, true},  {BS_PUSHBUTTON, false},
    };
    for (const auto& [style, isDefault] : steps) {
        b.SendMessage(BM_SETSTYLE, style, TRUE);
        EXPECT_EQ(static_cast<UINT>(isDefault ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON),
                  defaultCode(b))
            << style;
        EXPECT_EQ(static_cast<UINT>(BS_OWNERDRAW), TypeBits(b)) << style;
    }
    HDC hdc = ::GetDC(m_dlg->m_hWnd);
    EXPECT_EQ(::GetStockObject(NULL_BRUSH), reinterpret_cast<HGDIOBJ>(m_dlg->SendMessage(
                                                WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(hdc),
                                                reinterpret_cast<LPARAM>(m_dlg->m_plain.m_hWnd))));
    ::ReleaseDC(m_dlg->m_hWnd, hdc);
}

TEST_F(ButtonBehaviour, SetCheckCountsCheckedAndIndeterminateAsChecked) {
    const std::pair<WPARAM, int> steps[] = {{1, 1}, {0, 0}, {2, 1}, {3, 0}, {1, 1}, {0x10, 0}};
    for (const auto& [value, state] : steps) {
        EXPECT_EQ(0, m_dlg->m_check.SendMessage(BM_SETCHECK, value));
        EXPECT_EQ(state, m_dlg->m_check.SendMessage(BM_GETCHECK)) << value;
    }
    EXPECT_EQ(0, m_dlg->m_plain.SendMessage(BM_SETCHECK, 1));
    EXPECT_EQ(0, m_dlg->m_plain.SendMessage(BM_GETCHECK)) << "not in check-box mode";
}

TEST_F(ButtonBehaviour, DisablingMovesTheFocusToTheNextTabStop) {
    ::SetFocus(::GetDlgItem(m_dlg->m_hWnd, IDC_SB_EDIT));
    m_dlg->m_plain.EnableWindow(FALSE);
    EXPECT_EQ(m_dlg->m_default.m_hWnd, ::GetFocus()) << "even without having had the focus";
    m_dlg->m_check.SetFocus();
    m_dlg->m_check.EnableWindow(FALSE);
    EXPECT_EQ(m_dlg->m_flat.m_hWnd, ::GetFocus());
}

// Every setter repaints the whole button, erased, exactly when asked to and when something
// changed that can show.
TEST_F(ButtonBehaviour, SettersRepaintOnlyWhenAsked) {
    ButtonDialog& d = *m_dlg;
    const struct {
        const char* name;
        CountingButton& button;
        std::function<void(CStyledButton&, BOOL)> set;
        bool repaintsUnasked, repaintsAsked;
    } setters[] = {
        {"SetFlatLook", d.m_check, [](auto& b, BOOL r) { b.SetFlatLook(FALSE, r); }, false, true},
        {"SetCheckState", d.m_check, [](auto& b, BOOL r) { b.SetCheckState(1, r); }, false, true},
        {"SetCheckState, push button", d.m_plain, [](auto& b, BOOL r) { b.SetCheckState(1, r); },
         false, false},
        {"ResetColors", d.m_check, [](auto& b, BOOL r) { b.ResetColors(r); }, false, true},
        {"SetSlotColor", d.m_check, [](auto& b, BOOL r) { b.SetSlotColor(5, 0, r); }, false, true},
        {"SetSlotColor, bad slot", d.m_check, [](auto& b, BOOL r) { b.SetSlotColor(6, 0, r); },
         false, false},
        {"SetIcons", d.m_check, [](auto& b, BOOL r) { b.SetIcons(nullptr, nullptr, r); }, false,
         true},
        {"SetBitmaps", d.m_check,
         [](auto& b, BOOL r) { b.SetBitmaps(nullptr, nullptr, nullptr, nullptr, r); }, false, true},
        {"SetImageAlign", d.m_check, [](auto& b, BOOL r) { b.SetImageAlign(SBA_ABOVE, r); }, false,
         true},
        {"SetParentBackground", d.m_check, [](auto& b, BOOL r) { b.SetParentBackground(FALSE, r); },
         false, true},
        {"SetFlatEdge", d.m_check, [](auto& b, BOOL r) { b.SetFlatEdge(FALSE, r); }, false, true},
        {"SetFlatFocusRect", d.m_check, [](auto& b, BOOL r) { b.SetFlatFocusRect(TRUE, r); }, false,
         true},
        {"BM_SETCHECK", d.m_check, [](auto& b, BOOL) { b.SendMessage(BM_SETCHECK, 0); }, true,
         true},
    };
    for (const auto& k : setters)
        for (BOOL repaint : {FALSE, TRUE}) {
            ::ValidateRect(k.button.m_hWnd, nullptr);
            k.set(k.button, repaint);
            EXPECT_EQ(repaint ? k.repaintsAsked : k.repaintsUnasked, RepaintPending(k.button))
                << k.name << ", repaint " << repaint;
        }
}

// The flat look hovers when the pointer is over the button and repaints on the way in and
// on each way out; the 3-D look and a press that started elsewhere never hover.
TEST_F(ButtonBehaviour, HoverRepaintsOnEnterAndOnEachWayOut) {
    CountingButton& b = m_dlg->m_flat;
    const LPARAM inside = ClientCentre(b), outside = MAKELPARAM(-4, -4);
    auto enter = [&] {
        ::ValidateRect(b.m_hWnd, nullptr);
        b.SendMessage(WM_MOUSEMOVE, 0, inside);
        return StyledButtonProbe::Hovering(b) && RepaintPending(b);
    };
    const std::pair<const char*, std::function<void()>> waysOut[] = {
        {"leave notice", [&] { b.SendMessage(WM_MOUSELEAVE); }},
        {"move over another window", [&] { b.SendMessage(WM_MOUSEMOVE, 0, outside); }},
        {"focus lost", [&] { b.SendMessage(WM_KILLFOCUS); }},
        {"deactivated", [&] { b.SendMessage(WM_ACTIVATE, WA_INACTIVE); }},
        {"cancel mode", [&] { b.SendMessage(WM_CANCELMODE); }},
        {"disabled", [&] { b.EnableWindow(FALSE); }},
    };
    for (const auto& [name, leave] : waysOut) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(enter());
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
    m_dlg->m_plain.SendMessage(WM_MOUSEMOVE, 0, ClientCentre(m_dlg->m_plain));
    EXPECT_FALSE(StyledButtonProbe::Hovering(m_dlg->m_plain)) << "the 3-D look";
}

TEST_F(ButtonBehaviour, HoverCursorIsShownOverTheButton) {
    CStyledButton& b = m_dlg->m_plain;
    const WPARAM self = reinterpret_cast<WPARAM>(b.m_hWnd);
    const LPARAM overClient = MAKELPARAM(HTCLIENT, WM_MOUSEMOVE);
    EXPECT_FALSE(b.SendMessage(WM_SETCURSOR, self, overClient)) << "default processing";
    b.SetHoverCursor(::LoadCursorA(nullptr, MAKEINTRESOURCEA(32649)));
    EXPECT_TRUE(b.SendMessage(WM_SETCURSOR, self, overClient));
    EXPECT_EQ(StyledButtonProbe::HoverCursor(b), ::GetCursor());
}

// One tool for the button's client rectangle at the first call; later texts replace its text.
TEST_F(ButtonBehaviour, TipTextKeepsOneToolAndReplacesItsText) {
    CStyledButton& b = m_dlg->m_plain;
    auto tool = [&](RECT* rect) {
        char text[80] = {};
        TOOLINFOA ti{};
        ti.cbSize = sizeof(ti);
        ti.hwnd = b.m_hWnd;
        ti.uId = 1;
        ti.lpszText = text;
        ::SendMessageA(StyledButtonProbe::Tip(b), TTM_GETTOOLINFOA, 0,
                       reinterpret_cast<LPARAM>(&ti));
        *rect = ti.rect;
        ::SendMessageA(StyledButtonProbe::Tip(b), TTM_GETTEXTA, sizeof(text),
                       reinterpret_cast<LPARAM>(&ti));
        return std::to_string(::SendMessageA(StyledButtonProbe::Tip(b), TTM_GETTOOLCOUNT, 0, 0)) +
               " " + text;
    };
    b.SetTipText(nullptr);
    EXPECT_EQ(nullptr, StyledButtonProbe::Tip(b)) << "null does nothing";
    RECT client, rect{};
    ::GetClientRect(b.m_hWnd, &client);
    b.SetTipText("第一");
    EXPECT_EQ("1 第一", tool(&rect));
    EXPECT_EQ(client, rect);
    ::SetWindowPos(b.m_hWnd, nullptr, 0, 0, 20, 10, SWP_NOMOVE | SWP_NOZORDER);
    b.SetTipText("second", FALSE);
    b.SetTipText(nullptr);
    EXPECT_EQ("1 second", tool(&rect));
    EXPECT_EQ(client, rect);
}

// Six slots; the slot is a byte, so only its low 8 bits count. Reset takes the system's.
TEST_F(ButtonBehaviour, SlotColorsAcceptOnlySixSlots) {
    CStyledButton& b = m_dlg->m_plain;
    for (BYTE slot = 0; slot < SBC_COUNT; ++slot)
        ASSERT_EQ(SB_OK, b.SetSlotColor(slot, RGB(slot, 0, 0)));
    EXPECT_EQ(SB_BAD_SLOT, b.SetSlotColor(6, RGB(9, 9, 9)));
    EXPECT_EQ(SB_BAD_SLOT, b.SetSlotColor(static_cast<BYTE>(0x106), RGB(9, 9, 9)));
    EXPECT_EQ(SB_OK, b.SetSlotColor(static_cast<BYTE>(0x105), RGB(9, 9, 9)));
    for (int slot = 0; slot < SBC_COUNT; ++slot)
        EXPECT_EQ(slot == 5 ? RGB(9, 9, 9) : RGB(slot, 0, 0), StyledButtonProbe::Color(b, slot));
    b.ResetColors();
    for (int slot = 0; slot < SBC_COUNT; ++slot)
        EXPECT_EQ(::GetSysColor(slot % 2 ? COLOR_BTNTEXT : COLOR_BTNFACE),
                  StyledButtonProbe::Color(b, slot));
}

// Cut to 259 bytes of whole characters ("通" is one double-byte GBK character); the rest of
// the buffer is cleared.
TEST_F(ButtonBehaviour, LinkIsCutOnACharacterBoundary) {
    std::string dbcs;
    for (int i = 0; i < 150; ++i)
        dbcs += "通";
    ASSERT_EQ(300u, dbcs.size()) << "literals must be GBK";
    const std::pair<std::string, size_t> cases[] = {
        {"C:\\docs\\readme.txt", 18},
        {dbcs, 258},
        {"a" + dbcs, 259},
        {std::string(300, 'x'), 259},
        {std::string(259, 'y'), 259},
        {std::string(100, 'z') + "\x81", 100},
    };
    CStyledButton& b = m_dlg->m_link;
    for (const auto& [link, kept] : cases) {
        b.SetLink(std::string(259, '#').c_str());
        EXPECT_EQ(SB_OK, b.SetLink(link.c_str()));
        const char* held = StyledButtonProbe::Link(b);
        EXPECT_EQ(link.substr(0, kept), std::string(held)) << link.size();
        EXPECT_EQ(std::string(260 - kept, '\0'), std::string(held + kept, 260 - kept));
    }
    b.SetLink(nullptr);
    EXPECT_STREQ("", StyledButtonProbe::Link(b));
}

} // namespace
