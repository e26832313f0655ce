// DrawItem of real styled buttons, painted into a 32-bit DIB section and checked at the
// pixels its look defines. System colours are read, never assumed.

#include "ButtonFixture.h"

#include <functional>
#include <initializer_list>

// The import slot through which the framework deletes its DCs.
extern "C" BOOL(WINAPI* __imp_DeleteDC)(HDC);

namespace {

// Face hot, text hot, face normal, text normal, face focus, text focus (never painted).
const COLORREF kSlots[SBC_COUNT] = {RGB(200, 0, 0),   RGB(0, 0, 200),   RGB(0, 160, 0),
                                    RGB(255, 255, 0), RGB(0, 200, 200), RGB(255, 0, 255)};
const COLORREF kLight = ::GetSysColor(COLOR_BTNHIGHLIGHT), k3dLight = ::GetSysColor(COLOR_3DLIGHT),
               kDark = ::GetSysColor(COLOR_3DDKSHADOW), kShadow = ::GetSysColor(COLOR_BTNSHADOW);

class ButtonPaint : public ButtonDialogTest {
  protected:
    void SetUp() override {
        ButtonDialogTest::SetUp();
        ButtonDialog& d = *m_dlg;
        for (CStyledButton* b : {&d.m_plain, &d.m_default, &d.m_check, &d.m_flat, &d.m_next}) {
            for (BYTE slot = 0; slot < SBC_COUNT; ++slot)
                b->SetSlotColor(slot, kSlots[slot], FALSE);
            b->SetWindowText("Kestrel");
            b->SetFlatLook(b == &d.m_flat || b == &d.m_next, FALSE);
        }
        d.m_next.SetFlatEdge(FALSE, FALSE);
        d.m_next.SetFlatFocusRect(TRUE, FALSE);
        d.m_check.SetCheckState(1, FALSE);
    }
};

// Each look at its defining pixels: the outer corner, the one inside it, the far corner
// and the one inside that, the face, the caption's slot, and the dotted focus rectangle.
TEST_F(ButtonPaint, EachLookHasItsColors) {
    const COLORREF black = RGB(0, 0, 0), hot = kSlots[SBC_FACE_HOT], face = kSlots[SBC_FACE_NORMAL],
                   focus = kSlots[SBC_FACE_FOCUS];
    const int hotText = SBC_TEXT_HOT, text = SBC_TEXT_NORMAL;
    ButtonDialog& d = *m_dlg;
    const struct {
        CStyledButton& button;
        UINT state;
        bool hovering;
        COLORREF corner, inner, farCorner, farInner, face;
        int text;       // the caption's slot, or -1 for none of them
        int focusInset; // where the focus rectangle is drawn, or 0 for none
    } looks[] = {
        {d.m_plain, 0, false, kLight, k3dLight, kDark, kShadow, face, text, 0},
        {d.m_plain, ODS_FOCUS, false, black, kLight, black, kDark, focus, text, 4},
        {d.m_default, 0, false, black, kLight, black, kDark, face, text, 0},
        {d.m_plain, ODS_SELECTED, false, kShadow, hot, kShadow, hot, hot, hotText, 0},
        {d.m_plain, ODS_SELECTED | ODS_FOCUS, false, black, kShadow, black, kShadow, hot, hotText,
         4},
        {d.m_check, 0, false, kShadow, hot, kShadow, hot, hot, hotText, 0},
        {d.m_plain, ODS_DISABLED, false, kLight, k3dLight, kDark, kShadow, face, -1, 0},
        {d.m_flat, 0, false, face, face, face, face, face, text, 0},
        {d.m_flat, ODS_FOCUS, false, focus, focus, focus, focus, focus, text, 0},
        {d.m_flat, ODS_FOCUS, true, kLight, hot, kShadow, hot, hot, hotText, 0},
        {d.m_flat, ODS_SELECTED, false, kShadow, hot, kLight, hot, hot, hotText, 0},
        {d.m_next, ODS_FOCUS, true, hot, hot, hot, hot, hot, hotText, 3},
    };
    for (const auto& k : looks) {
        SCOPED_TRACE(testing::Message() << "look " << &k - looks);
        auto c = PaintButton(k.button, k.state, k.hovering);
        const int W = c->Width(), H = c->Height(), inset = k.focusInset ? k.focusInset : 3;
        EXPECT_EQ(k.corner, c->Pixel(0, 0));
        EXPECT_EQ(k.inner, c->Pixel(1, 1));
        EXPECT_EQ(k.farCorner, c->Pixel(W - 1, H - 1));
        EXPECT_EQ(k.farInner, c->Pixel(W - 2, H - 2));
        EXPECT_EQ(k.face, c->Pixel(5, H / 2));
        for (int slot : {SBC_TEXT_HOT, SBC_TEXT_NORMAL, SBC_TEXT_FOCUS})
            EXPECT_EQ(slot == k.text, c->Count({0, 0, W, H}, kSlots[slot]) > 10) << slot;
        bool dotted = true; // neighbours all differ along a dotted focus rectangle's row
        for (int x = inset; x < W - inset - 1; ++x)
            dotted = dotted && c->Pixel(x, inset) != c->Pixel(x + 1, inset);
        EXPECT_EQ(k.focusInset != 0, dotted);
    }
    // The raised bevel's polylines leave out their end points and overlap in drawing order.
    auto c = PaintButton(d.m_plain, 0);
    const int W = c->Width(), H = c->Height();
    const std::tuple<int, int, COLORREF> bevel[] = {
        {W - 2, 0, kLight},   {0, H - 2, kLight},  {W - 1, 0, kDark},  {0, H - 1, kDark},
        {W - 3, 1, k3dLight}, {W - 2, 1, kShadow}, {1, H - 2, kShadow}};
    for (auto [x, y, color] : bevel)
        EXPECT_EQ(color, c->Pixel(x, y)) << x << "," << y;
}

// Centred both ways; a pressed push button moves it by one pixel, a checked check box does
// not. Disabled, a highlight copy lies one pixel right and down under a shadow copy.
TEST_F(ButtonPaint, CaptionIsCentredMovedWhenPressedAndEmbossed) {
    const COLORREF text = kSlots[SBC_TEXT_NORMAL], hot = kSlots[SBC_TEXT_HOT];
    CStyledButton& b = m_dlg->m_plain;
    auto normal = PaintButton(b, 0);
    EXPECT_EQ(InkBox(*normal, text, 1, 1), InkBox(*PaintButton(b, ODS_SELECTED), hot));
    EXPECT_EQ(InkBox(*normal, text), InkBox(*PaintButton(m_dlg->m_check, ODS_SELECTED), hot));
    EXPECT_EQ(InkBox(*normal, text, 20, 10),
              InkBox(*PaintButton(b, 0, false, normal->Width() + 40, normal->Height() + 20), text));
    auto disabled = PaintButton(m_dlg->m_flat, ODS_DISABLED);
    EXPECT_EQ(InkBox(*disabled, kShadow, 1, 1), InkBox(*disabled, kLight, 0, 0));
}

// When the button goes, its parent copy's DC gets back the bitmap it came with before it
// is deleted. Wine deletes a bitmap that is still selected when its DC goes, so the bitmap
// Windows would leak leaves no trace in the handle table here: the DC is looked at instead.
HDC g_watchedDc = nullptr;
HGDIOBJ g_bitmapAtDeletion = nullptr;
BOOL(WINAPI* g_deleteDC)(HDC) = __imp_DeleteDC;
BOOL WINAPI WatchingDeleteDC(HDC hdc) {
    if (hdc == g_watchedDc)
        g_bitmapAtDeletion = ::GetCurrentObject(hdc, OBJ_BITMAP);
    return g_deleteDC(hdc);
}

// The parent's pixels are copied once and served until the system colours change.
TEST_F(ButtonPaint, ParentBackgroundIsCopiedOnceAndReleased) {
    CStyledButton& b = m_dlg->m_plain;
    b.SetWindowText("");
    b.SetParentBackground(TRUE, FALSE);
    RECT rc;
    ::GetWindowRect(b.m_hWnd, &rc);
    ::MapWindowPoints(nullptr, m_dlg->m_hWnd, reinterpret_cast<POINT*>(&rc), 2);
    auto middleAfterFill = [&](COLORREF color) {
        HDC hdc = ::GetDC(m_dlg->m_hWnd);
        ::SetBkColor(hdc, color);
        ::ExtTextOutA(hdc, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
        ::ReleaseDC(m_dlg->m_hWnd, hdc);
        return PaintButton(b, 0)->Pixel(10, 10);
    };
    ::ValidateRect(m_dlg->m_hWnd, nullptr);
    ::ValidateRect(b.m_hWnd, nullptr);
    EXPECT_EQ(RGB(250, 0, 250), middleAfterFill(RGB(250, 0, 250)));
    EXPECT_EQ(RGB(250, 0, 250), middleAfterFill(RGB(0, 250, 250))) << "served from the copy";
    b.SendMessage(WM_SYSCOLORCHANGE);
    EXPECT_EQ(RGB(0, 250, 250), middleAfterFill(RGB(0, 250, 250))) << "a fresh copy";

    g_watchedDc = StyledButtonProbe::ParentCopyDc(b);
    HDC fresh = ::CreateCompatibleDC(nullptr);
    const HGDIOBJ defaultBitmap = ::GetCurrentObject(fresh, OBJ_BITMAP);
    ::DeleteDC(fresh);
    ReplaceImport(&__imp_DeleteDC, &WatchingDeleteDC);
    m_dlg->DestroyWindow();
    m_dlg.reset();
    ReplaceImport(&__imp_DeleteDC, g_deleteDC);
    EXPECT_EQ(defaultBitmap, g_bitmapAtDeletion);
}

// 16 by 16, the left half in the colour and the right half black, which the mask's set
// bits make transparent.
HBITMAP MakeImage(COLORREF color) {
    std::vector<DWORD> bits(16 * 16);
    for (size_t i = 0; i < bits.size(); ++i)
        bits[i] = i % 16 < 8 ? RGB(GetBValue(color), GetGValue(color), GetRValue(color)) : 0;
    return ::CreateBitmap(16, 16, 1, 32, bits.data());
}
HBITMAP MakeMask() {
    const std::vector<WORD> rows(16, 0xFF00);
    return ::CreateBitmap(16, 16, 1, 1, rows.data());
}
HICON MakeIcon(COLORREF color) {
    ICONINFO ii{TRUE, 0, 0, MakeMask(), MakeImage(color)};
    HICON icon = ::CreateIconIndirect(&ii);
    ::DeleteObject(ii.hbmMask);
    ::DeleteObject(ii.hbmColor);
    return icon;
}
constexpr COLORREF kRed = RGB(255, 0, 0), kBlue = RGB(0, 0, 255);

using ButtonImage = ButtonDialogTest;

// Bitmaps and icons alike, hot one red and normal one blue: the coloured half lies where the
// alignment puts the image; the normal image shows unless the button is hot (pressed or
// hovered, or checked in check-box mode), the press of a push button moves it, and disabled
// it is greyed.
TEST_F(ButtonImage, AlignmentAndStatePlaceAndChooseTheImage) {
    CStyledButton &b = m_dlg->m_next, &check = m_dlg->m_check;
    RECT rc;
    ::GetClientRect(b.m_hWnd, &rc);
    const int W = rc.right, x = (W - 16) / 2, y = (rc.bottom - 16) / 2;
    const struct {
        CStyledButton& button;
        BYTE align;
        const char* caption;
        UINT state;
        bool hovering;
        COLORREF ink; // none where the image is greyed
        int left, top;
    } cases[] = {
        {b, SBA_BESIDE, "", 0, false, kBlue, x, y},
        {b, SBA_BESIDE, "Kestrel", 0, false, kBlue, 3, y},
        {b, SBA_ABOVE, "", 0, false, kBlue, x, y},
        {b, SBA_ABOVE, "Kestrel", 0, false, kBlue, x, 3},
        {b, SBA_RIGHT_EDGE, "", 0, false, kBlue, x, 0},
        {b, SBA_RIGHT_EDGE, "Kestrel", 0, false, kBlue, W - 16 - 3, y},
        {b, 7, "Kestrel", 0, false, kBlue, 0, 0},
        {b, SBA_BESIDE, "", ODS_SELECTED, false, kRed, x + 1, y + 1},
        {b, SBA_BESIDE, "", 0, true, kRed, x, y},
        {b, SBA_BESIDE, "", ODS_DISABLED, false, CLR_NONE, 0, 0},
        {check, SBA_BESIDE, "", 0, true, kBlue, x, y},
        {check, SBA_BESIDE, "", ODS_SELECTED, false, kRed, x, y},
    };
    for (auto give :
         {+[](CStyledButton& button) {
              button.SetBitmaps(MakeImage(kRed), MakeMask(), MakeImage(kBlue), MakeMask(), FALSE);
          },
          +[](CStyledButton& button) { button.SetIcons(MakeIcon(kRed), MakeIcon(kBlue), FALSE); }})
        for (const auto& k : cases) {
            SCOPED_TRACE(testing::Message() << "case " << &k - cases);
            give(k.button);
            k.button.SetImageAlign(k.align, FALSE);
            k.button.SetWindowText(k.caption);
            auto c = PaintButton(k.button, k.state, k.hovering);
            if (k.ink == CLR_NONE) {
                EXPECT_EQ(0, c->Count(rc, kRed) + c->Count(rc, kBlue)) << "greyed";
                continue;
            }
            EXPECT_EQ((RECT{k.left, k.top, k.left + 8, k.top + 16}), InkBox(*c, k.ink));
            EXPECT_EQ(::GetSysColor(COLOR_BTNFACE), c->Pixel(k.left + 12, k.top + 8)) << "masked";
        }
}

// The button releases what it held when given new images and when it goes; a handle it
// is given again stays alive and is painted.
TEST_F(ButtonImage, ButtonOwnsItsImagesAndKeepsHandlesGivenAgain) {
    CStyledButton& b = m_dlg->m_next;
    HBITMAP image = MakeImage(kBlue), mask = MakeMask(), other = MakeImage(kRed);
    HICON icon = MakeIcon(kBlue);
    ICONINFO info{};
    auto paintsBlue = [&] { return InkBox(*PaintButton(b, 0), kBlue).right > 0; };
    b.SetBitmaps(image, mask, nullptr, nullptr, FALSE);
    b.SetBitmaps(image, mask, nullptr, nullptr, FALSE);
    EXPECT_TRUE(::GetObjectType(image) && ::GetObjectType(mask) && paintsBlue());
    b.SetBitmaps(other, nullptr, image, nullptr, FALSE);
    EXPECT_FALSE(::GetObjectType(mask)) << "released when replaced";
    b.SetIcons(icon, icon, FALSE);
    b.SetIcons(icon, nullptr, FALSE);
    EXPECT_FALSE(::GetObjectType(image) || ::GetObjectType(other));
    EXPECT_TRUE(::GetIconInfo(icon, &info) && paintsBlue());
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
    m_dlg->DestroyWindow();
    m_dlg.reset();
    EXPECT_FALSE(::GetIconInfo(icon, &info)) << "released with the button";
}

// Released without destroying, the images are no longer painted and their handles live on
// for whoever else releases them.
TEST_F(ButtonImage, ReleaseWithoutDestroyLeavesTheHandles) {
    CStyledButton& b = m_dlg->m_next;
    RECT rc;
    ::GetClientRect(b.m_hWnd, &rc);
    HBITMAP image = MakeImage(kBlue), mask = MakeMask();
    HICON icon = MakeIcon(kBlue);
    for (auto give : std::initializer_list<std::function<void()>>{
             [&] { b.SetBitmaps(image, mask, nullptr, nullptr, FALSE); },
             [&] { b.SetIcons(icon, nullptr, FALSE); }}) {
        give();
        StyledButtonProbe::ReleaseImages(b, FALSE);
        EXPECT_EQ(0, PaintButton(b, 0)->Count(rc, kBlue)) << "no longer painted";
    }
    ICONINFO info{};
    EXPECT_TRUE(::GetObjectType(image) && ::GetObjectType(mask));
    EXPECT_TRUE(::GetIconInfo(icon, &info));
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
    ::DeleteObject(image);
    ::DeleteObject(mask);
    ::DestroyIcon(icon);
}

} // namespace
