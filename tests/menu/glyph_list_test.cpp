#include "CToolBar.h"
#include "MenuPaintSupport.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr COLORREF kMagenta = RGB(255, 0, 255);
constexpr COLORREF kButtonText = RGB(0, 0, 128);

class GlyphList : public testing::Test {
  protected:
    void SetUp() override { ResetSharedGlyphs(); }
    void TearDown() override { ResetSharedGlyphs(); }

    // An image of a list drawn transparently over magenta.
    static std::unique_ptr<DibCanvas> DrawImage(const CImageList& list, int index) {
        auto canvas = std::make_unique<DibCanvas>(16, 15, kMagenta);
        list.Draw(&canvas->Dc(), index, CPoint(0, 0), ILD_TRANSPARENT);
        return canvas;
    }

    // A bitmap resource cut into a fresh list, in the style in force.
    static CImageList CutBitmap(GlyphMenu& menu, int resource) {
        CImageList list;
        EXPECT_TRUE(list.Create(16, 15, ILC_COLORDDB | ILC_MASK, 1, 1));
        EXPECT_TRUE(menu.AddGlyphBitmap(list, resource));
        return list;
    }
};

TEST_F(GlyphList, FlatStyleAddsTriplesClassicSingleSlotsSameIdReplacesInPlace) {
    struct Case {
        INT32 kind;
        int second;
        size_t count;
    };
    for (const Case& c : {Case{OS_WINXP, 3, 6}, Case{OS_WIN2000, 1, 2}, Case{OS_NT_OTHER, 1, 2}}) {
        SCOPED_TRACE(c.kind);
        ResetSharedGlyphs();
        StyleScope style(c.kind);
        GlyphMenu menu;
        ASSERT_TRUE(menu.CreatePopupMenu());
        menu.AppendItem(L"a", MF_STRING, ID_GLYPH_A, IDR_GLYPHS);
        menu.AppendItem(L"b", MF_STRING, ID_GLYPH_B, IDR_GLYPHS);
        menu.AppendItem(L"a again", MF_STRING, ID_GLYPH_A, IDR_GLYPHS);
        EXPECT_EQ(RecordAt(menu, 0)->m_globalImage, 0);
        EXPECT_EQ(RecordAt(menu, 1)->m_globalImage, c.second);
        EXPECT_EQ(RecordAt(menu, 2)->m_globalImage, 0);
        ASSERT_EQ(GlyphMenu::s_sharedGlyphIds.size(), c.count);
        EXPECT_EQ(GlyphMenu::s_sharedGlyphs.GetImageCount(), static_cast<int>(c.count));
        const bool triples = c.count == 6;
        EXPECT_EQ(GlyphMenu::HasGlyphVariants(0) != FALSE, triples);
        EXPECT_EQ(GlyphMenu::HasGlyphVariants(c.second) != FALSE, triples);
        EXPECT_FALSE(GlyphMenu::HasGlyphVariants(1)) << "the faded copy starts no triple";
        EXPECT_FALSE(GlyphMenu::HasGlyphVariants(static_cast<int>(c.count) - 1));
        EXPECT_FALSE(GlyphMenu::HasGlyphVariants(static_cast<int>(c.count) - 2));
        EXPECT_FALSE(GlyphMenu::HasGlyphVariants(-1));
    }
}

TEST_F(GlyphList, ToolbarButtonChoosesTheImage) {
    // Glyph 1 is a red block; glyph 2 has a blue stripe in row 8; glyph 0 has
    // neither at those places. The separator takes no image.
    struct Case {
        UINT id;
        CPoint at;
        COLORREF colour;
    };
    const Case cases[] = {
        {ID_GLYPH_B, CPoint(8, 7), RGB(255, 0, 0)},
        {ID_NOT_ON_TOOLBAR, CPoint(8, 7), kMagenta},
        {ID_GLYPH_C, CPoint(8, 8), RGB(0, 0, 255)},
    };
    StyleScope style(OS_WIN2000);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        ResetSharedGlyphs();
        GlyphMenu menu;
        ASSERT_TRUE(menu.CreatePopupMenu());
        menu.AppendItem(L"x", MF_STRING, c.id, IDR_GLYPHS);
        ASSERT_EQ(RecordAt(menu, 0)->m_globalImage, 0);
        EXPECT_EQ(DrawImage(GlyphMenu::s_sharedGlyphs, 0)->Pixel(c.at.x, c.at.y), c.colour);
    }
}

