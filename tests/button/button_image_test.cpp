// Icons and bitmaps on a styled button: where each alignment puts them, which one shows in
// which state, the mask, the disabled look, and the handles the button owns.

#include "ButtonFixture.h"

namespace {

constexpr int kSize = 16;
constexpr COLORREF kRed = RGB(255, 0, 0), kBlue = RGB(0, 0, 255);
constexpr COLORREF kFace = RGB(0, 160, 0), kText = RGB(255, 255, 0);

// 16 by 16, the left half in the colour and the right half black, where the mask's set
// bits make it transparent.
HBITMAP MakeImage(COLORREF color) {
    std::vector<DWORD> bits(kSize * kSize);
    for (size_t i = 0; i < bits.size(); ++i)
        bits[i] =
            i % kSize < kSize / 2 ? RGB(GetBValue(color), GetGValue(color), GetRValue(color)) : 0;
    return ::CreateBitmap(kSize, kSize, 1, 32, bits.data());
}
HBITMAP MakeMask() {
    const std::vector<WORD> rows(kSize, 0xFF00);
    return ::CreateBitmap(kSize, kSize, 1, 1, rows.data());
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
    return ::GetObjectType(h) != 0 || ::GetIconInfo(static_cast<HICON>(h), &ii);
}

// Hot image red, normal one blue.
void GiveBitmaps(CStyledButton& b) {
    b.SetBitmaps(MakeImage(kRed), MakeMask(), MakeImage(kBlue), MakeMask(), FALSE);
}
void GiveIcons(CStyledButton& b) {
    b.SetIcons(MakeIcon(kRed), MakeIcon(kBlue), FALSE);
}

using ButtonImage = ButtonDialogTest;

// Bitmaps and icons alike. The coloured half lies where the alignment puts the image (at
// the left and top given) and the caption moves aside; the normal image shows unless the
// button is hot (pressed or hovered, or checked in check-box mode), the press of a push
// button moves it, and disabled it is greyed.
TEST_F(ButtonImage, AlignmentAndStatePlaceAndChooseTheImage) {
    CStyledButton& b = m_dlg->m_next;
    RECT rc;
    ::GetClientRect(b.m_hWnd, &rc);
    const int W = rc.right, x = (W - kSize) / 2, y = (rc.bottom - kSize) / 2;
    const struct {
        CStyledButton& button;
        BYTE align;
        bool caption;
        UINT state;
        bool hovering;
        COLORREF ink; // the image's colour, or none where it is greyed
        int left, top;
        int captionDx2, captionDy2; // how far the caption's centre moves, doubled
    } cases[] = {
        {b, SBA_BESIDE, false, 0, false, kBlue, x, y, 0, 0},
        {b, SBA_BESIDE, true, 0, false, kBlue, 3, y, kSize + 3, 0},
        {b, SBA_ABOVE, false, 0, false, kBlue, x, y, 0, 0},
        {b, SBA_ABOVE, true, 0, false, kBlue, x, 3, 0, kSize},
        {b, SBA_RIGHT_EDGE, false, 0, false, kBlue, x, 0, 0, 0},
        {b, SBA_RIGHT_EDGE, true, 0, false, kBlue, W - kSize - 3, y, -kSize, 0},
        {b, 7, true, 0, false, kBlue, 0, 0, 0, 0},
        {b, SBA_BESIDE, false, ODS_SELECTED, false, kRed, x + 1, y + 1, 0, 0},
        {b, SBA_BESIDE, false, 0, true, kRed, x, y, 0, 0},
        {b, SBA_BESIDE, false, ODS_DISABLED, false, CLR_NONE, 0, 0, 0, 0},
        {m_dlg->m_check, SBA_BESIDE, false, 0, true, kBlue, x, y, 0, 0},
        {m_dlg->m_check, SBA_BESIDE, false, ODS_SELECTED, false, kRed, x, y, 0, 0},
    };
    for (CStyledButton* button : {&m_dlg->m_next, &m_dlg->m_check}) {
        button->SetFlatLook(FALSE, FALSE);
        for (BYTE slot = 0; slot < SBC_COUNT; ++slot)
            button->SetSlotColor(slot, slot % 2 ? kText : kFace, FALSE);
    }
    b.SetWindowText("Kestrel");
    const RECT bare = InkBox(*PaintButton(b, 0), kText), all{0, 0, W, rc.bottom};
    for (auto give : {GiveBitmaps, GiveIcons})
        for (const auto& k : cases) {
            SCOPED_TRACE(testing::Message()
                         << (give == GiveIcons ? "icons " : "bitmaps ") << &k - cases);
            give(k.button);
            k.button.SetImageAlign(k.align, FALSE);
            k.button.SetWindowText(k.caption ? "Kestrel" : "");
            auto c = PaintButton(k.button, k.state, k.hovering);
            if (k.ink == CLR_NONE) {
                EXPECT_EQ(0, c->Count(all, kRed) + c->Count(all, kBlue)) << "greyed";
                continue;
            }
            EXPECT_EQ((RECT{k.left, k.top, k.left + kSize / 2, k.top + kSize}), InkBox(*c, k.ink));
            EXPECT_EQ(kFace, c->Pixel(k.left + kSize * 3 / 4, k.top + kSize / 2)) << "masked half";
            const RECT text = InkBox(*c, kText);
            if (k.caption) {
                EXPECT_NEAR(k.captionDx2, text.left + text.right - bare.left - bare.right, 2);
                EXPECT_NEAR(k.captionDy2, text.top + text.bottom - bare.top - bare.bottom, 2);
            }
        }
}

// The button releases what it held when given new images and when it goes; a handle it
// is given again stays alive and is painted.
TEST_F(ButtonImage, ButtonOwnsItsImagesAndKeepsHandlesGivenAgain) {
    CStyledButton& b = m_dlg->m_next;
    HBITMAP image = MakeImage(kBlue), mask = MakeMask(), shared = MakeMask();
    HBITMAP other = MakeImage(kRed);
    HICON icon = MakeIcon(kBlue);
    auto paintsBlue = [&] { return InkBox(*PaintButton(b, 0), kBlue).right > 0; };
    b.SetBitmaps(image, mask, nullptr, nullptr, FALSE);
    b.SetBitmaps(image, mask, nullptr, nullptr, FALSE);
    EXPECT_TRUE(Alive(image) && Alive(mask) && paintsBlue());
    b.SetBitmaps(other, shared, image, shared, FALSE);
    EXPECT_FALSE(Alive(mask)) << "released when replaced";
    HBITMAP copiedMask = StyledButtonProbe::Mask(b, 1);
    EXPECT_NE(shared, copiedMask) << "a mask given twice is held twice";
    b.SetIcons(icon, icon, FALSE);
    b.SetIcons(icon, nullptr, FALSE);
    EXPECT_FALSE(Alive(image) || Alive(other) || Alive(copiedMask) || Alive(shared));
    EXPECT_TRUE(paintsBlue());
    HCURSOR system = ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32649));
    b.SetHoverCursor(system);
    HCURSOR cursor = StyledButtonProbe::HoverCursor(b);
    EXPECT_NE(system, cursor) << "a private copy";
    m_dlg->DestroyWindow();
    m_dlg.reset();
    EXPECT_FALSE(Alive(icon) || Alive(cursor)) << "released with the button";
    EXPECT_TRUE(Alive(system));
}

} // namespace
