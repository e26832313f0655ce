#pragma once
// Shared by the glyph and drawing tests: system colours set for one test and
// put back, the menu style forced class-wide, owner-draw records aimed at a
// DIB canvas, and the popup the drawing tests paint.

#include "DibCanvas.h"
#include "GlyphMenu.h"
#include "MenuTreeQueries.h"
#include "menu_test_ids.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

// Sets system colours for one scope; the old ones come back even when a check fails.
class SysColourScope {
  public:
    SysColourScope(std::initializer_list<std::pair<int, COLORREF>> colours) {
        for (const auto& [index, colour] : colours) {
            m_indices.push_back(index);
            m_old.push_back(::GetSysColor(index));
            m_new.push_back(colour);
        }
        ::SetSysColors(static_cast<int>(m_indices.size()), m_indices.data(), m_new.data());
    }
    ~SysColourScope() {
        ::SetSysColors(static_cast<int>(m_indices.size()), m_indices.data(), m_old.data());
    }
    SysColourScope(const SysColourScope&) = delete;
    SysColourScope& operator=(const SysColourScope&) = delete;

  private:
    std::vector<int> m_indices;
    std::vector<COLORREF> m_old;
    std::vector<COLORREF> m_new;
};

// The OS kind decides the style: XP (with no classic theme set, as under wine)
// draws flat; 2000 draws classic with 3-D frames; later systems classic without.
class StyleScope {
  public:
    explicit StyleScope(INT32 osKind) : m_old(GlyphMenu::s_osKind) { GlyphMenu::s_osKind = osKind; }
    ~StyleScope() { GlyphMenu::s_osKind = m_old; }
    StyleScope(const StyleScope&) = delete;
    StyleScope& operator=(const StyleScope&) = delete;

  private:
    INT32 m_old;
};

inline void ResetSharedGlyphs() {
    GlyphMenu::s_sharedGlyphs.DeleteImageList();
    GlyphMenu::s_sharedGlyphIds.clear();
}

inline DRAWITEMSTRUCT DrawRecord(const GlyphMenu& menu, int position, UINT state, HDC hDC,
                                 const RECT& rc) {
    DRAWITEMSTRUCT dis{};
    dis.CtlType = ODT_MENU;
    dis.itemID = menu.GetMenuItemID(position);
    dis.itemAction = ODA_DRAWENTIRE;
    dis.itemState = state;
    dis.hwndItem = reinterpret_cast<HWND>(menu.GetSafeHmenu());
    dis.hDC = hDC;
    dis.rcItem = rc;
    dis.itemData = reinterpret_cast<ULONG_PTR>(RecordAt(menu, position));
    return dis;
}

// The first column inside rc holding a pixel other than colour, or the last one
// when fromRight; -1 when none.
inline int ColumnOfOther(const DibCanvas& canvas, const RECT& rc, COLORREF colour,
                         bool fromRight = false) {
    for (int i = 0; i < rc.right - rc.left; ++i) {
        const int x = fromRight ? rc.right - 1 - i : rc.left + i;
        for (int y = rc.top; y < rc.bottom; ++y)
            if (canvas.Pixel(x, y) != colour)
                return x;
    }
    return -1;
}

namespace menu_colours {
constexpr COLORREF kMenu = RGB(240, 230, 200);
constexpr COLORREF kFace = RGB(212, 208, 200);
constexpr COLORREF kShadow = RGB(128, 100, 90);
constexpr COLORREF kLight = RGB(250, 250, 240); // button highlight
constexpr COLORREF kSelection = RGB(40, 80, 200);
constexpr COLORREF kSelText = RGB(255, 255, 0);
constexpr COLORREF kMenuText = RGB(10, 20, 30);
constexpr COLORREF kGray = RGB(120, 120, 120);
constexpr COLORREF kWindow = RGB(255, 255, 250);
constexpr COLORREF kButtonText = RGB(0, 0, 128);
constexpr COLORREF kUntouched = RGB(1, 2, 3); // what the canvas held before
} // namespace menu_colours

enum MenuDrawItem { ITEM_OPEN, ITEM_PLAIN, ITEM_SEPARATOR, ITEM_ABC, ITEM_AC };
constexpr UINT ID_PLAIN = 11;

// A popup with the items the drawing tests paint, in colours chosen so that
// every colour rule is told apart from the others.
class MenuDraw : public testing::Test {
  protected:
    MenuDraw()
        : m_colours{{COLOR_MENU, menu_colours::kMenu},
                    {COLOR_BTNFACE, menu_colours::kFace},
                    {COLOR_BTNSHADOW, menu_colours::kShadow},
                    {COLOR_BTNHIGHLIGHT, menu_colours::kLight},
                    {COLOR_HIGHLIGHT, menu_colours::kSelection},
                    {COLOR_HIGHLIGHTTEXT, menu_colours::kSelText},
                    {COLOR_MENUTEXT, menu_colours::kMenuText},
                    {COLOR_GRAYTEXT, menu_colours::kGray},
                    {COLOR_WINDOW, menu_colours::kWindow},
                    {COLOR_BTNTEXT, menu_colours::kButtonText}} {}
    void TearDown() override {
        m_menu.reset();
        ResetSharedGlyphs();
    }

    // Glyphs get their variants from the style in force when they are added.
    GlyphMenu& Build(INT32 osKind) {
        m_style.emplace(osKind);
        m_menu.reset();
        ResetSharedGlyphs();
        m_menu.emplace();
        EXPECT_TRUE(m_menu->CreatePopupMenu());
        m_menu->AppendItem(L"Open\tCtrl+O", MF_STRING, ID_GLYPH_A, IDR_GLYPHS);
        m_menu->AppendItem(L"Plain", MF_STRING, ID_PLAIN);
        m_menu->AppendItem(nullptr, MF_SEPARATOR, 0);
        m_menu->AppendItem(L"a\tb\tc", MF_STRING, 12);
        m_menu->AppendItem(L"a\tc", MF_STRING, 13);
        return *m_menu;
    }

    // Paints one item at (0, 0) of a fresh canvas.
    DibCanvas& Paint(int item, UINT state, int width = 150, int height = -1) {
        if (height < 0)
            height = Measure(item).itemHeight;
        m_canvas.emplace(width, height, menu_colours::kUntouched);
        DRAWITEMSTRUCT dis =
            DrawRecord(*m_menu, item, state, m_canvas->Hdc(), CRect(0, 0, width, height));
        m_menu->DrawItem(&dis);
        return *m_canvas;
    }

    MEASUREITEMSTRUCT Measure(int item) {
        MEASUREITEMSTRUCT mis{};
        mis.CtlType = ODT_MENU;
        mis.itemID = m_menu->GetMenuItemID(item);
        mis.itemData = reinterpret_cast<ULONG_PTR>(RecordAt(*m_menu, item));
        m_menu->MeasureItem(&mis);
        return mis;
    }

    SysColourScope m_colours;
    std::optional<StyleScope> m_style;
    std::optional<GlyphMenu> m_menu;
    std::optional<DibCanvas> m_canvas;
};
