#pragma once
// A popup with the items the drawing tests paint, in colours chosen so that
// every colour rule is told apart from the others.

#include "MenuPaintSupport.h"
#include "glyph_test_ids.h"

#include <gtest/gtest.h>

#include <optional>

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

enum MenuDrawItem { ITEM_OPEN, ITEM_PLAIN, ITEM_SEPARATOR, ITEM_ABC, ITEM_AC, ITEM_COUNT };
constexpr UINT ID_PLAIN = 11;

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
        GlyphMenu& menu = *m_menu;
        EXPECT_TRUE(menu.CreatePopupMenu());
        menu.AppendItem(L"Open\tCtrl+O", MF_STRING, ID_GLYPH_A, IDR_GLYPHS);
        menu.AppendItem(L"Plain", MF_STRING, ID_PLAIN);
        menu.AppendItem(nullptr, MF_SEPARATOR, 0);
        menu.AppendItem(L"a\tb\tc", MF_STRING, 12);
        menu.AppendItem(L"a\tc", MF_STRING, 13);
        return menu;
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
        MEASUREITEMSTRUCT mis = MeasureRecord(*m_menu, item);
        m_menu->MeasureItem(&mis);
        return mis;
    }

    SysColourScope m_colours;
    std::optional<StyleScope> m_style;
    std::optional<GlyphMenu> m_menu;
    std::optional<DibCanvas> m_canvas;
};
