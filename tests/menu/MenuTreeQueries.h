#pragma once
// What the platform holds for a menu item, the GlyphMenu objects of a tree and
// text widths in the menu font, for checks independent of the records' own view.

#include "CDC.h"
#include "CGdiObject.h"
#include "GlyphMenu.h"

#include <cstddef>
#include <string>
#include <vector>

// Text width as the alignment measures it: the menu font on the desktop DC
// (a test has no main window).
class MenuFontRuler {
  public:
    MenuFontRuler() : m_dc(::GetDesktopWindow()) {
        NONCLIENTMETRICSA metrics = {};
        metrics.cbSize = offsetof(NONCLIENTMETRICSA, iPaddedBorderWidth);
        ::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0);
        m_font.CreateFontIndirect(&metrics.lfMenuFont);
        m_old = ::SelectObject(m_dc.GetSafeHdc(), m_font.GetSafeHandle());
    }
    ~MenuFontRuler() { ::SelectObject(m_dc.GetSafeHdc(), m_old); }

    LONG Width(const std::string& text) const {
        return m_dc.GetTextExtent(text.c_str(), static_cast<int>(text.size())).cx;
    }

  private:
    CFont m_font;
    CClientDC m_dc;
    HGDIOBJ m_old = nullptr;
};

inline MENUITEMINFOA PlatformItem(HMENU hMenu, int position) {
    MENUITEMINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_DATA | MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU;
    ::GetMenuItemInfoA(hMenu, static_cast<UINT>(position), TRUE, &info);
    return info;
}

inline GlyphMenuItem* PlatformRecord(HMENU hMenu, int position) {
    return reinterpret_cast<GlyphMenuItem*>(PlatformItem(hMenu, position).dwItemData);
}

inline bool IsOwnerDrawn(HMENU hMenu, int position) {
    return (PlatformItem(hMenu, position).fType & MFT_OWNERDRAW) != 0;
}

inline GlyphMenuItem* RecordAt(const GlyphMenu& menu, INT_PTR index) {
    return static_cast<GlyphMenuItem*>(menu.m_items.GetAt(index));
}

inline std::string TextOf(const GlyphMenuItem* record) {
    return static_cast<const char*>(record->GetTextAnsi());
}

// The GlyphMenu attached to the popup at a position, or null.
inline GlyphMenu* GlyphSubMenu(const CMenu& menu, int position) {
    CMenu* sub = CMenu::FromHandle(::GetSubMenu(menu.GetSafeHmenu(), position));
    return sub != nullptr && sub->IsKindOf(RUNTIME_CLASS(GlyphMenu)) ? static_cast<GlyphMenu*>(sub)
                                                                     : nullptr;
}

// Every GlyphMenu of a tree, the root first.
inline void CollectTree(GlyphMenu* menu, std::vector<GlyphMenu*>& out) {
    out.push_back(menu);
    for (INT_PTR i = 0; i < menu->m_popupHandles.GetSize(); ++i) {
        CMenu* sub = CMenu::FromHandle(static_cast<HMENU>(menu->m_popupHandles[i]));
        if (sub != nullptr && sub->IsKindOf(RUNTIME_CLASS(GlyphMenu)))
            CollectTree(static_cast<GlyphMenu*>(sub), out);
    }
}

inline int RegistryCount(HMENU hMenu) {
    int count = 0;
    for (INT_PTR i = 0; i < GlyphMenu::s_popupRegistry.GetSize(); ++i)
        if (GlyphMenu::s_popupRegistry[i] == hMenu)
            ++count;
    return count;
}
