// Icons and bitmaps on a styled button: placement for each alignment, the hot/normal slot
// choice, the mask convention and the disabled look, checked in a DIB section.

#include "ButtonFixture.h"

namespace {

constexpr int kImage = 16;
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kFace = RGB(0, 160, 0);
constexpr COLORREF kText = RGB(255, 255, 0);

// Left half in the colour, right half black and transparent under the mask.
HBITMAP MakeImage(COLORREF color) {
    return MakeBitmap(false, [=](int x, int) { return x < kImage / 2 ? color : RGB(0, 0, 0); });
}

HBITMAP MakeMask() {
    return MakeBitmap(true, [](int x, int) { return x < kImage / 2 ? 0 : RGB(255, 255, 255); });
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
        for (CStyledButton* b : {&m_dlg->m_image, &m_dlg->m_check, &m_dlg->m_plain}) {
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

    // Hot image red, normal one blue (or none), each with the mask above.
    static void GiveBitmaps(CStyledButton& b, bool normal = true) {
        b.SetBitmaps(MakeImage(kRed), MakeMask(), normal ? MakeImage(kBlue) : nullptr,
                     normal ? MakeMask() : nullptr, FALSE);
    }
    static void GiveIcons(CStyledButton& b, bool normal = true) {
        b.SetIcons(MakeIcon(kRed), normal ? MakeIcon(kBlue) : nullptr, FALSE);
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
    const RECT bareText = InkBox(*PaintButton(b, 0), kText);
    GiveBitmaps(b);
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        b.SetImageAlign(k.align, FALSE);
        b.SetWindowText(k.caption ? "Kestrel" : "");
        auto c = PaintButton(b, 0);
        RECT image = InkBox(*c, kBlue);
        RECT expected{k.left, k.top, k.left + kImage / 2, k.top + kImage};
        EXPECT_TRUE(SameRect(image, expected)) << Describe(image) << Describe(expected);
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

// Bitmaps and icons alike: the normal image unless pressed or hovered, moved with the
// press, greyed when disabled; the masks do not take the text colour the DC held.
TEST_F(ButtonImage, HotOrNormalSlotAndGreyWhenDisabled) {
    const RECT area{left - 1, top - 1, left + kImage + 2, top + kImage + 2};
    const struct {
        CStyledButton& b;
        void (*give)(CStyledButton&, bool);
    } kinds[] = {{m_dlg->m_image, GiveBitmaps}, {m_dlg->m_plain, GiveIcons}};
    for (const auto& [b, give] : kinds) {
        SCOPED_TRACE(give == GiveIcons ? "icons" : "bitmaps");
        b.SetWindowText("");
        give(b, true);
        auto normal =
            PaintButton(b, 0, false, 0, 0, [](CDC& dc) { dc.SetTextColor(RGB(0, 255, 0)); });
        RECT blue = InkBox(*normal, kBlue), expected = CentredInk();
        EXPECT_TRUE(SameRect(blue, expected)) << Describe(blue);
        EXPECT_EQ(kFace, normal->Pixel(left + kImage * 3 / 4, top)) << "masked half";
        auto pressed = PaintButton(b, ODS_SELECTED);
        EXPECT_EQ(kRed, pressed->Pixel(left + 1, top + 1)) << "hot image, moved with the press";
        EXPECT_EQ(0, pressed->Count({0, 0, W, H}, kBlue));
        auto disabled = PaintButton(b, ODS_DISABLED);
        EXPECT_EQ(0, disabled->Count(area, kBlue));
        EXPECT_EQ(0, disabled->Count(area, kRed));
        EXPECT_GT(disabled->Count(area, ::GetSysColor(COLOR_BTNSHADOW)), 0);
        b.SetFlatLook(TRUE, FALSE);
        EXPECT_EQ(kRed, PaintButton(b, 0, true)->Pixel(left, top)) << "hovered";
        give(b, false);
        EXPECT_EQ(kRed, PaintButton(b, 0)->Pixel(left, top)) << "the hot image serves both";
    }
}

// In check-box mode only the checked (pressed) state is hot, and nothing moves.
TEST_F(ButtonImage, CheckBoxModeIsHotOnlyWhenChecked) {
    CStyledButton& b = m_dlg->m_check;
    b.SetWindowText("");
    GiveBitmaps(b);
    b.SetFlatLook(TRUE, FALSE);
    EXPECT_EQ(kBlue, PaintButton(b, 0, true)->Pixel(left, top));
    b.SetCheckState(1, FALSE);
    RECT red = InkBox(*PaintButton(b, 0, true), kRed), expected = CentredInk();
    EXPECT_TRUE(SameRect(red, expected)) << Describe(red);
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

// Giving the button a handle it already holds keeps that handle alive, and it still paints.
TEST_F(ButtonImage, HandlesGivenAgainAreKept) {
    CStyledButton& b = m_dlg->m_image;
    b.SetWindowText("");
    HBITMAP image = MakeImage(kBlue), mask = MakeMask();
    b.SetBitmaps(image, mask, nullptr, nullptr, FALSE);
    b.SetBitmaps(image, mask, nullptr, nullptr, FALSE);
    EXPECT_TRUE(Alive(image) && Alive(mask));
    EXPECT_EQ(kBlue, PaintButton(b, 0)->Pixel(left, top));
    HICON icon = MakeIcon(kBlue);
    b.SetIcons(icon, nullptr, FALSE);
    b.SetIcons(icon, nullptr, FALSE);
    EXPECT_EQ(kBlue, PaintButton(b, 0)->Pixel(left, top));
}

} // namespace
