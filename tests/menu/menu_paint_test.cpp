#include "MenuPaintSupport.h"

#include <algorithm>
#include <vector>

namespace {

using namespace menu_colours;

constexpr INT32 kFlat = OS_WINXP;        // themed XP: flat style
constexpr INT32 kClassic3d = OS_WIN2000; // classic with 3-D frames
constexpr INT32 kClassicPlain = OS_NT_OTHER;

// The seven strokes of the tick at (x, y), each three pixels tall.
void ExpectTick(const DibCanvas& canvas, int x, int y) {
    static constexpr int kTop[7] = {2, 3, 4, 3, 2, 1, 0};
    for (int k = 0; k < 7; ++k) {
        SCOPED_TRACE(k);
        for (int dy = 0; dy < 3; ++dy)
            EXPECT_EQ(canvas.Pixel(x + k, y + kTop[k] + dy), kMenuText);
        EXPECT_NE(canvas.Pixel(x + k, y + kTop[k] - 1), kMenuText);
        EXPECT_NE(canvas.Pixel(x + k, y + kTop[k] + 3), kMenuText);
    }
    EXPECT_NE(canvas.Pixel(x + 7, y + 1), kMenuText);
}

TEST_F(MenuDraw, Measure) {
    const int menuBar = ::GetSystemMetrics(SM_CYMENU);
    struct Case {
        INT32 kind;
        int spacing;
        int frame; // width beyond the text
        int height;
    };
    for (const Case& c :
         {Case{kClassic3d, 4, 33, 19}, Case{kClassicPlain, 4, 33, 19}, Case{kFlat, 7, 31, 22}}) {
        SCOPED_TRACE(c.kind);
        Build(c.kind);
        const MEASUREITEMSTRUCT open = Measure(ITEM_OPEN);
        EXPECT_EQ(open.itemHeight, static_cast<UINT>(std::max(menuBar, c.height)));
        EXPECT_EQ(static_cast<int>(open.itemWidth), MenuFontRuler().Width("Open\tCtrl+O") + c.frame)
            << "measured in the menu font";
        const MEASUREITEMSTRUCT separator = Measure(ITEM_SEPARATOR);
        EXPECT_EQ(separator.itemWidth, 0u);
        EXPECT_EQ(separator.itemHeight,
                  static_cast<UINT>(std::max(menuBar / 2, (15 + c.spacing) / 2)));
    }
    Build(kClassic3d);
    RecordAt(*m_menu, ITEM_PLAIN)->SetTextWide(nullptr);
    EXPECT_EQ(Measure(ITEM_PLAIN).itemWidth, 33u) << "no text, no text width";
}

TEST_F(MenuDraw, SeparatorIsAnEtchedLine) {
    Build(kClassic3d);
    DibCanvas& classic = Paint(ITEM_SEPARATOR, 0, 100, 9);
    for (int x : {0, 50, 99}) {
        EXPECT_EQ(classic.Pixel(x, 4), kShadow);
        EXPECT_EQ(classic.Pixel(x, 5), kLight);
        EXPECT_EQ(classic.Pixel(x, 2), kMenu);
    }

    Build(kFlat);
    DibCanvas& flat = Paint(ITEM_SEPARATOR, 0, 100, 11);
    EXPECT_EQ(flat.Pixel(10, 5), kFace) << "the glyph column";
    EXPECT_EQ(flat.Pixel(26, 5), kWindow) << "the line starts after column and spacing";
    EXPECT_EQ(flat.Pixel(30, 5), kShadow);
    EXPECT_EQ(flat.Pixel(99, 5), kShadow);
    EXPECT_EQ(flat.Pixel(50, 6), kLight);
    EXPECT_EQ(flat.Pixel(50, 2), kWindow);
}

TEST_F(MenuDraw, ClassicHighlightBarAndTextPlaces) {
    for (INT32 kind : {kClassic3d, kClassicPlain}) {
        SCOPED_TRACE(kind);
        Build(kind);
        DibCanvas& selected = Paint(ITEM_OPEN, ODS_SELECTED);
        EXPECT_EQ(selected.Pixel(20, 9), kUntouched);
        EXPECT_EQ(selected.Pixel(21, 9), kSelection);
        EXPECT_EQ(selected.Pixel(149, 0), kSelection);
        const int left = ColumnOfOther(selected, CRect(21, 0, 150, 19), kSelection);
        EXPECT_GE(left, 25);
        EXPECT_LE(left, 28);
        EXPECT_GT(selected.Count(CRect(25, 0, 150, 19), kSelText), 0);
        EXPECT_EQ(selected.Pixel(5, 5), kButtonText) << "the glyph at (2, 2)";
        // Raised frame only where the system has 3-D menus.
        EXPECT_EQ(selected.Pixel(0, 9), kind == kClassic3d ? kLight : kUntouched);
        EXPECT_EQ(selected.Pixel(19, 9), kind == kClassic3d ? kShadow : kUntouched);

        EXPECT_EQ(Paint(ITEM_PLAIN, ODS_SELECTED).Pixel(0, 9), kSelection)
            << "no glyph, no check: the whole item";
    }
}

TEST_F(MenuDraw, FlatSelectionAndTextPlaces) {
    Build(kFlat);
    const COLORREF tint = GlyphMenu::LightenColor(kSelection, 0.7);
    DibCanvas& plain = Paint(ITEM_PLAIN, 0);
    EXPECT_EQ(plain.Pixel(0, 10), kFace);
    EXPECT_EQ(plain.Pixel(22, 10), kFace);
    EXPECT_EQ(plain.Pixel(23, 10), kWindow);
    const int left = ColumnOfOther(plain, CRect(23, 0, 150, 22), kWindow);
    EXPECT_GE(left, 31);
    EXPECT_LE(left, 34);

    DibCanvas& selected = Paint(ITEM_OPEN, ODS_SELECTED);
    EXPECT_EQ(selected.Pixel(0, 10), kSelection);
    EXPECT_EQ(selected.Pixel(75, 0), kSelection);
    EXPECT_EQ(selected.Pixel(149, 21), kSelection);
    EXPECT_EQ(selected.Pixel(75, 10), tint);
    EXPECT_EQ(selected.Pixel(2, 18), tint) << "the selection covers the column";
    // Lifted glyph over its shadow: the red pixel (10, 3) of the glyph is
    // drawn at (4, 4) - (1, 1), its shadow at (4, 4) + (1, 1).
    EXPECT_EQ(selected.Pixel(13, 6), RGB(255, 0, 0));
    EXPECT_EQ(selected.Pixel(15, 8), kShadow);
    EXPECT_GT(selected.Count(CRect(31, 0, 150, 22), kMenuText), 0);

    DibCanvas& faded = Paint(ITEM_OPEN, 0);
    EXPECT_EQ(faded.Pixel(14, 7), RGB(255, 76, 76)) << "unselected glyphs are faded";
    EXPECT_EQ(faded.Pixel(4, 4), kFace);
}

TEST_F(MenuDraw, TabSplitsTheText) {
    for (INT32 kind : {kClassic3d, kFlat}) {
        SCOPED_TRACE(kind);
        Build(kind);
        const COLORREF bg = kind == kFlat ? kWindow : kMenu;
        const int textLeft = kind == kFlat ? 31 : 25;
        DibCanvas& open = Paint(ITEM_OPEN, 0);
        const int height = open.Height();
        const int right = ColumnOfOther(open, CRect(textLeft, 0, 150, height), bg, true);
        EXPECT_LE(right, 150 - 16 - 1) << "right part ends at the glyph width from the edge";
        EXPECT_GE(right, 150 - 16 - 4);
        const int left = ColumnOfOther(open, CRect(textLeft - 4, 0, 150, height), bg);
        EXPECT_GE(left, textLeft);
        EXPECT_LE(left, textLeft + 3);
        // Somewhere between "Open" and "Ctrl+O" is a gap.
        bool gap = false;
        for (int x = left + 30; x < right - 40 && !gap; ++x)
            gap = ColumnOfOther(open, CRect(x, 0, x + 1, height), bg) < 0;
        EXPECT_TRUE(gap);

        auto pixels = [](const DibCanvas& canvas) {
            std::vector<COLORREF> all;
            for (int y = 0; y < canvas.Height(); ++y)
                for (int x = 0; x < canvas.Width(); ++x)
                    all.push_back(canvas.Pixel(x, y));
            return all;
        };
        const std::vector<COLORREF> abc = pixels(Paint(ITEM_ABC, 0));
        DibCanvas& second = Paint(ITEM_AC, 0);
        EXPECT_EQ(abc, pixels(second)) << "b between the tabs is not drawn";
        EXPECT_GT(ColumnOfOther(second, CRect(100, 0, 150, height), bg, true), 100);
    }
}

TEST_F(MenuDraw, CheckedWithoutGlyphShowsTheTickOrTheDot) {
    Build(kClassic3d);
    DibCanvas& classic = Paint(ITEM_PLAIN, ODS_CHECKED);
    ExpectTick(classic, 5, 6);
    EXPECT_EQ(classic.Pixel(1, 2), kShadow) << "sunken border";
    EXPECT_EQ(classic.Pixel(16, 16), kLight);
    EXPECT_EQ(classic.Pixel(3, 4), GlyphMenu::LightenColor(kMenu, 0.6));
    DibCanvas& selected = Paint(ITEM_PLAIN, ODS_CHECKED | ODS_SELECTED);
    ExpectTick(selected, 5, 6);
    EXPECT_EQ(selected.Pixel(3, 4), kMenu) << "not lightened when selected";
    EXPECT_EQ(selected.Pixel(21, 9), kSelection) << "checked: the bar leaves the box free";

    Build(kClassicPlain);
    DibCanvas& plain = Paint(ITEM_PLAIN, ODS_CHECKED);
    ExpectTick(plain, 5, 6);
    EXPECT_EQ(plain.Pixel(1, 2), GlyphMenu::LightenColor(kMenu, 0.6)) << "no border";

    Build(kFlat);
    DibCanvas& flat = Paint(ITEM_PLAIN, ODS_CHECKED);
    ExpectTick(flat, 9, 7);
    EXPECT_EQ(flat.Pixel(4, 3), kSelection);
    EXPECT_EQ(flat.Pixel(19, 18), kSelection);
    EXPECT_EQ(flat.Pixel(6, 5), GlyphMenu::LightenColor(kSelection, 0.85));

    // A checked-state bitmap, as set for radio items, gives the dot.
    CBitmap mark;
    ASSERT_TRUE(mark.CreateBitmap(13, 13, 1, 1, nullptr));
    for (INT32 kind : {kClassic3d, kFlat}) {
        SCOPED_TRACE(kind);
        GlyphMenu& menu = Build(kind);
        ASSERT_TRUE(::SetMenuItemBitmaps(menu.GetSafeHmenu(), ID_PLAIN, MF_BYCOMMAND, nullptr,
                                         mark.GetSafeHandle()));
        DibCanvas& radio = Paint(ITEM_PLAIN, ODS_CHECKED);
        const CPoint dot = kind == kFlat ? CPoint(9, 7) : CPoint(6, 6);
        EXPECT_EQ(radio.Pixel(dot.x + 2, dot.y + 2), kMenuText);
        EXPECT_EQ(radio.Pixel(dot.x + 3, dot.y + 3), kMenuText);
        EXPECT_EQ(radio.Count(CRect(dot.x, dot.y, dot.x + 6, dot.y + 6), kMenuText),
                  radio.Count(CRect(0, 0, 23, radio.Height()), kMenuText))
            << "every mark pixel inside the dot's box";
        EXPECT_NE(radio.Pixel(dot.x - 1, dot.y + 2), kMenuText) << "no tick";
    }
}

TEST_F(MenuDraw, CheckedWithGlyphShowsTheGlyphFramed) {
    Build(kClassic3d);
    DibCanvas& classic = Paint(ITEM_OPEN, ODS_CHECKED);
    EXPECT_EQ(classic.Pixel(0, 9), kShadow) << "sunken";
    EXPECT_EQ(classic.Pixel(19, 9), kLight);
    EXPECT_EQ(classic.Pixel(1, 9), GlyphMenu::LightenColor(kMenu, 0.6));
    EXPECT_EQ(classic.Pixel(5, 5), kButtonText);
    EXPECT_EQ(classic.Count(CRect(0, 0, 21, 19), kMenuText), 0) << "no tick";

    Build(kFlat);
    DibCanvas& flat = Paint(ITEM_OPEN, ODS_CHECKED);
    EXPECT_EQ(flat.Pixel(1, 10), kSelection);
    EXPECT_EQ(flat.Pixel(21, 10), kSelection);
    EXPECT_EQ(flat.Pixel(2, 19), GlyphMenu::LightenColor(kSelection, 0.85));
    EXPECT_EQ(flat.Pixel(13, 6), RGB(255, 0, 0)) << "shifted up and left";
    EXPECT_NE(flat.Pixel(14, 7), RGB(255, 0, 0));
    EXPECT_EQ(flat.Count(CRect(0, 0, 23, 22), kMenuText), 0) << "no tick";
}

TEST_F(MenuDraw, DisabledItems) {
    Build(kClassic3d);
    DibCanvas& hovered = Paint(ITEM_OPEN, ODS_GRAYED | ODS_SELECTED);
    EXPECT_EQ(hovered.Pixel(21, 9), kSelection) << "classic shows the bar";
    EXPECT_GT(hovered.Count(CRect(25, 0, 150, 19), kMenu), 0) << "text in the background colour";
    EXPECT_EQ(hovered.Count(CRect(25, 0, 150, 19), kSelText), 0);
    EXPECT_GT(hovered.Count(CRect(2, 2, 18, 17), kShadow), 0) << "embossed glyph";
    EXPECT_EQ(hovered.Count(CRect(2, 2, 18, 17), kButtonText), 0);

    DibCanvas& idle = Paint(ITEM_PLAIN, ODS_GRAYED);
    EXPECT_GT(idle.Count(CRect(25, 0, 150, 19), kGray), 0);
    EXPECT_GT(idle.Count(CRect(26, 1, 150, 19), kLight), 0) << "embossed text";
    EXPECT_EQ(idle.Count(CRect(0, 0, 150, 19), kMenuText), 0);

    Build(kFlat);
    for (UINT state : {UINT{ODS_GRAYED}, UINT{ODS_GRAYED | ODS_SELECTED}}) {
        SCOPED_TRACE(state);
        DibCanvas& flat = Paint(ITEM_OPEN, state);
        EXPECT_EQ(flat.Count(CRect(0, 0, 150, 22), GlyphMenu::LightenColor(kSelection, 0.7)), 0)
            << "never shown selected";
        EXPECT_EQ(flat.Pixel(75, 0), kWindow);
        EXPECT_EQ(flat.Pixel(1, 20), kFace);
        EXPECT_GT(flat.Count(CRect(31, 0, 150, 22), kGray), 0);
        EXPECT_GT(flat.Count(CRect(4, 4, 20, 19), kShadow), 0) << "embossed glyph";
        EXPECT_EQ(flat.Count(CRect(0, 0, 150, 22), kButtonText), 0);
    }
}

// The flat painter on its own, without the theme: lighter column, selection and
// disabled text.
TEST_F(MenuDraw, FlatPainterWithoutTheme) {
    GlyphMenu& menu = Build(kClassic3d);
    m_canvas.emplace(150, 22, kUntouched);
    DRAWITEMSTRUCT dis =
        DrawRecord(menu, ITEM_PLAIN, ODS_SELECTED, m_canvas->Hdc(), CRect(0, 0, 150, 22));
    menu.DrawItemFlat(&dis);
    EXPECT_EQ(m_canvas->Pixel(75, 10), GlyphMenu::LightenColor(kSelection, 0.85));
    dis.itemState = ODS_GRAYED;
    menu.DrawItemFlat(&dis);
    EXPECT_EQ(m_canvas->Pixel(10, 10), GlyphMenu::LightenColor(kFace, 0.25));
    EXPECT_GT(m_canvas->Count(CRect(31, 0, 150, 22), GlyphMenu::LightenColor(kGray, 0.4)), 0);
}

} // namespace
