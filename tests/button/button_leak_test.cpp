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
    image.SetBitmaps(MakeBitmap(false, [](int, int) { return RGB(0, 0, 255); }), nullptr, nullptr,
                     nullptr, FALSE);
    solid.SetIcons(::CopyIcon(::LoadIconA(nullptr, MAKEINTRESOURCEA(32512))), nullptr, FALSE);
    for (CStyledButton* b : {&solid, &flat, &image, &parent})
        b->SetSlotColor(SBC_FACE_NORMAL, kFace, FALSE);

    struct Look {
        CStyledButton* button;
        bool hovering;
    } looks[] = {{&solid, false}, {&flat, false}, {&flat, true}, {&image, false}, {&parent, false}};
    const UINT states[] = {0, ODS_FOCUS, ODS_SELECTED, ODS_DISABLED, ODS_SELECTED | ODS_FOCUS};

    RECT rc;
    ::GetClientRect(solid.m_hWnd, &rc);
    DibCanvas canvas(rc.right, rc.bottom);
    ASSERT_TRUE(canvas.Valid());
    // Whatever the system creates once (realised fonts, the parent copy) is made first.
    for (const Look& look : looks)
        for (UINT state : states)
            DrawButton(*look.button, state, canvas, look.hovering);
    const int roomBefore = FreeGdiHandles();

    // kPaints paints in all, going through every look in every state in turn.
    for (int i = 0; i < kPaints; ++i) {
        const Look& look = looks[i % std::size(looks)];
        DrawButton(*look.button, states[(i / std::size(looks)) % std::size(states)], canvas,
                   look.hovering);
    }

    EXPECT_LE(roomBefore - FreeGdiHandles(), kSlack) << "handles were lost";
    CBrush after;
    EXPECT_TRUE(after.CreateSolidBrush(RGB(1, 2, 3))) << "the handle table ran full";
    auto c = PaintButton(flat, 0);
    EXPECT_EQ(kFace, c->Pixel(c->Width() / 2, 2)) << "painting still works";
}

} // namespace
