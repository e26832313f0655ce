// A real styled button on a real dialog in Xvfb: subclassing, styles, check state, clicks
// and double clicks, focus on disabling, hover with real mouse moves, tooltip, colour
// slots and the link.

#include "ButtonFixture.h"

#include "WaitFor.h"

#include <cstring>

namespace {

UINT TypeBits(HWND hWnd) {
    return static_cast<UINT>(::GetWindowLongPtrA(hWnd, GWL_STYLE)) & 0x1F;
}

std::string ToolText(CStyledButton& b, RECT* rect) {
    char text[INFOTIPSIZE] = {};
    EXPECT_TRUE(StyledButtonProbe::Tip(b).GetToolInfo(&b, 1, text, sizeof(text), rect));
    return text;
}

using ButtonBehaviour = ButtonDialogTest;

// Bound buttons are owner-drawn, and stay so whatever style is set; the default state
// follows the push-button styles only.
TEST_F(ButtonBehaviour, StylesKeepOwnerDrawAndTrackTheDefaultState) {
    for (CStyledButton* b : {&m_dlg->m_plain, &m_dlg->m_default, &m_dlg->m_check, &m_dlg->m_flat,
                             &m_dlg->m_link, &m_dlg->m_image})
        EXPECT_EQ(static_cast<UINT>(BS_OWNERDRAW), TypeBits(b->m_hWnd));
    // The default state shows in the dialog code.
    auto isDefault = [](CStyledButton& b) {
        const UINT code = static_cast<UINT>(b.SendMessage(WM_GETDLGCODE));
        EXPECT_NE(0u, code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON));
        EXPECT_NE(0u, ~code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) << "not both";
        return (code & DLGC_DEFPUSHBUTTON) != 0;
    };
    EXPECT_TRUE(isDefault(m_dlg->m_default));
    EXPECT_FALSE(isDefault(m_dlg->m_plain));

    struct Step {
        UINT style;
        bool isDefault;
    } steps[] = {
        {BS_PUSHBUTTON, false},  {BS_CHECKBOX, false},       {BS_DEFPUSHBUTTON, true},
        {BS_AUTOCHECKBOX, true}, {BS_AUTORADIOBUTTON, true}, {BS_GROUPBOX, true},
        {BS_OWNERDRAW, true},    {BS_PUSHBUTTON, false},
    };
    for (const Step& s : steps) {
        m_dlg->m_default.SendMessage(BM_SETSTYLE, s.style, TRUE);
        EXPECT_EQ(s.isDefault, isDefault(m_dlg->m_default)) << s.style;
        EXPECT_EQ(static_cast<UINT>(BS_OWNERDRAW), TypeBits(m_dlg->m_default.m_hWnd)) << s.style;
    }
}

// The parent's control-colour request goes to the button, which asks for no background.
TEST_F(ButtonBehaviour, ControlColourIsTheHollowBrush) {
    HDC hdc = ::GetDC(m_dlg->m_hWnd);
    LRESULT brush = m_dlg->SendMessage(WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(hdc),
                                       reinterpret_cast<LPARAM>(m_dlg->m_plain.m_hWnd));
    ::ReleaseDC(m_dlg->m_hWnd, hdc);
    EXPECT_EQ(::GetStockObject(NULL_BRUSH), reinterpret_cast<HGDIOBJ>(brush));
}

TEST_F(ButtonBehaviour, SetCheckCountsCheckedAndIndeterminateAsChecked) {
    struct Step {
        WPARAM value;
        int state;
    } steps[] = {{1, 1}, {0, 0}, {2, 1}, {3, 0}, {1, 1}, {0x10, 0}, {BST_INDETERMINATE, 1}};
    for (const Step& s : steps) {
        EXPECT_EQ(0, m_dlg->m_check.SendMessage(BM_SETCHECK, s.value));
        EXPECT_EQ(s.state, m_dlg->m_check.SendMessage(BM_GETCHECK)) << s.value;
        EXPECT_EQ(s.state, m_dlg->m_check.GetCheckState());
    }
    for (CStyledButton* b : {&m_dlg->m_plain, &m_dlg->m_default}) {
        EXPECT_EQ(0, b->SendMessage(BM_SETCHECK, 1));
        EXPECT_EQ(0, b->SendMessage(BM_GETCHECK)) << "not in check-box mode";
        b->SetCheckState(1, TRUE);
        EXPECT_EQ(0, b->GetCheckState());
    }
}

