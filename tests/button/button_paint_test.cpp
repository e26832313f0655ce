// DrawItem of real styled buttons, painted into a 32-bit DIB section and checked at the
// pixels its look defines. System colours are read, never assumed.

#include "ButtonFixture.h"

#include <windows.h>

// The import slot through which the framework deletes its DCs.
extern "C" BOOL(WINAPI* __imp_DeleteDC)(HDC);

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

// Neighbouring pixels of the row all differ, as a dotted focus rectangle leaves them.
bool DottedRow(const DibCanvas& c, int inset) {
    for (int x = inset; x < c.Width() - inset - 1; ++x)
        if (c.Pixel(x, inset) == c.Pixel(x + 1, inset))
            return false;
    return true;
}

class ButtonPaint : public ButtonDialogTest {
  protected:
    void SetUp() override {
        ButtonDialogTest::SetUp();
        for (CStyledButton* b : {&m_dlg->m_plain, &m_dlg->m_default, &m_dlg->m_check,
                                 &m_dlg->m_flat, &m_dlg->m_image}) {
            for (BYTE slot = 0; slot < SBC_COUNT; ++slot)
                b->SetSlotColor(slot, kSlots[slot], FALSE);
            b->SetWindowText("Kestrel");
            b->SetFlatLook(b == &m_dlg->m_flat || b == &m_dlg->m_image, FALSE);
        }
        m_dlg->m_image.SetFlatEdge(FALSE, FALSE);
        m_dlg->m_image.SetFlatFocusRect(TRUE, FALSE);
        m_dlg->m_check.SetCheckState(1, FALSE);
    }
};

// Each look at its defining pixels: the outer corner, the one inside it, the far corner
// and the one inside that, the face, the caption's slot, and the dotted focus rectangle.
TEST_F(ButtonPaint, EachLookHasItsColours) {
    const COLORREF hl = Sys(COLOR_BTNHIGHLIGHT), lt = Sys(COLOR_3DLIGHT),
                   dk = Sys(COLOR_3DDKSHADOW), sh = Sys(COLOR_BTNSHADOW);
    const COLORREF hot = kSlots[SBC_FACE_HOT], normal = kSlots[SBC_FACE_NORMAL],
                   focus = kSlots[SBC_FACE_FOCUS];
    ButtonDialog& d = *m_dlg;
    const struct {
        const char* name;
        CStyledButton& button;
        UINT state;
        bool hovering;
        COLORREF corner, inner, farCorner, farInner, face;
        int text;       // caption slot, or -1 for none of the slots
        int focusInset; // where the focus rectangle is drawn, or 0 for none
    } looks[] = {
        {"3-D", d.m_plain, 0, false, hl, lt, dk, sh, normal, SBC_TEXT_NORMAL, 0},
        {"3-D focused", d.m_plain, ODS_FOCUS, false, kBlack, hl, kBlack, dk, focus, SBC_TEXT_NORMAL,
         4},
        {"3-D default", d.m_default, 0, false, kBlack, hl, kBlack, dk, normal, SBC_TEXT_NORMAL, 0},
        {"3-D pressed", d.m_plain, ODS_SELECTED, false, sh, hot, sh, hot, hot, SBC_TEXT_HOT, 0},
        {"3-D pressed focused", d.m_plain, ODS_SELECTED | ODS_FOCUS, false, kBlack, sh, kBlack, sh,
         hot, SBC_TEXT_HOT, 4},
        {"checked", d.m_check, 0, false, sh, hot, sh, hot, hot, SBC_TEXT_HOT, 0},
        {"3-D disabled", d.m_plain, ODS_DISABLED, false, hl, lt, dk, sh, normal, -1, 0},
        {"flat", d.m_flat, 0, false, normal, normal, normal, normal, normal, SBC_TEXT_NORMAL, 0},
        {"flat focused", d.m_flat, ODS_FOCUS, false, focus, focus, focus, focus, focus,
         SBC_TEXT_NORMAL, 0},
        {"flat hovered", d.m_flat, ODS_FOCUS, true, hl, hot, sh, hot, hot, SBC_TEXT_HOT, 0},
        {"flat pressed", d.m_flat, ODS_SELECTED, false, sh, hot, hl, hot, hot, SBC_TEXT_HOT, 0},
        {"flat, no edge, focus rectangle", d.m_image, ODS_FOCUS, true, hot, hot, hot, hot, hot,
         SBC_TEXT_HOT, 3},
    };
    for (const auto& k : looks) {
        SCOPED_TRACE(k.name);
        auto c = PaintButton(k.button, k.state, k.hovering);
        const int W = c->Width(), H = c->Height();
        EXPECT_EQ(k.corner, c->Pixel(0, 0));
        EXPECT_EQ(k.inner, c->Pixel(1, 1));
        EXPECT_EQ(k.farCorner, c->Pixel(W - 1, H - 1));
        EXPECT_EQ(k.farInner, c->Pixel(W - 2, H - 2));
        EXPECT_EQ(k.face, c->Pixel(5, H / 2));
        const RECT all{0, 0, W, H};
        for (int slot : {SBC_TEXT_HOT, SBC_TEXT_NORMAL, SBC_TEXT_FOCUS})
            EXPECT_EQ(slot == k.text, c->Count(all, kSlots[slot]) > 10) << "caption slot " << slot;
        EXPECT_EQ(k.focusInset != 0, DottedRow(*c, k.focusInset ? k.focusInset : 3));
    }
}

