// Icons and bitmaps on a styled button: placement for each alignment, the hot/normal slot
// choice, the mask convention and the disabled look, checked in a DIB section.

#include "ButtonFixture.h"

#include "CSelectGuard.h"

namespace {

constexpr int kImage = 16;
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kFace = RGB(0, 160, 0);
constexpr COLORREF kText = RGB(255, 255, 0);

// Left half in the colour, right half black: transparent under the mask below.
HBITMAP MakeImage(COLORREF color) {
    HDC screen = ::GetDC(nullptr);
    HBITMAP bmp = ::CreateCompatibleBitmap(screen, kImage, kImage);
    ::ReleaseDC(nullptr, screen);
    CDC dc;
    dc.CreateCompatibleDC(nullptr);
    CSelectGuard select(dc.GetSafeHdc(), bmp);
    dc.FillSolidRect(0, 0, kImage, kImage, RGB(0, 0, 0));
    dc.FillSolidRect(0, 0, kImage / 2, kImage, color);
    return bmp;
}

// Set bits (white) on the right half: transparent there.
HBITMAP MakeMask() {
    BYTE rows[kImage * 2];
    for (int y = 0; y < kImage; ++y) {
        rows[2 * y] = 0x00;
        rows[2 * y + 1] = 0xFF;
    }
    return ::CreateBitmap(kImage, kImage, 1, 1, rows);
}

HICON MakeIcon(COLORREF color) {
    HBITMAP image = MakeImage(color);
    HBITMAP mask = MakeMask();
    ICONINFO ii{TRUE, 0, 0, mask, image};
    HICON icon = ::CreateIconIndirect(&ii);
    ::DeleteObject(image);
    ::DeleteObject(mask);
    return icon;
}

bool Alive(HGDIOBJ h) {
    return ::GetObjectType(h) != 0;
}

class ButtonImage : public ButtonDialogTest {
  protected:
    void SetUp() override {
        ButtonDialogTest::SetUp();
        if (HasFatalFailure())
            return;
        for (CStyledButton* b : {&m_dlg->m_image, &m_dlg->m_check}) {
            b->SetFlatLook(FALSE, FALSE);
            b->SetSlotColor(SBC_FACE_NORMAL, kFace, FALSE);
            b->SetSlotColor(SBC_FACE_FOCUS, kFace, FALSE);
            b->SetSlotColor(SBC_FACE_HOT, kFace, FALSE);
            b->SetSlotColor(SBC_TEXT_NORMAL, kText, FALSE);
            b->SetSlotColor(SBC_TEXT_HOT, kText, FALSE);
        }
        RECT rc;
        ::GetClientRect(m_dlg->m_image.m_hWnd, &rc);
        W = rc.right;
        H = rc.bottom;
        left = (W - kImage) / 2;
        top = (H - kImage) / 2;
    }

    void GiveBitmaps(CStyledButton& b) {
        b.SetBitmaps(MakeImage(kRed), MakeMask(), MakeImage(kBlue), MakeMask(), FALSE);
    }

    // Where the coloured (unmasked) half of a centred image lies.
    RECT CentredInk() const { return RECT{left, top, left + kImage / 2, top + kImage}; }

