// DrawItem of a real styled button, painted into a 32-bit DIB section and checked at the
// pixels its look defines. System colours are read, never assumed.

#include "ButtonFixture.h"

namespace {

const COLORREF kSlots[SBC_COUNT] = {
    RGB(200, 0, 0),   // face hot
    RGB(0, 0, 200),   // text hot
    RGB(0, 160, 0),   // face normal
    RGB(255, 255, 0), // text normal
    RGB(0, 200, 200), // face focus
    RGB(255, 0, 255), // text focus: never painted
};
constexpr COLORREF kBlack = RGB(0, 0, 0);

COLORREF Sys(int index) {
    return ::GetSysColor(index);
}

// True when neighbouring pixels of a row (dx 1) or column (dy 1) all differ, as a dotted
// focus rectangle leaves them.
bool Dotted(const DibCanvas& c, int x, int y, int dx, int dy, int steps) {
    for (int i = 0; i < steps; ++i, x += dx, y += dy)
        if (c.Pixel(x, y) == c.Pixel(x + dx, y + dy))
            return false;
    return true;
}

// Pixels of one colour on the outermost ring of the canvas.
int RingCount(const DibCanvas& c, COLORREF color) {
    const int W = c.Width(), H = c.Height();
    return c.Count({0, 0, W, H}, color) - c.Count({1, 1, W - 1, H - 1}, color);
}

class ButtonPaint : public ButtonDialogTest {
  protected:
    void SetUp() override {
        ButtonDialogTest::SetUp();
        if (HasFatalFailure())
            return;
        for (CStyledButton* b : {&m_dlg->m_plain, &m_dlg->m_default, &m_dlg->m_check,
                                 &m_dlg->m_flat, &m_dlg->m_image}) {
            for (BYTE slot = 0; slot < SBC_COUNT; ++slot)
                b->SetSlotColor(slot, kSlots[slot], FALSE);
            b->SetWindowText("Kestrel");
            if (b != &m_dlg->m_flat)
                b->SetFlatLook(FALSE, FALSE);
        }
        const int bevel[] = {COLOR_BTNHIGHLIGHT, COLOR_3DLIGHT, COLOR_3DDKSHADOW, COLOR_BTNSHADOW};
        for (int a : bevel)
            for (int b : bevel)
                ASSERT_TRUE(a == b || Sys(a) != Sys(b)) << "bevel colours must be told apart";
    }
};

// Neither focused nor default: the bevel starts at the item edge, no black outline.
TEST_F(ButtonPaint, RaisedBevelLiesOnItsExactPixels) {
    auto c = PaintButton(m_dlg->m_plain, 0);
    const int W = c->Width(), H = c->Height();
    const std::pair<int, std::vector<POINT>> bevel[] = {
        {COLOR_BTNHIGHLIGHT, {{0, 0}, {W - 2, 0}, {0, H - 2}}},
        {COLOR_3DDKSHADOW,
         {{W - 1, 0}, {0, H - 1}, {W - 1, H - 1}, {W / 2, H - 1}, {W - 1, H / 2}}},
        {COLOR_3DLIGHT, {{1, 1}, {W - 3, 1}, {1, H - 3}}},
        {COLOR_BTNSHADOW, {{W - 2, 1}, {W - 2, H - 2}, {1, H - 2}, {W / 2, H - 2}, {W - 2, H / 2}}},
    };
    for (const auto& [color, points] : bevel)
        for (POINT p : points)
            EXPECT_EQ(Sys(color), c->Pixel(p.x, p.y)) << "at " << p.x << "," << p.y;
    EXPECT_EQ(kSlots[SBC_FACE_NORMAL], c->Pixel(2, 2));
    EXPECT_EQ(kSlots[SBC_FACE_NORMAL], c->Pixel(W - 3, H - 3));
    EXPECT_FALSE(Dotted(*c, 4, 4, 1, 0, W - 9)) << "no focus rectangle";
}

// Focused or default: a one-pixel black outline with the bevel inside it; the focus
// rectangle 4 pixels inside, with or without a caption.
TEST_F(ButtonPaint, FocusedOrDefaultGetsBlackOutlineAndBevelInside) {
    struct Case {
        const char* name;
        CStyledButton* button;
        const char* caption;
        UINT state;
        bool focusRect;
    } cases[] = {
        {"focused", &m_dlg->m_plain, "Kestrel", ODS_FOCUS, true},
        {"focused, no caption", &m_dlg->m_plain, "", ODS_FOCUS, true},
        {"default", &m_dlg->m_default, "Kestrel", 0, false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        k.button->SetWindowText(k.caption);
        auto c = PaintButton(*k.button, k.state);
        const int W = c->Width(), H = c->Height();
        EXPECT_EQ(2 * W + 2 * H - 4, RingCount(*c, kBlack));
        EXPECT_EQ(Sys(COLOR_BTNHIGHLIGHT), c->Pixel(1, 1));
        EXPECT_EQ(Sys(COLOR_3DLIGHT), c->Pixel(2, 2));
        EXPECT_EQ(Sys(COLOR_3DDKSHADOW), c->Pixel(W - 2, H - 2));
        EXPECT_EQ(Sys(COLOR_BTNSHADOW), c->Pixel(W - 3, H - 3));
        COLORREF face = kSlots[k.focusRect ? SBC_FACE_FOCUS : SBC_FACE_NORMAL];
        EXPECT_EQ(face, c->Pixel(3, 3));
        EXPECT_EQ(face, c->Pixel(3, H / 2));
        EXPECT_EQ(k.focusRect, Dotted(*c, 4, 4, 1, 0, W - 9));
        EXPECT_EQ(k.focusRect, Dotted(*c, 4, 4, 0, 1, H - 9));
        if (*k.caption == '\0') {
            EXPECT_EQ(0, c->Count({0, 0, W, H}, kSlots[SBC_TEXT_NORMAL]));
            EXPECT_EQ(face, c->Pixel(W / 2, H / 2));
        }
    }
}

TEST_F(ButtonPaint, PressedShowsShadowFrameHotFaceAndMovedCaption) {
    auto normal = PaintButton(m_dlg->m_plain, 0);
    auto pressed = PaintButton(m_dlg->m_plain, ODS_SELECTED);
    const int W = pressed->Width(), H = pressed->Height();
    EXPECT_EQ(2 * W + 2 * H - 4, RingCount(*pressed, Sys(COLOR_BTNSHADOW)));
    EXPECT_EQ(kSlots[SBC_FACE_HOT], pressed->Pixel(1, 1)) << "no bevel inside the frame";
    EXPECT_EQ(0, pressed->Count({1, 1, W - 1, H - 1}, Sys(COLOR_BTNHIGHLIGHT)));
    RECT before = InkBox(*normal, kSlots[SBC_TEXT_NORMAL]);
    RECT after = InkBox(*pressed, kSlots[SBC_TEXT_HOT]);
    ASSERT_FALSE(::IsRectEmpty(&before));
    EXPECT_TRUE(SameRect(Offset(before, 1, 1), after)) << Describe(before) << Describe(after);
}

// A checked check-box-mode button looks pressed but its caption stays put.
TEST_F(ButtonPaint, CheckedCheckBoxLooksPressedWithoutMoving) {
    CStyledButton& b = m_dlg->m_check;
    RECT before = InkBox(*PaintButton(b, 0), kSlots[SBC_TEXT_NORMAL]);
    b.SetCheckState(1, FALSE);
    for (UINT state : {0u, static_cast<UINT>(ODS_SELECTED)}) {
        auto checked = PaintButton(b, state);
        EXPECT_EQ(kSlots[SBC_FACE_HOT], checked->Pixel(3, checked->Height() / 2));
        EXPECT_EQ(Sys(COLOR_BTNSHADOW), checked->Pixel(0, 0));
        RECT after = InkBox(*checked, kSlots[SBC_TEXT_HOT]);
        EXPECT_TRUE(SameRect(before, after)) << Describe(before) << Describe(after);
    }
}

TEST_F(ButtonPaint, FaceAndCaptionTakeTheirSlots) {
    struct Case {
        const char* name;
        bool flat;
        UINT state;
        bool hovering;
        int face, text;
    } cases[] = {
        {"3-D normal", false, 0, false, SBC_FACE_NORMAL, SBC_TEXT_NORMAL},
        {"3-D focused", false, ODS_FOCUS, false, SBC_FACE_FOCUS, SBC_TEXT_NORMAL},
        {"3-D pressed", false, ODS_SELECTED, false, SBC_FACE_HOT, SBC_TEXT_HOT},
        {"3-D pressed focused", false, ODS_SELECTED | ODS_FOCUS, false, SBC_FACE_HOT, SBC_TEXT_HOT},
        {"flat normal", true, 0, false, SBC_FACE_NORMAL, SBC_TEXT_NORMAL},
        {"flat focused", true, ODS_FOCUS, false, SBC_FACE_FOCUS, SBC_TEXT_NORMAL},
        {"flat hovered", true, 0, true, SBC_FACE_HOT, SBC_TEXT_HOT},
        {"flat hovered focused", true, ODS_FOCUS, true, SBC_FACE_HOT, SBC_TEXT_HOT},
        {"flat pressed", true, ODS_SELECTED, false, SBC_FACE_HOT, SBC_TEXT_HOT},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        auto c = PaintButton(k.flat ? m_dlg->m_flat : m_dlg->m_plain, k.state, k.hovering);
        const RECT all{0, 0, c->Width(), c->Height()};
        EXPECT_EQ(kSlots[k.face], c->Pixel(3, c->Height() / 2));
        const int otherText = k.text == SBC_TEXT_HOT ? SBC_TEXT_NORMAL : SBC_TEXT_HOT;
        EXPECT_GT(c->Count(all, kSlots[k.text]), 10);
        EXPECT_EQ(0, c->Count(all, kSlots[otherText]));
        EXPECT_EQ(0, c->Count(all, kSlots[SBC_TEXT_FOCUS]));
    }
}

// Embossed in system colours: a highlight copy one pixel right and down under a shadow copy.
TEST_F(ButtonPaint, DisabledCaptionIsEmbossedWhateverTheSlots) {
    auto c = PaintButton(m_dlg->m_plain, ODS_DISABLED);
    const int W = c->Width(), H = c->Height();
    const RECT inside{3, 3, W - 3, H - 3};
    EXPECT_EQ(0, c->Count(inside, kSlots[SBC_TEXT_NORMAL]));
    EXPECT_EQ(0, c->Count(inside, kSlots[SBC_TEXT_HOT]));
    RECT light = InkBox(*c, Sys(COLOR_BTNHIGHLIGHT), &inside);
    RECT dark = InkBox(*c, Sys(COLOR_BTNSHADOW), &inside);
    ASSERT_FALSE(::IsRectEmpty(&dark));
    EXPECT_EQ(dark.right + 1, light.right);
    EXPECT_EQ(dark.bottom + 1, light.bottom);
    EXPECT_EQ(kSlots[SBC_FACE_NORMAL], c->Pixel(2, H / 2)) << "the face still follows PaintFace";
}

// Centred both ways, on one line and on several: a larger item moves the ink by half the
// growth.
TEST_F(ButtonPaint, CaptionIsCentredAndWrapsAtWords) {
    CStyledButton& b = m_dlg->m_plain;
    RECT rc;
    ::GetClientRect(b.m_hWnd, &rc);
    RECT a = InkBox(*PaintButton(b, 0), kSlots[SBC_TEXT_NORMAL]);
    RECT larger =
        InkBox(*PaintButton(b, 0, false, rc.right + 40, rc.bottom + 20), kSlots[SBC_TEXT_NORMAL]);
    ASSERT_FALSE(::IsRectEmpty(&a));
    EXPECT_TRUE(SameRect(Offset(a, 20, 10), larger)) << Describe(a) << Describe(larger);

    b.SetWindowText("alpha beta gamma");
    auto c = PaintButton(b, 0, false, 60, 60);
    const CSize line = c->Dc().GetTextExtent("alpha", 5);
    ASSERT_GT(c->Dc().GetTextExtent("alpha beta gamma", 16).cx, 60) << "must not fit on one line";
    RECT ink = InkBox(*c, kSlots[SBC_TEXT_NORMAL]);
    EXPECT_GT(ink.bottom - ink.top, 2 * line.cy) << "three lines";
    EXPECT_LE(ink.right - ink.left, 60);
    EXPECT_LE(std::abs(ink.left - (60 - ink.right)), 2) << Describe(ink);
    RECT taller = InkBox(*PaintButton(b, 0, false, 60, 80), kSlots[SBC_TEXT_NORMAL]);
    EXPECT_TRUE(SameRect(Offset(ink, 0, 10), taller)) << Describe(ink) << Describe(taller);
}

TEST_F(ButtonPaint, FlatEdgeOnlyWhenHoveredOrPressed) {
    CStyledButton& b = m_dlg->m_flat;
    b.SetWindowText("");
    const COLORREF light = Sys(COLOR_BTNHIGHLIGHT), shadow = Sys(COLOR_BTNSHADOW);
    const COLORREF normal = kSlots[SBC_FACE_NORMAL], hot = kSlots[SBC_FACE_HOT];
    struct Case {
        const char* name;
        bool hovering;
        UINT state;
        BOOL flatEdge;
        COLORREF topLeft, bottomRight;
    } cases[] = {
        {"idle", false, 0, TRUE, normal, normal},
        {"hovered", true, 0, TRUE, light, shadow},
        {"pressed", false, ODS_SELECTED, TRUE, shadow, light},
        {"hovered, no edge", true, 0, FALSE, hot, hot},
        {"pressed, no edge", false, ODS_SELECTED, FALSE, hot, hot},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        b.SetFlatEdge(k.flatEdge, FALSE);
        auto c = PaintButton(b, k.state, k.hovering);
        const int W = c->Width(), H = c->Height();
        for (POINT p : {POINT{0, 0}, POINT{W - 2, 0}, POINT{0, H - 2}})
            EXPECT_EQ(k.topLeft, c->Pixel(p.x, p.y)) << p.x << "," << p.y;
        for (POINT p : {POINT{W - 1, 0}, POINT{0, H - 1}, POINT{W - 1, H - 1}})
            EXPECT_EQ(k.bottomRight, c->Pixel(p.x, p.y)) << p.x << "," << p.y;
        const COLORREF face = c->Pixel(W / 2, H / 2);
        EXPECT_EQ((W - 2) * (H - 2), c->Count({1, 1, W - 1, H - 1}, face)) << "one face colour";
    }
}

TEST_F(ButtonPaint, FlatFocusRectangleOnlyWhenAskedFor) {
    CStyledButton& b = m_dlg->m_flat;
    b.SetWindowText("");
    auto plain = PaintButton(b, ODS_FOCUS);
    const int W = plain->Width(), H = plain->Height();
    EXPECT_EQ(W * H, plain->Count({0, 0, W, H}, kSlots[SBC_FACE_FOCUS]));
    b.SetFlatFocusRect(TRUE, FALSE);
    EXPECT_TRUE(Dotted(*PaintButton(b, ODS_FOCUS), 3, 3, 1, 0, W - 7))
        << "3 pixels inside: no outline in the flat look";
}

// A parent-background button shows the parent's pixels, copied once until the colours change.
TEST_F(ButtonPaint, ParentBackgroundIsCopiedOnceUntilSystemColoursChange) {
    CStyledButton& b = m_dlg->m_plain;
    b.SetWindowText("");
    b.SetParentBackground(TRUE, FALSE);
    RECT rc;
    ::GetWindowRect(b.m_hWnd, &rc);
    ::MapWindowPoints(nullptr, m_dlg->m_hWnd, reinterpret_cast<POINT*>(&rc), 2);
    auto middleAfterFill = [&](COLORREF color) {
        HDC hdc = ::GetDC(m_dlg->m_hWnd);
        CDC::FromHandle(hdc)->FillSolidRect(&rc, color);
        ::ReleaseDC(m_dlg->m_hWnd, hdc);
        ::GdiFlush();
        auto c = PaintButton(b, 0);
        return c->Pixel(c->Width() / 2, c->Height() / 2);
    };
    const COLORREF first = RGB(250, 0, 250), second = RGB(0, 250, 250);
    ::ValidateRect(m_dlg->m_hWnd, nullptr);
    ::ValidateRect(b.m_hWnd, nullptr);
    EXPECT_EQ(first, middleAfterFill(first));
    EXPECT_NE(nullptr, StyledButtonProbe::ParentCopyDc(b));
    EXPECT_EQ(first, middleAfterFill(second)) << "served from the copy";
    b.SendMessage(WM_SYSCOLORCHANGE);
    EXPECT_EQ(nullptr, StyledButtonProbe::ParentCopyDc(b));
    EXPECT_EQ(second, middleAfterFill(second)) << "a fresh copy";
}

} // namespace