TEST_F(GlyphList, MissingBitmapGivesNoGlyphAndLeavesTheListAlone) {
    GlyphMenu menu;
    ASSERT_TRUE(menu.CreatePopupMenu());
    menu.AppendItem(L"x", MF_STRING, ID_GLYPH_A, IDR_NO_SUCH_GLYPHS);
    EXPECT_EQ(RecordAt(menu, 0)->m_globalImage, -1);
    EXPECT_TRUE(GlyphMenu::s_sharedGlyphIds.empty());

    CImageList source;
    ASSERT_TRUE(source.Create(16, 15, ILC_COLORDDB | ILC_MASK, 1, 1));
    EXPECT_FALSE(menu.AddGlyphBitmap(source, IDR_NO_SUCH_GLYPHS));
    EXPECT_EQ(source.GetImageCount(), 0);
    EXPECT_EQ(menu.AddSharedGlyph(source, 0, ID_GLYPH_A), -1) << "no image 0";
    EXPECT_TRUE(GlyphMenu::s_sharedGlyphIds.empty());
}

// The light grey of a 16-colour toolbar is the button face after mapping, so it
// is see-through whatever face colour the user has; black becomes button text.
TEST_F(GlyphList, SixteenColourGreyIsTransparentWhateverTheFace) {
    StyleScope style(OS_WIN2000);
    for (COLORREF face : {RGB(10, 200, 30), RGB(0xC0, 0xC0, 0xC0), RGB(255, 255, 255)}) {
        SCOPED_TRACE(face);
        SysColourScope colours{{COLOR_BTNFACE, face}, {COLOR_BTNTEXT, kButtonText}};
        GlyphMenu menu;
        const CImageList list = CutBitmap(menu, IDR_GLYPHS);
        EXPECT_EQ(list.GetImageCount(), 3) << "cut into the list's width";
        const auto canvas = DrawImage(list, 0);
        EXPECT_EQ(canvas->Pixel(0, 0), kMagenta);
        EXPECT_EQ(canvas->Pixel(8, 8), kMagenta);
        EXPECT_EQ(canvas->Pixel(3, 3), kButtonText);
        EXPECT_EQ(canvas->Pixel(10, 3), RGB(255, 0, 0));
        EXPECT_EQ(canvas->Pixel(12, 10), RGB(100, 100, 100));
    }
}

TEST_F(GlyphList, TwoHundredFiftySixColoursOnlyTheFaceColourIsTransparent) {
    StyleScope style(OS_WIN2000);
    SysColourScope colours{{COLOR_BTNFACE, RGB(10, 200, 30)}, {COLOR_BTNTEXT, kButtonText}};
    GlyphMenu menu;
    EXPECT_EQ(GlyphMenu::LoadMappedBitmap(IDB_GLYPH256).GetSafeHandle(), nullptr);
    const auto canvas = DrawImage(CutBitmap(menu, IDB_GLYPH256), 0);
    EXPECT_EQ(canvas->Pixel(0, 0), RGB(0xC0, 0xC0, 0xC0)) << "not mapped, so not the face";
    EXPECT_EQ(canvas->Pixel(5, 5), kMagenta) << "exactly the face colour";
    EXPECT_EQ(canvas->Pixel(12, 12), RGB(0, 0, 0)) << "black stays black";
}