    int W = 0, H = 0;
    // The top-left corner of a centred image.
    int left = 0, top = 0;
};

TEST_F(ButtonImage, EachAlignmentPlacesTheImageAndMovesTheCaption) {
    struct Case {
        const char* name;
        BYTE align;
        bool caption;
        int left, top;
        int captionDx2, captionDy2; // shift of the caption's centre, doubled
    };
    const Case cases[] = {
        {"beside, alone", SBA_BESIDE, false, left, top, 0, 0},
        {"beside, with caption", SBA_BESIDE, true, 3, top, kImage + 3, 0},
        {"above, alone", SBA_ABOVE, false, left, top, 0, 0},
        {"above, with caption", SBA_ABOVE, true, left, 3, 0, kImage},
        {"right edge, alone", SBA_RIGHT_EDGE, false, left, 0, 0, 0},
        {"right edge, with caption", SBA_RIGHT_EDGE, true, W - kImage - 3, top, -kImage, 0},
        {"unknown", 7, true, 0, 0, 0, 0},
    };
    CStyledButton& b = m_dlg->m_image;
    b.SetWindowText("Kestrel");
    auto bare = PaintButton(b, 0);
    RECT bareText = InkBox(*bare, kText);
    GiveBitmaps(b);
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        b.SetImageAlign(k.align, FALSE);
        b.SetWindowText(k.caption ? "Kestrel" : "");
        auto c = PaintButton(b, 0);
        RECT image = InkBox(*c, kBlue);
        RECT expected{k.left, k.top, k.left + kImage / 2, k.top + kImage};
        EXPECT_TRUE(::EqualRect(&image, &expected)) << Describe(image) << Describe(expected);
        EXPECT_EQ(kFace, c->Pixel(k.left + kImage * 3 / 4, k.top + kImage / 2)) << "masked half";
        if (!k.caption)
            continue;
        RECT text = InkBox(*c, kText);
        ASSERT_FALSE(::IsRectEmpty(&text));
        const int dx2 = (text.left + text.right) - (bareText.left + bareText.right);
        const int dy2 = (text.top + text.bottom) - (bareText.top + bareText.bottom);
        EXPECT_LE(std::abs(dx2 - k.captionDx2), 2) << "caption moved by " << dx2 << "/2";
        EXPECT_LE(std::abs(dy2 - k.captionDy2), 2) << "caption moved by " << dy2 << "/2";
    }
}

TEST_F(ButtonImage, HotSlotWhenPressedOrHoveredNormalSlotOtherwise) {
    CStyledButton& b = m_dlg->m_image;
    b.SetWindowText("");
    GiveBitmaps(b);
    auto normal = PaintButton(b, 0);
    EXPECT_EQ(kBlue, normal->Pixel(left, top));
    auto pressed = PaintButton(b, ODS_SELECTED);
    EXPECT_EQ(kRed, pressed->Pixel(left + 1, top + 1)) << "hot image, moved with the press";
    EXPECT_EQ(0, pressed->Count({0, 0, W, H}, kBlue));
    b.SetFlatLook(TRUE, FALSE);
    StyledButtonProbe::SetHovering(b, TRUE);
    auto hovered = PaintButton(b, 0);
    StyledButtonProbe::SetHovering(b, FALSE);
    EXPECT_EQ(kRed, hovered->Pixel(left, top));

    b.SetBitmaps(MakeImage(kRed), MakeMask(), nullptr, nullptr, FALSE);
    auto onlyHot = PaintButton(b, 0);
    EXPECT_EQ(kRed, onlyHot->Pixel(left, top)) << "the hot image serves both states";
}

// In check-box mode only the checked (pressed) state is hot, and nothing moves.
TEST_F(ButtonImage, CheckBoxModeIsHotOnlyWhenChecked) {
    CStyledButton& b = m_dlg->m_check;
    b.SetWindowText("");
    GiveBitmaps(b);
    b.SetFlatLook(TRUE, FALSE);
    StyledButtonProbe::SetHovering(b, TRUE);
    auto hovered = PaintButton(b, 0);
    b.SetCheckState(1, FALSE);
    auto checked = PaintButton(b, 0);
    StyledButtonProbe::SetHovering(b, FALSE);
    EXPECT_EQ(kBlue, hovered->Pixel(left, top));
    RECT red = InkBox(*checked, kRed), expected = CentredInk();
    EXPECT_TRUE(::EqualRect(&red, &expected)) << Describe(red);
}

TEST_F(ButtonImage, DisabledBitmapIsGreyed) {
    CStyledButton& b = m_dlg->m_image;
    b.SetWindowText("");
    GiveBitmaps(b);
    auto c = PaintButton(b, ODS_DISABLED);
    const RECT area{left - 1, top - 1, left + kImage + 2, top + kImage + 2};
    EXPECT_EQ(0, c->Count(area, kBlue));
    EXPECT_EQ(0, c->Count(area, kRed));
    EXPECT_GT(c->Count(area, ::GetSysColor(COLOR_BTNSHADOW)), 0);
}

