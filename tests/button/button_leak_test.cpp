// Painting in every state must give back every GDI object it takes: one leaked object per
// paint would fill Wine's table of about 65,000 handles long before the loop ends, and a
// leak in only some looks or states still shows in the room left in the table.

#include "ButtonFixture.h"

#include "CBrush.h"
#include "FreeGdiHandles.h"


namespace {

constexpr int kPaints = 70000;
constexpr COLORREF kFace = RGB(0, 160, 0);

// Room the system may take for itself meanwhile.
constexpr int kSlack = 16;

using ButtonLeak = ButtonDialogTest;

TEST_F(ButtonLeak, PaintingEveryStateLeaksNothing) {
    CStyledButton& solid = m_dlg->m_plain;
    CStyledButton& flat = m_dlg->m_flat;
    CStyledButton& image = m_dlg->m_image;
    CStyledButton& parent = m_dlg->m_next;
    solid.SetFlatLook(FALSE, FALSE);
    parent.SetParentBackground(TRUE, FALSE);
    HDC screen = ::GetDC(nullptr);
    HBITMAP bmp = ::CreateCompatibleBitmap(screen, 16, 16);
    ::ReleaseDC(nullptr, screen);
    image.SetBitmaps(bmp, nullptr, nullptr, nullptr, FALSE);
    solid.SetIcons(::CopyIcon(::LoadIconA(nullptr, MAKEINTRESOURCEA(32512))), nullptr, FALSE);
    for (CStyledButton* b : {&solid, &flat, &image, &parent})
        b->SetSlotColor(SBC_FACE_NORMAL, kFace, FALSE);

    struct Look {
        CStyledButton* button;
        BOOL hovering;
    } looks[] = {{&solid, FALSE}, {&flat, FALSE}, {&flat, TRUE}, {&image, FALSE}, {&parent, FALSE}};
    const UINT states[] = {0, ODS_FOCUS, ODS_SELECTED, ODS_DISABLED, ODS_SELECTED | ODS_FOCUS};

    RECT rc;
    ::GetClientRect(solid.m_hWnd, &rc);
    DibCanvas canvas(rc.right, rc.bottom);
    ASSERT_TRUE(canvas.Valid());
    auto paint = [&](const Look& look, UINT state) {
        DRAWITEMSTRUCT dis{};
        dis.CtlType = ODT_BUTTON;
        dis.itemState = state;
        dis.hwndItem = look.button->m_hWnd;
        dis.hDC = canvas.Hdc();
        dis.rcItem = rc;
        StyledButtonProbe::SetHovering(*look.button, look.hovering);
        look.button->DrawItem(&dis);
        StyledButtonProbe::SetHovering(*look.button, FALSE);
    };
    // Whatever the system creates once (realised fonts, the parent copy) is made first.
    for (const Look& look : looks)
        for (UINT state : states)
            paint(look, state);
    const int roomBefore = FreeGdiHandles();

    // kPaints paints in all, going through every look in every state in turn.
    for (int i = 0; i < kPaints; ++i)
        paint(looks[i % std::size(looks)], states[(i / std::size(looks)) % std::size(states)]);

    EXPECT_LE(roomBefore - FreeGdiHandles(), kSlack) << "handles were lost";
    CBrush after;
    EXPECT_TRUE(after.CreateSolidBrush(RGB(1, 2, 3))) << "the handle table ran full";
    auto c = PaintButton(flat, 0);
    EXPECT_EQ(kFace, c->Pixel(c->Width() / 2, 2)) << "painting still works";
}

} // namespace
