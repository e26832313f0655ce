#pragma once
// Shared by the glyph and drawing tests: system colours set for one test and
// put back, the menu style forced class-wide, and owner-draw records aimed at
// a DIB canvas.

#include "DibCanvas.h"
#include "GlyphMenu.h"
#include "MenuTreeQueries.h"

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

inline MEASUREITEMSTRUCT MeasureRecord(const GlyphMenu& menu, int position) {
    MEASUREITEMSTRUCT mis{};
    mis.CtlType = ODT_MENU;
    mis.itemID = menu.GetMenuItemID(position);
    mis.itemData = reinterpret_cast<ULONG_PTR>(RecordAt(menu, position));
    return mis;
}

// The first and last columns inside rc holding a pixel other than colour; -1 when none.
inline int LeftmostOther(const DibCanvas& canvas, const RECT& rc, COLORREF colour) {
    for (int x = rc.left; x < rc.right; ++x)
        for (int y = rc.top; y < rc.bottom; ++y)
            if (canvas.Pixel(x, y) != colour)
                return x;
    return -1;
}

inline int RightmostOther(const DibCanvas& canvas, const RECT& rc, COLORREF colour) {
    for (int x = rc.right - 1; x >= rc.left; --x)
        for (int y = rc.top; y < rc.bottom; ++y)
            if (canvas.Pixel(x, y) != colour)
                return x;
    return -1;
}