// The masks are monochrome: blitting them must not take the DC's text colour.
TEST_F(ButtonImage, BitmapIgnoresTheTextColourTheDcHeld) {
    CStyledButton& b = m_dlg->m_image;
    b.SetWindowText("");
    GiveBitmaps(b);
    auto c = PaintButton(b, 0, 0, 0, [](CDC& dc) { dc.SetTextColor(RGB(0, 255, 0)); });
    EXPECT_EQ(kBlue, c->Pixel(left, top));
    EXPECT_EQ(kFace, c->Pixel(left + kImage * 3 / 4, top));
}

TEST_F(ButtonImage, IconsUseTheSameSlotsAndGreyWhenDisabled) {
    CStyledButton& b = m_dlg->m_image;
    b.SetWindowText("");
    b.SetIcons(MakeIcon(kRed), MakeIcon(kBlue), FALSE);
    EXPECT_EQ(static_cast<DWORD>(kImage), StyledButtonProbe::Icon(b, 0).cx);
    EXPECT_EQ(static_cast<DWORD>(kImage), StyledButtonProbe::Icon(b, 1).cy);
    auto normal = PaintButton(b, 0);
    RECT blue = InkBox(*normal, kBlue), expected = CentredInk();
    EXPECT_TRUE(::EqualRect(&blue, &expected)) << Describe(blue);
    EXPECT_EQ(kFace, normal->Pixel(left + kImage * 3 / 4, top)) << "icon mask";
    auto pressed = PaintButton(b, ODS_SELECTED);
    EXPECT_EQ(kRed, pressed->Pixel(left + 1, top + 1));
    auto disabled = PaintButton(b, ODS_DISABLED);
    EXPECT_EQ(0, disabled->Count({0, 0, W, H}, kBlue));
}

// The button owns what it is given: replacing or destroying releases every handle once.
TEST_F(ButtonImage, ImagesAndCursorAreReleasedByTheirOwner) {
    HBITMAP image = MakeImage(kRed), mask = MakeMask(), shared = MakeMask();
    HBITMAP image2 = MakeImage(kBlue);
    HICON icon = MakeIcon(kRed);
    HCURSOR cursor = nullptr;
    HBITMAP copiedMask = nullptr;
    {
        CStyledButton b;
        b.SetBitmaps(image, mask, nullptr, nullptr, FALSE);
        b.SetBitmaps(image, shared, image2, shared, FALSE);
        EXPECT_FALSE(Alive(mask)) << "released when replaced";
        copiedMask = StyledButtonProbe::Bitmap(b, 1).hMask;
        EXPECT_NE(shared, copiedMask) << "a mask given twice is held twice";
        b.SetIcons(icon, icon, FALSE);
        EXPECT_FALSE(Alive(image));
        EXPECT_EQ(nullptr, StyledButtonProbe::Icon(b, 1).hIcon) << "held once";
        b.SetHoverCursor(::LoadCursorA(nullptr, MAKEINTRESOURCEA(32649)));
        cursor = StyledButtonProbe::HoverCursor(b);
        ASSERT_NE(nullptr, cursor);
        EXPECT_NE(::LoadCursorA(nullptr, MAKEINTRESOURCEA(32649)), cursor) << "a private copy";
    }
    EXPECT_FALSE(Alive(shared));
    EXPECT_FALSE(Alive(copiedMask));
    EXPECT_FALSE(Alive(image2));
    ICONINFO ii{};
    EXPECT_FALSE(::GetIconInfo(icon, &ii));
    EXPECT_FALSE(::GetIconInfo(cursor, &ii));
    EXPECT_TRUE(::GetIconInfo(::LoadCursorA(nullptr, MAKEINTRESOURCEA(32649)), &ii))
        << "the shared system cursor stays";
    ::DeleteObject(ii.hbmColor);
    ::DeleteObject(ii.hbmMask);
}

} // namespace