TEST_F(GlyphList, FadedPixelThatBecomesTheFaceIsTransparent) {
    StyleScope style(OS_WINXP);
    // 100 + 0.3 * 155 = 146.5: the dark grey pixel fades into the face colour.
    SysColourScope colours{{COLOR_BTNFACE, RGB(146, 146, 146)}, {COLOR_BTNTEXT, kButtonText}};
    GlyphMenu menu;
    ASSERT_TRUE(menu.CreatePopupMenu());
    menu.AppendItem(L"a", MF_STRING, ID_GLYPH_A, IDR_GLYPHS);
    ASSERT_TRUE(GlyphMenu::HasGlyphVariants(0));

    const auto glyph = DrawImage(GlyphMenu::s_sharedGlyphs, 0);
    EXPECT_EQ(glyph->Pixel(12, 10), RGB(100, 100, 100));
    const auto faded = DrawImage(GlyphMenu::s_sharedGlyphs, 1);
    EXPECT_EQ(faded->Pixel(12, 10), kMagenta);
    EXPECT_EQ(faded->Pixel(3, 3), GlyphMenu::LightenColor(kButtonText, 0.3));
    EXPECT_EQ(faded->Pixel(10, 3), RGB(255, 76, 76));
    EXPECT_EQ(faded->Pixel(0, 0), kMagenta);

    // XP themed: the shadow is the plain button shadow, a flat silhouette.
    const auto shadow = DrawImage(GlyphMenu::s_sharedGlyphs, 2);
    const COLORREF shade = ::GetSysColor(COLOR_BTNSHADOW);
    EXPECT_EQ(shadow->Pixel(3, 3), shade);
    EXPECT_EQ(shadow->Pixel(10, 3), shade);
    EXPECT_EQ(shadow->Pixel(0, 0), kMagenta);
}

TEST_F(GlyphList, ShadowIsLightenedWhenNotThemed) {
    StyleScope style(OS_WIN2000);
    SysColourScope colours{{COLOR_BTNSHADOW, RGB(100, 60, 20)}};
    GlyphMenu menu;
    CImageList list = CutBitmap(menu, IDR_GLYPHS);
    DibCanvas canvas(16, 15);
    CBitmap glyph;
    ASSERT_TRUE(menu.RenderGlyph(&canvas.Dc(), list, 0, glyph));
    menu.ShadowGlyph(glyph);
    {
        CSelectGuard select(canvas.Dc(), glyph);
        EXPECT_EQ(canvas.Dc().GetPixel(3, 3), GlyphMenu::LightenColor(RGB(100, 60, 20), 0.49));
        EXPECT_EQ(canvas.Dc().GetPixel(0, 0), ::GetSysColor(COLOR_BTNFACE));
    }
}

TEST(GlyphBitmaps, MappedLoadTakesSixteenColourResourcesOnly) {
    SysColourScope colours{{COLOR_BTNFACE, RGB(1, 2, 3)},
                           {COLOR_BTNSHADOW, RGB(4, 5, 6)},
                           {COLOR_BTNHIGHLIGHT, RGB(7, 8, 9)},
                           {COLOR_BTNTEXT, RGB(10, 11, 12)}};
    CBitmap bitmap = GlyphMenu::LoadMappedBitmap(IDR_GLYPHS);
    ASSERT_NE(bitmap.GetSafeHandle(), nullptr);
    EXPECT_EQ(bitmap.GetSize().cx, 48);
    EXPECT_EQ(bitmap.GetSize().cy, 15);
    DibCanvas canvas(48, 15);
    CMemoryDC source;
    source.CreateCompatibleDC(&canvas.Dc());
    {
        CSelectGuard select(source, bitmap);
        canvas.Dc().BitBlt(0, 0, 48, 15, &source, 0, 0, SRCCOPY);
    }
    EXPECT_EQ(canvas.Pixel(0, 0), RGB(1, 2, 3));
    EXPECT_EQ(canvas.Pixel(3, 3), RGB(10, 11, 12));
    EXPECT_EQ(canvas.Pixel(32 + 5, 3), RGB(7, 8, 9));
    EXPECT_EQ(canvas.Pixel(32 + 5, 5), RGB(4, 5, 6));
    EXPECT_EQ(canvas.Pixel(32 + 5, 8), RGB(0, 0, 255));

    EXPECT_EQ(GlyphMenu::LoadMappedBitmap(IDR_NO_SUCH_GLYPHS).GetSafeHandle(), nullptr);
}

