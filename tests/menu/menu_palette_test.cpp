// Runs on an 8-bit display (run_on_palette_display.sh): there every DC is a
// palette device, and the flat style falls back to classic painting.
#include "MenuPaintSupport.h"

namespace {

using namespace menu_colours;

TEST_F(MenuDraw, PaletteDeviceFallsBackToClassic) {
    Build(OS_WINXP);
    ASSERT_TRUE(GlyphMenu::IsFlatStyle());
    const MEASUREITEMSTRUCT mis = Measure(ITEM_PLAIN);
    EXPECT_EQ(mis.itemHeight, 22u) << "measured with the flat metrics";

    DibCanvas& canvas = Paint(ITEM_PLAIN, ODS_SELECTED, 150, 22);
    ASSERT_TRUE(canvas.Dc().GetDeviceCaps(RASTERCAPS) & RC_PALETTE)
        << "the test needs an 8-bit display";
    EXPECT_EQ(canvas.Pixel(75, 10), kSelection) << "classic highlight bar, not the flat tint";
    EXPECT_EQ(canvas.Pixel(0, 10), kSelection);
    EXPECT_EQ(canvas.Count(CRect(0, 0, 150, 22), GlyphMenu::LightenColor(kSelection, 0.7)), 0);

    DibCanvas& idle = Paint(ITEM_PLAIN, 0, 150, 22);
    EXPECT_EQ(idle.Pixel(120, 10), kFace) << "themed classic background, no window colour";
    EXPECT_EQ(idle.Pixel(5, 10), kFace);
}

} // namespace