// A click toggles the check box and still reaches the parent; a real X double click
// counts as two clicks.
TEST_F(ButtonBehaviour, ClicksToggleAndDoubleClickCountsAsTwo) {
    m_dlg->m_check.SendMessage(BM_CLICK);
    EXPECT_EQ(1, m_dlg->m_check.GetCheckState());
    EXPECT_EQ(m_dlg->m_check.m_hWnd, ::GetFocus());
    m_dlg->m_check.SendMessage(BM_CLICK);
    EXPECT_EQ(0, m_dlg->m_check.GetCheckState());
    EXPECT_EQ((std::vector<UINT>{IDC_SB_CHECK, IDC_SB_CHECK}), m_dlg->clicks);

    for (CountingButton* b : {&m_dlg->m_check, &m_dlg->m_plain}) {
        const UINT id = static_cast<UINT>(b->GetDlgCtrlID());
        SCOPED_TRACE(id);
        m_dlg->clicks.clear();
        ASSERT_TRUE(XdoTool(MoveToCentre(b->m_hWnd) + " click --repeat 2 --delay 80 1"));
        EXPECT_TRUE(WaitFor([&] { return m_dlg->clicks.size() >= 2; }));
        EXPECT_EQ((std::vector<UINT>{id, id}), m_dlg->clicks);
        EXPECT_GE(b->doubleClicks, 1) << "the system saw a double click";
    }
    EXPECT_EQ(0, m_dlg->m_check.GetCheckState()) << "toggled twice";
}

TEST_F(ButtonBehaviour, DisablingMovesTheFocusToTheNextTabStop) {
    ::SetFocus(::GetDlgItem(m_dlg->m_hWnd, IDC_SB_EDIT));
    m_dlg->m_plain.EnableWindow(FALSE);
    EXPECT_EQ(m_dlg->m_default.m_hWnd, ::GetFocus()) << "even without having had the focus";
    m_dlg->m_check.SetFocus();
    m_dlg->m_check.EnableWindow(FALSE);
    EXPECT_EQ(m_dlg->m_flat.m_hWnd, ::GetFocus());
}

// Real pointer moves: the flat look hovers and leaves; the 3-D look never hovers.
TEST_F(ButtonBehaviour, HoverFollowsTheRealMouseInTheFlatLookOnly) {
    CountingButton& flat = m_dlg->m_flat;
    CountingButton& solid = m_dlg->m_plain;
    solid.SetFlatLook(FALSE);
    const HWND edit = ::GetDlgItem(m_dlg->m_hWnd, IDC_SB_EDIT);
    auto moveTo = [](HWND hWnd) { return XdoTool(MoveToCentre(hWnd)); };
    auto hovering = [&] { return StyledButtonProbe::Hovering(flat) != FALSE; };
    auto enter = [&] { return moveTo(flat.m_hWnd) && WaitFor(hovering); };
    ASSERT_TRUE(enter());
    ASSERT_TRUE(moveTo(edit));
    EXPECT_TRUE(WaitFor([&] { return !hovering(); })) << "left through WM_MOUSELEAVE";
    ASSERT_TRUE(enter());
    flat.SendMessage(WM_CANCELMODE);
    EXPECT_FALSE(hovering()) << "cancel mode ends hovering";
    flat.SetFocus();
    ASSERT_TRUE(moveTo(edit));
    ASSERT_TRUE(enter());
    m_dlg->m_next.SetFocus();
    EXPECT_FALSE(hovering()) << "losing the focus ends hovering";

    const int before = solid.mouseMoves;
    ASSERT_TRUE(moveTo(solid.m_hWnd));
    ASSERT_TRUE(WaitFor([&] { return solid.mouseMoves > before; }));
    EXPECT_FALSE(StyledButtonProbe::Hovering(solid));

    ASSERT_TRUE(enter());
    flat.EnableWindow(FALSE);
    EXPECT_FALSE(hovering()) << "disabling ends hovering";
}

TEST_F(ButtonBehaviour, HoverCursorIsShownOverTheButton) {
    CStyledButton& b = m_dlg->m_plain;
    const LPARAM overClient = MAKELPARAM(HTCLIENT, WM_MOUSEMOVE);
    const WPARAM self = reinterpret_cast<WPARAM>(b.m_hWnd);
    HCURSOR arrow = ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
    ::SetCursor(arrow);
    EXPECT_FALSE(b.SendMessage(WM_SETCURSOR, self, overClient)) << "default processing";
    b.SetHoverCursor(::LoadCursorA(nullptr, MAKEINTRESOURCEA(32649)));
    EXPECT_TRUE(b.SendMessage(WM_SETCURSOR, self, overClient));
    EXPECT_EQ(StyledButtonProbe::HoverCursor(b), ::GetCursor());
    ::SetCursor(arrow);
    b.SetHoverCursor(nullptr);
    EXPECT_FALSE(b.SendMessage(WM_SETCURSOR, self, overClient));
    EXPECT_EQ(arrow, ::GetCursor());
}