// Shadow silhouette at (x, y), highlight silhouette one pixel right and down
// where the shadow leaves it visible, the background elsewhere.
TEST(GlyphBitmaps, EmbossedGlyph) {
    SysColourScope colours{{COLOR_BTNFACE, RGB(200, 200, 200)},
                           {COLOR_BTNSHADOW, RGB(90, 60, 30)},
                           {COLOR_BTNHIGHLIGHT, RGB(250, 240, 230)}};
    const COLORREF background = RGB(20, 120, 220);
    DibCanvas canvas(40, 40, RGB(0, 0, 0));
    CBitmap glyph;
    ASSERT_TRUE(glyph.CreateCompatibleBitmap(&canvas.Dc(), 16, 15));
    {
        CMemoryDC dc;
        dc.CreateCompatibleDC(&canvas.Dc());
        CSelectGuard select(dc, glyph);
        dc.FillSolidRect(0, 0, 16, 15, RGB(200, 200, 200));
        dc.FillSolidRect(5, 5, 4, 4, RGB(255, 0, 0));
        dc.SetPixel(12, 2, RGB(250, 240, 230)); // highlight counts as background
    }
    GlyphMenu menu;
    menu.DrawEmbossedGlyph(&canvas.Dc(), 10, 10, 16, 15, glyph, 0, 0, background);

    const COLORREF shadow = RGB(90, 60, 30), highlight = RGB(250, 240, 230);
    EXPECT_EQ(canvas.Pixel(15, 15), shadow);
    EXPECT_EQ(canvas.Pixel(18, 18), shadow);
    EXPECT_EQ(canvas.Pixel(19, 19), highlight) << "only the shifted copy reaches here";
    EXPECT_EQ(canvas.Pixel(19, 16), highlight);
    EXPECT_EQ(canvas.Pixel(14, 14), background);
    EXPECT_EQ(canvas.Pixel(10, 10), background);
    EXPECT_EQ(canvas.Pixel(22, 12), background) << "the highlight pixel of the source";
    EXPECT_EQ(canvas.Pixel(25, 24), background);
    EXPECT_EQ(canvas.Pixel(26, 20), background) << "the column right of the target";
    EXPECT_EQ(canvas.Pixel(20, 25), background) << "the row below the target";
    EXPECT_EQ(canvas.Pixel(9, 9), RGB(0, 0, 0)) << "nothing left or above";
    EXPECT_EQ(canvas.Pixel(27, 20), RGB(0, 0, 0));
    EXPECT_EQ(canvas.Count(CRect(0, 0, 40, 40), shadow), 16);
    EXPECT_EQ(canvas.Count(CRect(0, 0, 40, 40), highlight), 7);
}

TEST(ToolBar, ImageIndexOfACommand) {
    GlyphMenu menu;
    struct Case {
        UINT id;
        int resource;
        BOOL found;
        int index;
    };
    const Case cases[] = {
        {ID_GLYPH_A, IDR_GLYPHS, TRUE, 7}, // image 0 leaves the index alone
        {ID_GLYPH_C, IDR_GLYPHS, TRUE, 2},
        {ID_NOT_ON_TOOLBAR, IDR_GLYPHS, FALSE, 7},
        {0, IDR_GLYPHS, FALSE, 7}, // the separator is no button
        {ID_GLYPH_A, IDR_NO_SUCH_GLYPHS, FALSE, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        int index = 7;
        EXPECT_EQ(menu.ToolbarImageIndex(c.id, c.resource, &index), c.found);
        EXPECT_EQ(index, c.index);
    }
}

} // namespace
