// Icons and bitmaps on a styled button: placement for each alignment, the hot or normal
// image, the mask, the disabled look, and the handles the button owns.

#include "ButtonFixture.h"

#include "FreeGdiHandles.h"

namespace {

constexpr int kImage = 16;
constexpr COLORREF kRed = RGB(255, 0, 0), kBlue = RGB(0, 0, 255);
constexpr COLORREF kFace = RGB(0, 160, 0), kText = RGB(255, 255, 0);

// 16 by 16, the left half in the colour and the right half black, where the mask's set
// bits make it transparent.
HBITMAP MakeImage(COLORREF color) {
    std::vector<DWORD> bits(kImage * kImage);
    for (size_t i = 0; i < bits.size(); ++i)
        bits[i] =
            i % kImage < kImage / 2 ? RGB(GetBValue(color), GetGValue(color), GetRValue(color)) : 0;
    return ::CreateBitmap(kImage, kImage, 1, 32, bits.data());
}
HBITMAP MakeMask() {
    const std::vector<WORD> rows(kImage, 0xFF00);
    return ::CreateBitmap(kImage, kImage, 1, 1, rows.data());
}
HICON MakeIcon(COLORREF color) {
    ICONINFO ii{TRUE, 0, 0, MakeMask(), MakeImage(color)};
    HICON icon = ::CreateIconIndirect(&ii);
    ::DeleteObject(ii.hbmMask);
    ::DeleteObject(ii.hbmColor);
    return icon;
}
bool Alive(HANDLE h) {
    ICONINFO ii{};
    if (!::GetIconInfo(static_cast<HICON>(h), &ii))
        return ::GetObjectType(h) != 0;
    ::DeleteObject(ii.hbmColor);
    ::DeleteObject(ii.hbmMask);
    return true;
}

// Hot image red, normal one blue (or none).
void GiveBitmaps(CStyledButton& b, bool normal) {
    b.SetBitmaps(MakeImage(kRed), MakeMask(), normal ? MakeImage(kBlue) : nullptr,
                 normal ? MakeMask() : nullptr, FALSE);
}
void GiveIcons(CStyledButton& b, bool normal) {
    b.SetIcons(MakeIcon(kRed), normal ? MakeIcon(kBlue) : nullptr, FALSE);
}

class ButtonImage : public ButtonDialogTest {
  protected:
    void SetUp() override {
        ButtonDialogTest::SetUp();
        for (CStyledButton* b : {&m_dlg->m_next, &m_dlg->m_check}) {
            b->SetFlatLook(FALSE, FALSE);
            for (BYTE slot = 0; slot < SBC_COUNT; ++slot)
                b->SetSlotColor(slot, slot % 2 ? kText : kFace, FALSE);
            b->SetWindowText("");
        }
        RECT rc;
        ::GetClientRect(m_dlg->m_next.m_hWnd, &rc);
        W = rc.right;
        left = (W - kImage) / 2;
        top = (rc.bottom - kImage) / 2;
    }
    // Where the coloured half of an image at (x, y) shows.
    static RECT Ink(int x, int y) { return RECT{x, y, x + kImage / 2, y + kImage}; }

