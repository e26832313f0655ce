// Measuring and painting menu items, and the glyph list they draw from, in
// 32-bit DIB sections under wine.
#include "CDC.h"
#include "CGdiObject.h"
#include "DibCanvas.h"
#include "GlyphMenu.h"
#include "MenuHost.h"
#include "menu_test_ids.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <tuple>
#include <vector>

namespace {

constexpr COLORREF kMenu = RGB(240, 230, 200), kFace = RGB(212, 208, 200),
                   kShadow = RGB(128, 100, 90), kLight = RGB(250, 250, 240),
                   kSelection = RGB(40, 80, 200), kSelText = RGB(255, 255, 0),
                   kMenuText = RGB(10, 20, 30), kGray = RGB(120, 120, 120),
                   kWindow = RGB(255, 255, 250), kButtonText = RGB(0, 0, 128),
                   kUntouched = RGB(1, 2, 3), kRed = RGB(255, 0, 0), kMagenta = RGB(255, 0, 255);
constexpr INT32 kFlat = OS_WINXP, kClassic3d = OS_WIN2000, kClassicPlain = OS_NT_OTHER;
// The flat painter called on its own where the style in force has no theme.
constexpr INT32 kFlatUnthemed = -1;
enum Item { OPEN, PLAIN, SEPARATOR, ABC, AC, RADIO };

// Every colour rule told apart by its own system colour, and the OS kind that
// picks the style; both come back after the test.
class MenuPaint : public testing::Test {
  protected:
    MenuPaint() {
        const COLORREF colors[] = {kMenu,    kFace,     kShadow, kLight,  kSelection,
                                   kSelText, kMenuText, kGray,   kWindow, kButtonText};
        for (int i = 0; i < 10; ++i)
            m_old[i] = ::GetSysColor(kIndices[i]);
        ::SetSysColors(10, kIndices, colors);
    }
    ~MenuPaint() override {
        ::SetSysColors(10, kIndices, m_old);
        Build(m_osKind);
    }
    static void SetColor(int index, COLORREF color) { ::SetSysColors(1, &index, &color); }

    // Glyphs get their variants from the style in force when they are added.
    GlyphMenu& Build(INT32 osKind) {
        GlyphMenu::s_osKind = osKind;
        m_menu.reset();
        GlyphMenu::s_sharedGlyphs.DeleteImageList();
        GlyphMenu::s_sharedGlyphIds.clear();
        m_menu = std::make_unique<GlyphMenu>();
        EXPECT_TRUE(m_menu->CreatePopupMenu());
        const UINT_PTR ids[] = {ID_GLYPH_A, 11, 0, 12, 13, 14};
        const wchar_t* texts[] = {L"Open\tCtrl+O", L"Plain", nullptr,
                                  L"a\tb\tc",      L"a\tc",  L"Radio"};
        for (int i = 0; i < 6; ++i)
            m_menu->AppendItem(texts[i], MF_STRING, ids[i], i == OPEN ? IDR_GLYPHS : -1);
        // A checked-state bitmap, as the framework sets for radio items.
        m_radioMark.DeleteObject();
        m_radioMark.CreateBitmap(13, 13, 1, 1, nullptr);
        ::SetMenuItemBitmaps(m_menu->GetSafeHmenu(), 14, MF_BYCOMMAND, nullptr,
                             m_radioMark.GetSafeHandle());
        return *m_menu;
    }

    DibCanvas& Paint(int item, UINT state, int height, bool flatPainter = false) {
        m_canvas.emplace(150, height, kUntouched);
        const auto hMenu = reinterpret_cast<HWND>(m_menu->GetSafeHmenu());
        const UINT id = m_menu->GetMenuItemID(item);
        const RECT rect{0, 0, 150, height};
        DRAWITEMSTRUCT dis{ODT_MENU,        0,    id,        ODA_DRAWENTIRE, state, hMenu,
                           m_canvas->Hdc(), rect, Data(item)};
        if (flatPainter)
            m_menu->DrawItemFlat(&dis);
        else
            m_menu->DrawItem(&dis);
        return *m_canvas;
    }

    MEASUREITEMSTRUCT Measure(int item) {
        MEASUREITEMSTRUCT mis{ODT_MENU, 0, m_menu->GetMenuItemID(item), 0, 0, Data(item)};
        m_menu->MeasureItem(&mis);
        return mis;
    }

