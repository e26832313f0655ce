// A real styled button on a real dialog, driven with its own messages: styles, clicks,
// check state, focus on disabling, what repaints, hover, the cursor, the tooltip's tool,
// the colour slots and the link text.

#include "ButtonFixture.h"

#include <commctrl.h>

#include <string>

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
    const std::pair<UINT, LRESULT> steps[] = {{BS_PUSHBUTTON, plain},
                                              {BS_CHECKBOX, plain},
                                              {BS_DEFPUSHBUTTON, def},
                                              {BS_GROUPBOX, def},
                                              {BS_PUSHBUTTON, plain}};
    for (auto [style, expected] : steps) {
        b.SendMessage(BM_SETSTYLE, style, TRUE);
        EXPECT_EQ(expected, look(b)) << style;
    }
    EXPECT_EQ(LRESULT(::GetStockObject(NULL_BRUSH)),
              m_dlg->SendMessage(WM_CTLCOLORBTN, 0, LPARAM(m_dlg->m_plain.m_hWnd)));
}

// A click toggles the check box and still reaches the parent; a double click is a second
// click. BM_SETCHECK counts checked and indeterminate as checked.
TEST_F(ButtonBehaviour, ClicksAndSetCheckToggleTheCheckBox) {
    for (CStyledButton* b : {&m_dlg->m_check, &m_dlg->m_plain})
        for (UINT down : {WM_LBUTTONDOWN, WM_LBUTTONDBLCLK}) {
            b->SendMessage(down, MK_LBUTTON, MAKELPARAM(5, 5));
            b->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        }
    EXPECT_EQ((std::vector<UINT>{IDC_SB_CHECK, IDC_SB_CHECK, IDC_SB_PLAIN, IDC_SB_PLAIN}),
              m_dlg->log);
    EXPECT_EQ(0, m_dlg->m_check.GetCheckState()) << "toggled twice";
    for (auto [value, state] :
         {std::pair{2, 1}, std::pair{3, 0}, std::pair{1, 1}, std::pair{0x10, 0}}) {
        EXPECT_EQ(0, m_dlg->m_check.SendMessage(BM_SETCHECK, value));
        EXPECT_EQ(state, m_dlg->m_check.SendMessage(BM_GETCHECK)) << value;
    }
    m_dlg->m_plain.SendMessage(BM_SETCHECK, 1);
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

// Every setter repaints the whole button, erased, exactly when asked to; a check state
// outside check-box mode and a bad slot change nothing and repaint nothing.
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
    EXPECT_FALSE(repaints(m_dlg->m_plain, setters[1], TRUE)) << "not in check-box mode";
    EXPECT_FALSE(repaints(
        m_dlg->m_check, [](auto& b, BOOL r) { b.SetSlotColor(6, 0, r); }, TRUE));
    EXPECT_TRUE(repaints(
        m_dlg->m_check, [](auto& b, BOOL) { b.SendMessage(BM_SETCHECK); }, 0));
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

TEST_F(ButtonBehaviour, HoverCursorIsShownOverTheButton) {
    CStyledButton& b = m_dlg->m_plain;
    EXPECT_FALSE(b.SendMessage(WM_SETCURSOR, WPARAM(b.m_hWnd), HTCLIENT)) << "default";
    b.SetHoverCursor(::LoadCursorA(nullptr, MAKEINTRESOURCEA(32649)));
    EXPECT_TRUE(b.SendMessage(WM_SETCURSOR, WPARAM(b.m_hWnd), HTCLIENT));
    EXPECT_EQ(StyledButtonProbe::HoverCursor(b), ::GetCursor());
}

// One tool for the client rectangle of the first call; later texts replace its text. The
// slots: six of them, a byte wide; Reset takes the system's colours.
TEST_F(ButtonBehaviour, TipTextKeepsOneToolAndSlotsTakeSixColors) {
    CStyledButton& b = m_dlg->m_plain;
    char text[80] = {};
    TOOLINFOA tool{};
    auto describe = [&] {
        tool = TOOLINFOA{};
        tool.cbSize = sizeof(tool);
        tool.hwnd = b.m_hWnd;
        tool.uId = 1;
        tool.lpszText = text;
        ::SendMessageA(StyledButtonProbe::Tip(b), TTM_GETTOOLINFOA, 0, LPARAM(&tool));
        return std::to_string(::SendMessageA(StyledButtonProbe::Tip(b), TTM_GETTOOLCOUNT, 0, 0)) +
               " " + text;
    };
    b.SetTipText(nullptr);
    EXPECT_EQ(nullptr, StyledButtonProbe::Tip(b)) << "null does nothing";
    RECT client;
    ::GetClientRect(b.m_hWnd, &client);
    b.SetTipText("第一");
    EXPECT_EQ("1 第一", describe());
    ::SetWindowPos(b.m_hWnd, nullptr, 0, 0, 20, 10, SWP_NOMOVE | SWP_NOZORDER);
    b.SetTipText("second", FALSE);
    b.SetTipText(nullptr);
    EXPECT_EQ("1 second", describe());
    EXPECT_EQ(client, tool.rect);

    for (int slot = 0; slot < 0x107; ++slot)
        EXPECT_EQ(slot % 0x100 < SBC_COUNT ? SB_OK : SB_BAD_SLOT,
                  b.SetSlotColor(static_cast<BYTE>(slot), RGB(slot, 1, 1)));
    for (int slot = 0; slot < SBC_COUNT; ++slot)
        EXPECT_EQ(RGB(slot, 1, 1), StyledButtonProbe::Color(b, slot));
    b.ResetColors();
    for (int slot = 0; slot < SBC_COUNT; ++slot)
        EXPECT_EQ(::GetSysColor(slot % 2 ? COLOR_BTNTEXT : COLOR_BTNFACE),
                  StyledButtonProbe::Color(b, slot));
}

// Cut to 259 bytes of whole characters ("通" is one double-byte GBK character); the rest of
// the buffer is cleared.
TEST_F(ButtonBehaviour, LinkIsCutOnACharacterBoundary) {
    std::string dbcs;
    while (dbcs.size() < 300)
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

} // namespace