    int W = 0, left = 0, top = 0; // left and top of a centred image
};

TEST_F(ButtonImage, EachAlignmentPlacesTheImageAndMovesTheCaption) {
    const struct {
        BYTE align;
        bool caption;
        int left, top;
        int captionDx2, captionDy2; // shift of the caption's centre, doubled
    } cases[] = {
        {SBA_BESIDE, false, left, top, 0, 0},
        {SBA_BESIDE, true, 3, top, kImage + 3, 0},
        {SBA_ABOVE, false, left, top, 0, 0},
        {SBA_ABOVE, true, left, 3, 0, kImage},
        {SBA_RIGHT_EDGE, false, left, 0, 0, 0},
        {SBA_RIGHT_EDGE, true, W - kImage - 3, top, -kImage, 0},
        {7, true, 0, 0, 0, 0},
    };
    CStyledButton& b = m_dlg->m_next;
    b.SetWindowText("Kestrel");
    const RECT bare = InkBox(*PaintButton(b, 0), kText);
    GiveBitmaps(b, true);
    for (const auto& k : cases) {
        SCOPED_TRACE(testing::Message() << "align " << int{k.align} << ", caption " << k.caption);
        b.SetImageAlign(k.align, FALSE);
        b.SetWindowText(k.caption ? "Kestrel" : "");
        auto c = PaintButton(b, 0);
        EXPECT_EQ(Ink(k.left, k.top), InkBox(*c, kBlue));
        EXPECT_EQ(kFace, c->Pixel(k.left + kImage * 3 / 4, k.top + kImage / 2)) << "masked half";
        const RECT text = InkBox(*c, kText);
        if (k.caption) {
            EXPECT_NEAR(k.captionDx2, text.left + text.right - bare.left - bare.right, 2);
            EXPECT_NEAR(k.captionDy2, text.top + text.bottom - bare.top - bare.bottom, 2);
        }
    }
}

// Bitmaps and icons alike: the normal image unless hot (pressed or hovered; checked in
// check-box mode), moved with the press of a push button, greyed when disabled; without a
// normal image the hot one serves both.
TEST_F(ButtonImage, HotOrNormalImageMovedWhenPressedGreyWhenDisabled) {
    const RECT area{left - 1, top - 1, left + kImage + 2, top + kImage + 2};
    for (auto give : {GiveBitmaps, GiveIcons}) {
        SCOPED_TRACE(give == GiveIcons ? "icons" : "bitmaps");
        CStyledButton& b = m_dlg->m_next;
        give(b, true);
        EXPECT_EQ(Ink(left, top), InkBox(*PaintButton(b, 0), kBlue));
        EXPECT_EQ(Ink(left + 1, top + 1), InkBox(*PaintButton(b, ODS_SELECTED), kRed));
        EXPECT_EQ(Ink(left, top), InkBox(*PaintButton(b, 0, true), kRed)) << "hovered";
        auto disabled = PaintButton(b, ODS_DISABLED);
        EXPECT_EQ(0, disabled->Count(area, kBlue) + disabled->Count(area, kRed));
        EXPECT_GT(disabled->Count(area, ::GetSysColor(COLOR_BTNSHADOW)), 0);
        give(b, false);
        EXPECT_EQ(Ink(left, top), InkBox(*PaintButton(b, 0), kRed));
        give(m_dlg->m_check, true);
        EXPECT_EQ(Ink(left, top), InkBox(*PaintButton(m_dlg->m_check, 0, true), kBlue));
        m_dlg->m_check.SetCheckState(1, FALSE);
        EXPECT_EQ(Ink(left, top), InkBox(*PaintButton(m_dlg->m_check, 0), kRed)) << "checked";
        m_dlg->m_check.SetCheckState(0, FALSE);
    }
}

// The button releases what it held when given new images and when it goes; a handle it
// is given again stays alive and is painted. Giving, replacing and painting many times
// over leaves the GDI handle table as much room as before.
TEST_F(ButtonImage, ButtonOwnsItsImagesAndKeepsHandlesGivenAgain) {
    CStyledButton& b = m_dlg->m_next;
    HBITMAP image = MakeImage(kBlue), mask = MakeMask(), shared = MakeMask();
    HBITMAP other = MakeImage(kRed);
    HICON icon = MakeIcon(kBlue);
    b.SetBitmaps(image, mask, nullptr, nullptr, FALSE);
    b.SetBitmaps(image, mask, nullptr, nullptr, FALSE);
    EXPECT_TRUE(Alive(image) && Alive(mask));
    EXPECT_EQ(Ink(left, top), InkBox(*PaintButton(b, 0), kBlue));
    b.SetBitmaps(other, shared, image, shared, FALSE);
    EXPECT_FALSE(Alive(mask)) << "released when replaced";
    HBITMAP copiedMask = StyledButtonProbe::Mask(b, 1);
    EXPECT_NE(shared, copiedMask) << "a mask given twice is held twice";
    b.SetIcons(icon, icon, FALSE);
    b.SetIcons(icon, nullptr, FALSE);
    EXPECT_FALSE(Alive(image) || Alive(other) || Alive(copiedMask) || Alive(shared));
    EXPECT_EQ(Ink(left, top), InkBox(*PaintButton(b, 0), kBlue));

    auto round = [&] {
        GiveBitmaps(b, true);
        b.SetBitmaps(MakeImage(kRed), nullptr, MakeImage(kBlue), nullptr, FALSE);
        for (UINT state : {0, ODS_FOCUS, ODS_SELECTED, ODS_DISABLED})
            PaintButton(b, state, state == 0);
        GiveIcons(b, true);
        PaintButton(b, ODS_DISABLED);
        b.SetParentBackground(TRUE, FALSE);
        PaintButton(b, 0);
        b.SendMessage(WM_SYSCOLORCHANGE);
        b.SetParentBackground(FALSE, FALSE);
    };
    round(); // whatever the system creates once
    const int roomBefore = FreeGdiHandles();
    for (int i = 0; i < 200; ++i)
        round();
    EXPECT_LE(roomBefore - FreeGdiHandles(), 16) << "handles were lost";

    EXPECT_FALSE(Alive(icon)) << "released when replaced";
    icon = MakeIcon(kBlue);
    b.SetIcons(icon, nullptr, FALSE);
    b.SetHoverCursor(::LoadCursorA(nullptr, MAKEINTRESOURCEA(32649)));
    HCURSOR cursor = StyledButtonProbe::HoverCursor(b);
    EXPECT_NE(::LoadCursorA(nullptr, MAKEINTRESOURCEA(32649)), cursor) << "a private copy";
    m_dlg->DestroyWindow();
    m_dlg.reset();
    EXPECT_FALSE(Alive(icon) || Alive(cursor)) << "released with the button";
    EXPECT_TRUE(Alive(::LoadCursorA(nullptr, MAKEINTRESOURCEA(32649)))) << "the system's stays";
}

} // namespace