// The raised bevel's four polylines, each without its end point, in their drawing order.
TEST_F(ButtonPaint, RaisedBevelLiesOnItsExactPixels) {
    auto c = PaintButton(m_dlg->m_plain, 0);
    const int W = c->Width(), H = c->Height();
    const std::pair<int, std::vector<POINT>> bevel[] = {
        {COLOR_BTNHIGHLIGHT, {{0, 0}, {W - 2, 0}, {0, H - 2}}},
        {COLOR_3DDKSHADOW, {{W - 1, 0}, {0, H - 1}, {W / 2, H - 1}, {W - 1, H / 2}}},
        {COLOR_3DLIGHT, {{1, 1}, {W - 3, 1}, {1, H - 3}}},
        {COLOR_BTNSHADOW, {{W - 2, 2}, {1, H - 2}, {W / 2, H - 2}, {W - 2, H / 2}}},
    };
    for (const auto& [color, points] : bevel)
        for (POINT p : points)
            EXPECT_EQ(Sys(color), c->Pixel(p.x, p.y)) << "at " << p.x << "," << p.y;
}

// Centred both ways and wrapped at words; a pressed push button moves it by one pixel,
// a checked check box does not.
TEST_F(ButtonPaint, CaptionIsCentredMovedWhenPressedAndWrapped) {
    const COLORREF normal = kSlots[SBC_TEXT_NORMAL], hot = kSlots[SBC_TEXT_HOT];
    CStyledButton& b = m_dlg->m_plain;
    const RECT at = InkBox(*PaintButton(b, 0), normal);
    ASSERT_FALSE(::IsRectEmpty(&at));
    EXPECT_EQ(Offset(at, 1, 1), InkBox(*PaintButton(b, ODS_SELECTED), hot));
    EXPECT_EQ(at, InkBox(*PaintButton(m_dlg->m_check, ODS_SELECTED), hot));
    RECT rc;
    ::GetClientRect(b.m_hWnd, &rc);
    EXPECT_EQ(Offset(at, 20, 10),
              InkBox(*PaintButton(b, 0, false, rc.right + 40, rc.bottom + 20), normal));

    b.SetWindowText("alpha beta gamma");
    auto c = PaintButton(b, 0, false, 60, 60);
    ASSERT_GT(c->Dc().GetTextExtent("alpha beta gamma", 16).cx, 60) << "must not fit on a line";
    const RECT block = InkBox(*c, normal);
    EXPECT_GT(block.bottom - block.top, 2 * c->Dc().GetTextExtent("a", 1).cy) << "three lines";
    EXPECT_LE(std::abs(block.left - (60 - block.right)), 2);
    EXPECT_EQ(Offset(block, 0, 10), InkBox(*PaintButton(b, 0, false, 60, 80), normal));
}

// A highlight copy one pixel right and down under a shadow copy, whatever the slots.
TEST_F(ButtonPaint, DisabledCaptionIsEmbossed) {
    auto c = PaintButton(m_dlg->m_flat, ODS_DISABLED);
    const RECT light = InkBox(*c, Sys(COLOR_BTNHIGHLIGHT));
    const RECT dark = InkBox(*c, Sys(COLOR_BTNSHADOW));
    ASSERT_FALSE(::IsRectEmpty(&dark));
    EXPECT_EQ(dark.right + 1, light.right);
    EXPECT_EQ(dark.bottom + 1, light.bottom);
}

// The parent's pixels are copied once and served until the system colours change.
TEST_F(ButtonPaint, ParentBackgroundIsCopiedOnceUntilSystemColorsChange) {
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
    EXPECT_EQ(first, middleAfterFill(second)) << "served from the copy";
    b.SendMessage(WM_SYSCOLORCHANGE);
    EXPECT_EQ(second, middleAfterFill(second)) << "a fresh copy";
}

// Wine deletes a bitmap that is still selected once its DC goes, so the bitmap that a
// button without the select-back would leak on Windows leaves no trace in the handle
// table here. The parent copy's DC is looked at as it is deleted instead.
HDC g_watchedDc = nullptr;
HGDIOBJ g_bitmapAtDeletion = nullptr;
BOOL(WINAPI* g_deleteDC)(HDC) = __imp_DeleteDC;
BOOL WINAPI WatchingDeleteDC(HDC hdc) {
    if (hdc == g_watchedDc)
        g_bitmapAtDeletion = ::GetCurrentObject(hdc, OBJ_BITMAP);
    return g_deleteDC(hdc);
}

TEST_F(ButtonPaint, ParentCopyDcGetsItsOwnBitmapBackBeforeItIsDeleted) {
    m_dlg->m_next.SetParentBackground(TRUE, FALSE);
    PaintButton(m_dlg->m_next, 0);
    g_watchedDc = StyledButtonProbe::ParentCopyDc(m_dlg->m_next);
    ASSERT_NE(nullptr, g_watchedDc);
    CDC fresh;
    fresh.CreateCompatibleDC(nullptr);
    const HGDIOBJ defaultBitmap = ::GetCurrentObject(fresh.GetSafeHdc(), OBJ_BITMAP);
    DWORD protect = 0;
    ::VirtualProtect(&__imp_DeleteDC, sizeof(void*), PAGE_READWRITE, &protect);
    __imp_DeleteDC = &WatchingDeleteDC;
    m_dlg->DestroyWindow();
    m_dlg.reset();
    __imp_DeleteDC = g_deleteDC;
    EXPECT_EQ(defaultBitmap, g_bitmapAtDeletion);
}

} // namespace