    ULONG_PTR Data(int item) const {
        return reinterpret_cast<ULONG_PTR>(m_menu->m_items.GetAt(item));
    }

    static constexpr int kIndices[10] = {
        COLOR_MENU,          COLOR_BTNFACE,  COLOR_BTNSHADOW, COLOR_BTNHIGHLIGHT, COLOR_HIGHLIGHT,
        COLOR_HIGHLIGHTTEXT, COLOR_MENUTEXT, COLOR_GRAYTEXT,  COLOR_WINDOW,       COLOR_BTNTEXT};
    COLORREF m_old[10];
    INT32 m_osKind = GlyphMenu::s_osKind;
    std::unique_ptr<GlyphMenu> m_menu;
    CBitmap m_radioMark;
    std::optional<DibCanvas> m_canvas;
};

// Every pixel of an area has the colour, some pixel has it, or none has it.
enum Expect { EVERY, SOME, NONE };
struct Probe {
    CRect area;
    COLORREF color;
    Expect expect = EVERY;
};
Probe At(int x, int y, COLORREF color) {
    return {CRect(x, y, x + 1, y + 1), color};
}

// The tick's seven strokes at (x, y), three pixels each, on its box's fill.
std::vector<Probe> Tick(int x, int y, COLORREF fill) {
    static constexpr int kTop[7] = {2, 3, 4, 3, 2, 1, 0};
    std::vector<Probe> probes;
    for (int k = 0; k < 7; ++k) {
        probes.push_back({CRect(x + k, y + kTop[k], x + k + 1, y + kTop[k] + 3), kMenuText});
        probes.push_back(At(x + k, y + kTop[k] - 1, fill));
        probes.push_back(At(x + k, y + kTop[k] + 3, fill));
    }
    return probes;
}

TEST_F(MenuPaint, ItemsInEveryStateAndStyle) {
    const COLORREF menuTint = GlyphMenu::LightenColor(kMenu, 0.6),
                   selection = GlyphMenu::LightenColor(kSelection, 0.7),
                   checkedTint = GlyphMenu::LightenColor(kSelection, 0.85);
    struct Case {
        const char* name;
        INT32 kind;
        int item;
        UINT state;
        std::vector<Probe> probes;
    };
    const auto with = [](std::vector<Probe> a, const std::vector<Probe>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const UINT sel = ODS_SELECTED, chk = ODS_CHECKED, gray = ODS_GRAYED;
    // clang-format off
    const Case cases[] = {
        {"classic separator", kClassic3d, SEPARATOR, 0,
         {At(0, 4, kShadow), At(149, 4, kShadow), At(50, 5, kLight), At(50, 2, kMenu)}},
        {"classic selected glyph: bar after the slot, raised frame", kClassic3d, OPEN, sel,
         {At(20, 9, kUntouched), At(21, 9, kSelection), At(149, 0, kSelection), At(5, 5, kButtonText),
          At(0, 9, kLight), At(19, 9, kShadow), {CRect(25, 0, 150, 19), kSelText, SOME}}},
        {"no 3-D frames before 2000", kClassicPlain, OPEN, sel,
         {At(0, 9, kUntouched), At(19, 9, kUntouched), At(21, 9, kSelection)}},
        {"classic bar without glyph or check covers the item", kClassic3d, PLAIN, sel, {At(0, 9, kSelection)}},
        {"classic checked glyph: sunken, tinted, no tick", kClassic3d, OPEN, chk,
         {At(0, 9, kShadow), At(19, 9, kLight), At(1, 9, menuTint), At(5, 5, kButtonText),
          {CRect(0, 0, 21, 19), kMenuText, NONE}}},
        {"classic tick in a sunken box", kClassic3d, PLAIN, chk,
         with(Tick(5, 6, menuTint), {At(1, 2, kShadow), At(16, 16, kLight)})},
        {"classic tick selected: box not tinted", kClassic3d, PLAIN, chk | sel,
         with(Tick(5, 6, kMenu), {At(21, 9, kSelection)})},
        {"no sunken box before 2000", kClassicPlain, PLAIN, chk, {At(1, 2, menuTint)}},
        {"classic radio dot", kClassic3d, RADIO, chk, {At(8, 8, kMenuText), At(9, 9, kMenuText), At(5, 8, menuTint)}},
        {"classic disabled and hovered: bar, background text, embossed glyph", kClassic3d, OPEN, gray | sel,
         {At(21, 9, kSelection), {CRect(25, 0, 150, 19), kMenu, SOME}, {CRect(25, 0, 150, 19), kSelText, NONE},
          At(5, 5, kShadow), At(8, 8, kLight), {CRect(2, 2, 18, 17), kButtonText, NONE}}},
        {"classic text from 25 on, right part the glyph width from the edge", kClassic3d, OPEN, 0,
         {{CRect(21, 0, 25, 19), kMenuText, NONE}, {CRect(25, 0, 29, 19), kMenuText, SOME},
          {CRect(130, 0, 134, 19), kMenuText, SOME}, {CRect(134, 0, 150, 19), kMenuText, NONE}}},
        {"b between two tabs is not drawn", kClassic3d, ABC, 0, {{CRect(33, 0, 124, 19), kMenuText, NONE}}},
        {"classic disabled text embossed", kClassic3d, PLAIN, gray,
         {{CRect(25, 0, 150, 19), kGray, SOME}, {CRect(26, 1, 150, 19), kLight, SOME},
          {CRect(0, 0, 150, 19), kMenuText, NONE}}},
        {"flat separator after column and spacing", kFlat, SEPARATOR, 0,
         {At(10, 5, kFace), At(26, 5, kWindow), At(30, 5, kShadow), At(149, 5, kShadow), At(50, 6, kLight),
          At(50, 2, kWindow)}},
        {"flat column, text from 31 on", kFlat, PLAIN, 0,
         {At(0, 10, kFace), At(22, 10, kFace), At(23, 10, kWindow), {CRect(23, 0, 31, 22), kMenuText, NONE},
          {CRect(31, 0, 35, 22), kMenuText, SOME}}},
        {"flat selection over the column, glyph lifted over its shadow", kFlat, OPEN, sel,
         {At(0, 10, kSelection), At(75, 0, kSelection), At(149, 21, kSelection), At(75, 10, selection),
          At(2, 18, selection), At(13, 6, kRed), At(15, 8, kShadow), {CRect(31, 0, 150, 22), kMenuText, SOME}}},
        {"flat glyph faded", kFlat, OPEN, 0, {At(14, 7, RGB(255, 76, 76)), At(4, 4, kFace)}},
        {"flat checked glyph: framed, tinted, up and left", kFlat, OPEN, chk,
         {At(1, 10, kSelection), At(21, 10, kSelection), At(2, 19, checkedTint), At(13, 6, kRed),
          At(14, 7, checkedTint), {CRect(0, 0, 23, 22), kMenuText, NONE}}},
        {"flat tick", kFlat, PLAIN, chk, with(Tick(9, 7, checkedTint), {At(4, 3, kSelection), At(19, 18, kSelection)})},
        {"flat radio dot", kFlat, RADIO, chk, {At(11, 9, kMenuText), At(12, 10, kMenuText), At(8, 9, checkedTint)}},
        {"flat disabled never selected", kFlat, OPEN, gray | sel,
         {{CRect(0, 0, 150, 22), selection, NONE}, At(75, 0, kWindow), At(1, 20, kFace),
          {CRect(31, 0, 150, 22), kGray, SOME}, At(7, 7, kShadow), {CRect(0, 0, 150, 22), kButtonText, NONE}}},
        {"flat disabled text without the theme lightened", kFlatUnthemed, PLAIN, gray,
         {{CRect(31, 0, 150, 22), GlyphMenu::LightenColor(kGray, 0.4), SOME}, {CRect(0, 0, 150, 22), kGray, NONE}}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const bool unthemed = c.kind == kFlatUnthemed;
        Build(unthemed ? kClassic3d : c.kind);
        const int height = (c.kind == kFlat || unthemed ? 22 : 19) / (c.item == SEPARATOR ? 2 : 1);
        const DibCanvas& canvas = Paint(c.item, c.state, height, unthemed);
        for (const Probe& p : c.probes) {
            const int count = canvas.Count(p.area, p.color);
            const int expected = p.expect == EVERY ? p.area.Width() * p.area.Height() : 0;
            if (p.expect == SOME)
                EXPECT_GT(count, 0) << p.area.left << "," << p.area.top;
            else
                EXPECT_EQ(count, expected) << p.area.left << "," << p.area.top << " is " << std::hex
                                           << canvas.Pixel(p.area.left, p.area.top);
        }
    }
}

TEST_F(MenuPaint, Measure) {
    const int menuBar = ::GetSystemMetrics(SM_CYMENU);
    CFont font;
    CreateMenuFont(font);
    CClientDC dc(nullptr);
    CSelectGuard selectFont(dc, font);
    const LONG text = dc.GetTextExtent("Open\tCtrl+O", 11).cx;
    for (const auto& [kind, spacing, frame, height] :
         {std::tuple{kClassic3d, 4, 33, 19}, std::tuple{kFlat, 7, 31, 22}}) {
        Build(kind);
        EXPECT_EQ(Measure(OPEN).itemHeight, static_cast<UINT>(std::max(menuBar, height))) << kind;
        EXPECT_EQ(static_cast<LONG>(Measure(OPEN).itemWidth), text + frame) << kind;
        EXPECT_EQ(Measure(SEPARATOR).itemWidth, 0u);
        EXPECT_EQ(Measure(SEPARATOR).itemHeight,
                  static_cast<UINT>(std::max(menuBar / 2, (15 + spacing) / 2)));
    }
    static_cast<GlyphMenuItem*>(m_menu->m_items.GetAt(PLAIN))->SetTextWide(nullptr);
    EXPECT_EQ(Measure(PLAIN).itemWidth, 31u) << "no text, no text width";
}

// An image of a list drawn transparently over magenta.
std::unique_ptr<DibCanvas> DrawImage(const CImageList& list, int index) {
    auto canvas = std::make_unique<DibCanvas>(16, 15, kMagenta);
    list.Draw(&canvas->Dc(), index, CPoint(0, 0), ILD_TRANSPARENT);
    return canvas;
}

TEST_F(MenuPaint, GlyphSlotsImagesAndCopies) {
    for (const auto& [kind, second, count] :
         {std::tuple{kFlat, 3, 6}, std::tuple{kClassic3d, 1, 2}}) {
        SCOPED_TRACE(kind);
        GlyphMenu& menu = Build(kind);
        menu.AppendItem(L"b", MF_STRING, ID_GLYPH_B, IDR_GLYPHS);
        menu.AppendItem(L"a again", MF_STRING, ID_GLYPH_A, IDR_GLYPHS);
        menu.AppendItem(L"no bitmap", MF_STRING, ID_GLYPH_C, IDR_NO_SUCH_GLYPHS);
        menu.AppendItem(L"b without resource", MF_STRING, ID_GLYPH_B);
        const auto image = [&](int i) {
            return static_cast<GlyphMenuItem*>(menu.m_items.GetAt(i))->m_globalImage;
        };
        EXPECT_EQ(image(OPEN), 0);
        EXPECT_EQ(image(6), second);
        EXPECT_EQ(image(7), 0) << "the same command replaces its glyph in place";
        EXPECT_EQ(image(8), -1);
        EXPECT_EQ(image(9), second) << "the glyph an earlier item of the command left";
        EXPECT_EQ(GlyphMenu::s_sharedGlyphs.GetImageCount(), count);
        EXPECT_EQ(GlyphMenu::HasGlyphVariants(second) != FALSE, kind == kFlat);
        EXPECT_FALSE(GlyphMenu::HasGlyphVariants(count - 2));
        EXPECT_FALSE(GlyphMenu::HasGlyphVariants(1)) << "two slots of an id are not three";
        EXPECT_EQ(DrawImage(GlyphMenu::s_sharedGlyphs, second)->Pixel(8, 7), kRed) << "image 1";
    }
    // A faded pixel that turns into the face colour is see-through (100 + 0.3 * 155
    // = 146.5); without the theme the shadow is lighter.
    SetColor(COLOR_BTNFACE, RGB(146, 146, 146));
    Build(kFlat);
    EXPECT_EQ(DrawImage(GlyphMenu::s_sharedGlyphs, 1)->Pixel(12, 10), kMagenta);
    DibCanvas canvas(16, 15);
    CBitmap glyph;
    ASSERT_TRUE(m_menu->RenderGlyph(&canvas.Dc(), GlyphMenu::s_sharedGlyphs, 0, glyph));
    GlyphMenu::s_osKind = kClassic3d;
    m_menu->ShadowGlyph(glyph);
    {
        CSelectGuard select(canvas.Dc(), glyph);
        EXPECT_EQ(canvas.Dc().GetPixel(3, 3), GlyphMenu::LightenColor(kShadow, 0.49));
        EXPECT_EQ(canvas.Dc().GetPixel(0, 0), RGB(146, 146, 146));
    }

    // The toolbar's button for a command picks its image; no button, image 0.
    Build(kClassic3d).AppendItem(L"c", MF_STRING, ID_GLYPH_C, IDR_GLYPHS);
    m_menu->AppendItem(L"elsewhere", MF_STRING, ID_NOT_ON_TOOLBAR, IDR_GLYPHS);
    EXPECT_EQ(DrawImage(GlyphMenu::s_sharedGlyphs, 1)->Pixel(8, 8), RGB(0, 0, 255));
    EXPECT_EQ(DrawImage(GlyphMenu::s_sharedGlyphs, 2)->Pixel(3, 3), kButtonText);
}

// Light grey in a 16-colour toolbar is the button face after mapping, so it is
// see-through whatever the face; a 256-colour bitmap is not mapped.
TEST_F(MenuPaint, GlyphBitmapsMappedToTheButtonColors) {
    SetColor(COLOR_BTNFACE, RGB(10, 200, 30));
    GlyphMenu menu;
    CImageList mapped, unmapped;
    ASSERT_TRUE(mapped.Create(16, 15, ILC_COLORDDB | ILC_MASK, 1, 1) &&
                unmapped.Create(16, 15, ILC_COLORDDB | ILC_MASK, 1, 1));
    ASSERT_TRUE(menu.AddGlyphBitmap(mapped, IDR_GLYPHS) &&
                menu.AddGlyphBitmap(unmapped, IDB_GLYPH256));
    EXPECT_EQ(mapped.GetImageCount(), 3) << "cut into the list's width";
    const auto glyph = DrawImage(mapped, 0), glyph256 = DrawImage(unmapped, 0);
    EXPECT_EQ(glyph->Pixel(0, 0), kMagenta);
    EXPECT_EQ(glyph->Pixel(3, 3), kButtonText);
    EXPECT_EQ(glyph->Pixel(12, 10), RGB(100, 100, 100));
    EXPECT_EQ(glyph256->Pixel(0, 0), RGB(0xC0, 0xC0, 0xC0));
    EXPECT_EQ(glyph256->Pixel(5, 5), kMagenta) << "exactly the face colour";

    // The header's size places the colour table and the bits; a 16-entry table
    // of an 8-bit image is 16 entries long; short resources give nothing.
    SetColor(COLOR_BTNFACE, kFace);
    for (int resource : {IDB_V4_HEADER, IDB_8BIT_16COLORS}) {
        SCOPED_TRACE(resource);
        CBitmap bitmap = GlyphMenu::LoadMappedBitmap(resource);
        ASSERT_NE(bitmap.GetSafeHandle(), nullptr);
        DibCanvas canvas(4, 2);
        CMemoryDC source;
        source.CreateCompatibleDC(&canvas.Dc());
        CSelectGuard select(source, bitmap);
        canvas.Dc().BitBlt(0, 0, 4, 2, &source, 0, 0, SRCCOPY);
        const COLORREF expected[2][4] = {{kButtonText, kShadow, kFace, kLight},
                                         {kRed, kRed, kButtonText, kFace}};
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 4; ++x)
                EXPECT_EQ(canvas.Pixel(x, y), expected[y][x]) << x << "," << y;
    }
    for (int resource : {IDB_SHORT, IDB_HEADER_ONLY, IDB_GLYPH256, IDR_NO_SUCH_GLYPHS})
        EXPECT_EQ(GlyphMenu::LoadMappedBitmap(resource).GetSafeHandle(), nullptr) << resource;
}

} // namespace
