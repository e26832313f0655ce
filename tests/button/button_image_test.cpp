// Icons and bitmaps on a styled button: placement for each alignment, the hot or normal
// image, the mask, the disabled look, and the handles the button owns.

#include "ButtonFixture.h"

#include "FreeGdiHandles.h"

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

// Hot image red, normal one blue (or none), each with its mask.
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
        for (CStyledButton* b : {&m_dlg->m_image, &m_dlg->m_check, &m_dlg->m_plain}) {
            b->SetFlatLook(FALSE, FALSE);
            for (BYTE slot = 0; slot < SBC_COUNT; ++slot)
                b->SetSlotColor(slot, slot % 2 ? kText : kFace, FALSE);
            b->SetWindowText("");
        }
        RECT rc;
        ::GetClientRect(m_dlg->m_image.m_hWnd, &rc);
        W = rc.right;
        H = rc.bottom;
        centred = RECT{(W - kImage) / 2, (H - kImage) / 2, 0, 0};
        centred.right = centred.left + kImage / 2;
        centred.bottom = centred.top + kImage;
    }

    int W = 0, H = 0;
    RECT centred{}; // the coloured half of a centred image
};

TEST_F(ButtonImage, EachAlignmentPlacesTheImageAndMovesTheCaption) {
    const int left = centred.left, top = centred.top;
    const struct {
        const char* name;
        BYTE align;
        bool caption;
        int left, top;
        int captionDx2, captionDy2; // shift of the caption's centre, doubled
    } cases[] = {
        {"beside, alone", SBA_BESIDE, false, left, top, 0, 0},
        {"beside", SBA_BESIDE, true, 3, top, kImage + 3, 0},
        {"above, alone", SBA_ABOVE, false, left, top, 0, 0},
        {"above", SBA_ABOVE, true, left, 3, 0, kImage},
        {"right edge, alone", SBA_RIGHT_EDGE, false, left, 0, 0, 0},
        {"right edge", SBA_RIGHT_EDGE, true, W - kImage - 3, top, -kImage, 0},
        {"unknown", 7, true, 0, 0, 0, 0},
    };
    CStyledButton& b = m_dlg->m_image;
    b.SetWindowText("Kestrel");
    const RECT bare = InkBox(*PaintButton(b, 0), kText);
    GiveBitmaps(b, true);
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        b.SetImageAlign(k.align, FALSE);
        b.SetWindowText(k.caption ? "Kestrel" : "");
        auto c = PaintButton(b, 0);
        EXPECT_EQ((RECT{k.left, k.top, k.left + kImage / 2, k.top + kImage}), InkBox(*c, kBlue));
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
    const RECT area{centred.left - 1, centred.top - 1, centred.right + kImage, centred.bottom + 2};
    for (auto give : {GiveBitmaps, GiveIcons}) {
        SCOPED_TRACE(give == GiveIcons ? "icons" : "bitmaps");
        CStyledButton& b = m_dlg->m_image;
        give(b, true);
        EXPECT_EQ(centred, InkBox(*PaintButton(b, 0), kBlue));
        EXPECT_EQ(Offset(centred, 1, 1), InkBox(*PaintButton(b, ODS_SELECTED), kRed));
        EXPECT_EQ(centred, InkBox(*PaintButton(b, 0, true), kRed)) << "hovered";
        auto disabled = PaintButton(b, ODS_DISABLED);
        EXPECT_EQ(0, disabled->Count(area, kBlue) + disabled->Count(area, kRed));
        EXPECT_GT(disabled->Count(area, ::GetSysColor(COLOR_BTNSHADOW)), 0);
        give(b, false);
        EXPECT_EQ(centred, InkBox(*PaintButton(b, 0), kRed));

        CStyledButton& check = m_dlg->m_check;
        give(check, true);
        EXPECT_EQ(centred, InkBox(*PaintButton(check, 0, true), kBlue)) << "hovered, unchecked";
        check.SetCheckState(1, FALSE);
        EXPECT_EQ(centred, InkBox(*PaintButton(check, 0), kRed)) << "checked, not moved";
        check.SetCheckState(0, FALSE);
    }
}

// The button releases what it held when given new images and when destroyed; a handle it
// is given again stays alive and is painted.
TEST_F(ButtonImage, ButtonOwnsItsImagesAndKeepsHandlesGivenAgain) {
    HBITMAP image = MakeImage(kBlue), mask = MakeMask(), shared = MakeMask();
    HBITMAP other = MakeImage(kRed), copiedMask = nullptr;
    HICON icon = MakeIcon(kBlue);
    HCURSOR cursor = nullptr;
    {
        CStyledButton& b = m_dlg->m_image;
        b.SetBitmaps(image, mask, nullptr, nullptr, FALSE);
        b.SetBitmaps(image, mask, nullptr, nullptr, FALSE);
        EXPECT_TRUE(Alive(image) && Alive(mask));
        EXPECT_EQ(centred, InkBox(*PaintButton(b, 0), kBlue));
        b.SetBitmaps(other, shared, image, shared, FALSE);
        EXPECT_FALSE(Alive(mask)) << "released when replaced";
        copiedMask = StyledButtonProbe::Mask(b, 1);
        EXPECT_NE(shared, copiedMask) << "a mask given twice is held twice";
        b.SetIcons(icon, icon, FALSE);
        b.SetIcons(icon, nullptr, FALSE);
        EXPECT_FALSE(Alive(image) || Alive(other) || Alive(copiedMask) || Alive(shared));
        EXPECT_EQ(centred, InkBox(*PaintButton(b, 0), kBlue));
        b.SetHoverCursor(::LoadCursorA(nullptr, MAKEINTRESOURCEA(32649)));
        cursor = StyledButtonProbe::HoverCursor(b);
        EXPECT_NE(::LoadCursorA(nullptr, MAKEINTRESOURCEA(32649)), cursor) << "a private copy";
        m_dlg->DestroyWindow();
        m_dlg.reset();
    }
    EXPECT_FALSE(Alive(icon) || Alive(cursor));
    EXPECT_TRUE(Alive(::LoadCursorA(nullptr, MAKEINTRESOURCEA(32649)))) << "the system's stays";
}

// Images given and replaced and every look painted, many times over: the GDI handle table
// has as much room afterwards as before.
TEST_F(ButtonImage, SettersAndPaintsGiveBackEveryHandle) {
    CStyledButton& b = m_dlg->m_image;
    b.SetWindowText("Kestrel");
    auto round = [&] {
        GiveBitmaps(b, true);
        b.SetBitmaps(MakeImage(kRed), nullptr, MakeImage(kBlue), nullptr, FALSE);
        for (BOOL flat : {FALSE, TRUE}) {
            b.SetFlatLook(flat, FALSE);
            for (UINT state : {0, ODS_FOCUS, ODS_SELECTED, ODS_DISABLED})
                PaintButton(b, state, flat != FALSE);
        }
        GiveIcons(b, true);
        for (UINT state : {0, ODS_DISABLED})
            PaintButton(b, state);
        b.SetParentBackground(TRUE, FALSE);
        PaintButton(b, 0);
        b.SetParentBackground(FALSE, FALSE);
        b.SendMessage(WM_SYSCOLORCHANGE);
    };
    round(); // whatever the system creates once
    const int roomBefore = FreeGdiHandles();
    for (int i = 0; i < 200; ++i)
        round();
    EXPECT_LE(roomBefore - FreeGdiHandles(), 16) << "handles were lost";
}

} // namespace