TEST_F(ButtonBehaviour, TipTextKeepsOneToolAndReplacesItsText) {
    CStyledButton& b = m_dlg->m_plain;
    b.SetTipText(nullptr);
    EXPECT_EQ(nullptr, StyledButtonProbe::Tip(b).m_hWnd) << "null does nothing";
    b.SetTipText("第一");
    ASSERT_NE(nullptr, StyledButtonProbe::Tip(b).m_hWnd);
    EXPECT_EQ(1, StyledButtonProbe::Tip(b).GetToolCount());
    RECT client, tool{};
    ::GetClientRect(b.m_hWnd, &client);
    EXPECT_EQ("第一", ToolText(b, &tool));
    EXPECT_TRUE(::EqualRect(&client, &tool));

    ::SetWindowPos(b.m_hWnd, nullptr, 0, 0, 20, 10, SWP_NOMOVE | SWP_NOZORDER);
    b.SetTipText("second", FALSE);
    EXPECT_EQ(1, StyledButtonProbe::Tip(b).GetToolCount());
    EXPECT_EQ("second", ToolText(b, &tool));
    EXPECT_TRUE(::EqualRect(&client, &tool)) << "the rectangle of the first call";
    b.SetTipText(nullptr);
    EXPECT_EQ("second", ToolText(b, &tool));
}

TEST_F(ButtonBehaviour, SlotColoursAcceptOnlySixSlots) {
    CStyledButton& b = m_dlg->m_plain;
    COLORREF model[SBC_COUNT];
    for (BYTE slot = 0; slot < SBC_COUNT; ++slot) {
        model[slot] = RGB(slot, 0, 0);
        ASSERT_EQ(SB_OK, b.SetSlotColor(slot, model[slot]));
    }
    struct Case {
        BYTE slot;
        DWORD result;
    } cases[] = {
        {6, SB_BAD_SLOT},
        {255, SB_BAD_SLOT},
        {static_cast<BYTE>(0x106), SB_BAD_SLOT},
        {static_cast<BYTE>(0x105), SB_OK},
        {0, SB_OK},
    };
    int n = 0;
    for (const Case& k : cases) {
        const COLORREF color = RGB(9, 9, ++n);
        EXPECT_EQ(k.result, b.SetSlotColor(k.slot, color)) << int{k.slot};
        if (k.result == SB_OK)
            model[k.slot] = color;
        for (int slot = 0; slot < SBC_COUNT; ++slot)
            EXPECT_EQ(model[slot], StyledButtonProbe::Color(b, slot)) << "slot " << slot;
    }
    b.ResetColors();
    for (int slot = 0; slot < SBC_COUNT; ++slot)
        EXPECT_EQ(::GetSysColor(slot % 2 ? COLOR_BTNTEXT : COLOR_BTNFACE),
                  StyledButtonProbe::Color(b, slot));
}

// A link is cut to 259 bytes of whole characters; "通" is one double-byte GBK character.
TEST_F(ButtonBehaviour, LinkIsCutOnACharacterBoundary) {
    const std::string dbcs = "通";
    ASSERT_EQ(2u, dbcs.size()) << "literals must be GBK";
    auto repeat = [&dbcs](int n) {
        std::string out;
        while (n-- > 0)
            out += dbcs;
        return out;
    };
    struct Case {
        const char* name;
        std::string link;
        size_t kept;
    } cases[] = {
        {"short", "C:\\docs\\readme.txt", 18},
        {"300 bytes of double-byte characters", repeat(150), 258},
        {"one byte, then double-byte characters", "a" + repeat(149), 259},
        {"300 single bytes", std::string(300, 'x'), 259},
        {"exactly 259 bytes", std::string(259, 'y'), 259},
        {"a lead byte with nothing after it", std::string(100, 'z') + "\x81", 100},
    };
    CStyledButton& b = m_dlg->m_link;
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        EXPECT_EQ(SB_OK, b.SetLink(k.link.c_str()));
        const char* kept = StyledButtonProbe::Link(b);
        EXPECT_EQ(k.kept, std::strlen(kept));
        EXPECT_EQ(0, std::memcmp(kept, k.link.data(), std::strlen(kept)));
        EXPECT_EQ(0,
                  std::memcmp(kept + k.kept, std::string(260 - k.kept, '\0').data(), 260 - k.kept))
            << "the rest of the buffer is cleared";
    }
    b.SetLink(nullptr);
    EXPECT_STREQ("", StyledButtonProbe::Link(b));
}

// The link names a probe program; "open" on it starts it, and it leaves a file behind.
TEST_F(ButtonBehaviour, ClickedLinkIsOpened) {
    char dir[MAX_PATH], out[MAX_PATH];
    ASSERT_NE(0u, ::GetTempPathA(MAX_PATH, dir));
    ASSERT_NE(0u, ::GetTempFileNameA(dir, "lnk", 0, out));
    ::DeleteFileA(out);
    ::SetEnvironmentVariableA("KESTREL_LINK_PROBE_OUT", out);
    const std::string probe = WindowsPath(KESTREL_LINK_PROBE);
    m_dlg->m_link.SetLink(probe.c_str());
    m_dlg->m_link.SendMessage(BM_CLICK);
    EXPECT_EQ((std::vector<UINT>{IDC_SB_LINK}), m_dlg->clicks) << "the parent still hears of it";
    EXPECT_TRUE(WaitFor([&] { return ::GetFileAttributesA(out) != INVALID_FILE_ATTRIBUTES; }))
        << "the link was not opened";
    ::DeleteFileA(out);
}

} // namespace
