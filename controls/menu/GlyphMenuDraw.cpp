// Measuring and painting owner-drawn items in the classic and the flat style.
#include "GlyphMenu.h"

#include "CDC.h"
#include "MenuHost.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <optional>

namespace {

COLORREF SysColor(int index) {
    return ::GetSysColor(index);
}

int HalfUp(int length) {
    return std::max(0, static_cast<int>((length + 1) * 0.5));
}

// The item's checked-state bitmap; set for items checked as radio items.
HBITMAP CheckedBitmap(const DRAWITEMSTRUCT* dis) {
    MENUITEMINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_CHECKMARKS;
    if (!::GetMenuItemInfoA(reinterpret_cast<HMENU>(dis->hwndItem), dis->itemID, FALSE, &info))
        return nullptr;
    return info.hbmpChecked;
}

void DrawGlyph(CDC* pDC, int index, int x, int y) {
    GlyphMenu::s_sharedGlyphs.Draw(pDC, index, CPoint(x, y), ILD_TRANSPARENT);
}

// The mark in a check box: the dot for an item with a checked-state bitmap (a
// radio item), else the tick, tickLeft pixels in.
void DrawCheckMark(CDC* pDC, const RECT& box, HBITMAP hRadio, int tickLeft) {
    const COLORREF mark = SysColor(COLOR_MENUTEXT);
    if (hRadio != nullptr)
        GlyphMenu::DrawRadioDot(pDC, box.left + 5, box.top + 4, mark);
    else
        GlyphMenu::DrawCheckTick(pDC, box.left + tickLeft, box.top + 4, mark);
}

} // namespace

// What one draw request shows, with its style's rule for disabled items applied.
struct MenuItemLook {
    BOOL selected;
    BOOL grayed;
    BOOL checked;
    int glyph; // in the shared glyph list; -1 for none

    BOOL HasGlyph() const { return glyph >= 0; }
};

struct FlatMenuColors {
    BOOL themed;
    COLORREF column;    // the glyph column
    COLORREF window;    // the rest of an unselected item
    COLORREF border;    // around the selection and checked glyphs
    COLORREF selection; // the selected item

    static FlatMenuColors Current(BOOL themed) {
        const COLORREF face = SysColor(COLOR_BTNFACE);
        const COLORREF highlight = SysColor(COLOR_HIGHLIGHT);
        return {themed, themed ? face : GlyphMenu::LightenColor(face, 0.25), SysColor(COLOR_WINDOW),
                highlight, GlyphMenu::LightenColor(highlight, themed ? 0.7 : 0.85)};
    }
};

namespace {

MenuItemLook LookOf(const DRAWITEMSTRUCT* dis, const GlyphMenuItem* item, BOOL selectDisabled) {
    UINT state = dis->itemState;
    if ((state & ODS_GRAYED) && !selectDisabled)
        state &= ~ODS_SELECTED;
    return {(state & ODS_SELECTED) != 0, (state & ODS_GRAYED) != 0, (state & ODS_CHECKED) != 0,
            item->m_globalImage};
}

} // namespace

void GlyphMenu::MeasureItem(LPMEASUREITEMSTRUCT mis) {
    const auto* item = reinterpret_cast<const GlyphMenuItem*>(mis->itemData);
    const BOOL flat = IsFlatStyle();
    const int spacing = flat ? FlatSpacing() : 4;
    const int menuBarHeight = ::GetSystemMetrics(SM_CYMENU);
    if (item->m_flags & MF_SEPARATOR) {
        mis->itemWidth = 0;
        mis->itemHeight =
            static_cast<UINT>(std::max(menuBarHeight >> 1, (m_glyphHeight + spacing) / 2));
        return;
    }

    CFont font;
    CreateMenuFont(font);
    CClientDC dc(MainOrDesktopWindow());
    // Measured in the font the system paints menus with, whatever the system.
    CSelectGuard selectFont(dc, font);
    UINT textWidth = 0;
    if (item->m_text != nullptr && item->m_text[0] != L'\0') {
        if (s_osKind != OS_WIN32S) {
            SIZE size{};
            ::GetTextExtentPoint32W(dc.GetSafeHdc(), item->m_text,
                                    static_cast<int>(std::wcslen(item->m_text)), &size);
            textWidth = static_cast<UINT>(size.cx);
        } else {
            const CString text = item->GetTextAnsi();
            CRect bounds;
            dc.DrawText(text, text.GetLength(), &bounds, DT_SINGLELINE | DT_VCENTER | DT_CALCRECT);
            const auto characters = static_cast<UINT>(text.GetLength());
            textWidth = static_cast<UINT>(bounds.Width() + 3);
            if (characters > 0)
                textWidth += 3 * (textWidth / characters);
        }
    }
    // Flat text starts 8 pixels right of the glyph column.
    const int frame = flat ? ColumnWidth() + 8 : 2 * m_glyphWidth + 1;
    mis->itemWidth = textWidth + static_cast<UINT>(frame);
    mis->itemHeight = static_cast<UINT>(std::max(menuBarHeight, m_glyphHeight + spacing));
}

void GlyphMenu::DrawItem(LPDRAWITEMSTRUCT dis) {
    if (dis->itemData == 0)
        return; // not an item of ours
    if (CDC(dis->hDC).GetDeviceCaps(RASTERCAPS) & RC_PALETTE)
        DrawItemClassic(dis);
    else if (IsFlatStyle())
        DrawItemFlat(dis);
    else
        DrawItemClassic(dis);
}

void GlyphMenu::DrawItemClassic(LPDRAWITEMSTRUCT dis) {
    const auto* item = reinterpret_cast<const GlyphMenuItem*>(dis->itemData);
    CDC itemDC(dis->hDC);
    CDC* dc = &itemDC;
    const CRect itemRect = dis->rcItem;
    const COLORREF background = SysColor(IsXpThemed() ? COLOR_BTNFACE : COLOR_MENU);
    if (item->m_flags & MF_SEPARATOR) {
        dc->FillSolidRect(&itemRect, background);
        CRect line = itemRect;
        line.top += itemRect.Height() >> 1;
        dc->DrawEdge(&line, EDGE_ETCHED, BF_TOP);
        return;
    }

    const MenuItemLook look = LookOf(dis, item, s_classicSelectDisabled);
    const COLORREF textColor = FillClassicBackground(dc, itemRect, look, background);
    // The glyph's box with a one-pixel frame around it, centred vertically.
    const int slotTop = itemRect.top + std::max(0, (itemRect.Height() - m_glyphHeight - 4) / 2);
    const CRect glyphFrame(itemRect.left, slotTop, itemRect.left + m_glyphWidth + 4,
                           slotTop + m_glyphHeight + 4);
    if (look.HasGlyph()) {
        DrawClassicGlyph(dc, glyphFrame, look, background);
    } else if (look.checked) {
        const CRect checkBox(glyphFrame.left + 1, glyphFrame.top + 2,
                             glyphFrame.left + m_glyphWidth + 1,
                             glyphFrame.top + m_glyphHeight + 2);
        DrawCheckClassic(dc, checkBox, look.selected, CheckedBitmap(dis));
    }

    const CRect textRect(itemRect.left + m_glyphWidth + 9, itemRect.top - 1, itemRect.right,
                         itemRect.bottom - 1);
    if (!look.grayed) {
        DrawItemText(dc, item, textRect, textColor);
    } else if (look.selected) {
        DrawItemText(dc, item, textRect, background);
    } else {
        CRect embossed = textRect;
        embossed.OffsetRect(1, 1);
        DrawItemText(dc, item, embossed, SysColor(COLOR_BTNHIGHLIGHT));
        DrawItemText(dc, item, textRect, SysColor(COLOR_GRAYTEXT));
    }
}

COLORREF GlyphMenu::FillClassicBackground(CDC* pDC, const CRect& itemRect, const MenuItemLook& look,
                                          COLORREF crBackground) const {
    if (!look.selected) {
        pDC->FillSolidRect(&itemRect, crBackground);
        pDC->Draw3dRect(&itemRect, crBackground, crBackground);
        return SysColor(COLOR_MENUTEXT);
    }
    // The bar leaves the glyph slot free when there is something to show in it.
    CRect bar = itemRect;
    if (look.HasGlyph() || look.checked)
        bar.left += m_glyphWidth + 5;
    pDC->FillSolidRect(&bar, SysColor(COLOR_HIGHLIGHT));
    return SysColor(COLOR_HIGHLIGHTTEXT);
}

void GlyphMenu::DrawClassicGlyph(CDC* pDC, const CRect& glyphFrame, const MenuItemLook& look,
                                 COLORREF crBackground) {
    CRect glyphBox = glyphFrame;
    glyphBox.DeflateRect(1, 1);
    const CPoint origin(glyphFrame.left + 2, glyphFrame.top + 2);
    pDC->Draw3dRect(&glyphBox, crBackground, crBackground);
    if (look.grayed) {
        CBitmap glyph;
        RenderGlyph(pDC, s_sharedGlyphs, look.glyph, glyph);
        pDC->Draw3dRect(&glyphFrame, crBackground, crBackground);
        DrawEmbossedGlyph(pDC, origin.x, origin.y, m_glyphWidth, m_glyphHeight, glyph, 0, 0,
                          crBackground);
        return;
    }

    const BOOL checkedOnly = look.checked && !look.selected;
    pDC->FillSolidRect(&glyphBox, checkedOnly ? LightenColor(crBackground, 0.6) : crBackground);
    if (look.selected || look.checked) {
        // Systems before 2000 have no 3-D menus.
        if (s_osKind > OS_NT_OTHER) {
            const COLORREF shadow = SysColor(COLOR_BTNSHADOW);
            const COLORREF highlight = SysColor(COLOR_BTNHIGHLIGHT);
            if (look.checked)
                pDC->Draw3dRect(&glyphFrame, shadow, highlight);
            else
                pDC->Draw3dRect(&glyphFrame, highlight, shadow);
        }
    } else {
        pDC->Draw3dRect(&glyphFrame, crBackground, crBackground);
    }
    DrawGlyph(pDC, look.glyph, origin.x, origin.y);
}

void GlyphMenu::DrawItemFlat(LPDRAWITEMSTRUCT dis) {
    const auto* item = reinterpret_cast<const GlyphMenuItem*>(dis->itemData);
    CDC targetDC(dis->hDC);
    CDC* target = &targetDC;
    const CRect itemRect = dis->rcItem;
    const FlatMenuColors colors = FlatMenuColors::Current(IsXpThemed());
    const int spacing = FlatSpacing();
    const CRect column(itemRect.left, itemRect.top, itemRect.left + ColumnWidth(), itemRect.bottom);

    const MenuItemLook look = LookOf(dis, item, s_flatSelectDisabled);
    // A disabled item is put on screen in one step.
    std::optional<COffscreenDC> offscreen;
    CFont font;
    std::optional<CSelectGuard> selectFont;
    CDC* dc = target;
    if (look.grayed && !s_flatSelectDisabled) {
        offscreen.emplace(target, itemRect);
        CreateMenuFont(font);
        selectFont.emplace(*offscreen, font);
        dc = &*offscreen;
    }

    if (item->m_flags & MF_SEPARATOR) {
        dc->FillSolidRect(&itemRect, colors.window);
        CRect line(column.right + spacing, itemRect.top + (itemRect.Height() >> 1), itemRect.right,
                   itemRect.bottom);
        dc->DrawEdge(&line, EDGE_ETCHED, BF_TOP);
        dc->FillSolidRect(&column, colors.column);
        dc->Draw3dRect(&column, colors.column, colors.column);
        return;
    }

    if (look.selected) {
        // The selection covers the column too.
        dc->FillSolidRect(&itemRect, colors.selection);
        dc->Draw3dRect(&itemRect, colors.border, colors.border);
    } else {
        dc->FillSolidRect(&itemRect, colors.window);
        dc->FillSolidRect(&column, colors.column);
        dc->Draw3dRect(&itemRect, colors.window, colors.window);
        dc->Draw3dRect(&column, colors.column, colors.column);
    }

    if (look.HasGlyph()) {
        DrawFlatGlyph(dc, itemRect, column, look, colors);
    } else if (look.checked) {
        const int left = column.left + HalfUp(column.Width() - 16);
        const int top = column.top + HalfUp(column.Height() - 16);
        DrawCheckFlat(dc, CRect(left, top, left + 16, top + 16), CheckedBitmap(dis), colors.border);
    }

    COLORREF textColor = SysColor(COLOR_MENUTEXT);
    if (look.grayed) {
        textColor = SysColor(COLOR_GRAYTEXT);
        if (!colors.themed && !look.selected)
            textColor = LightenColor(textColor, 0.4);
    }
    DrawItemText(dc, item,
                 CRect(column.right + 8, itemRect.top - 1, itemRect.right, itemRect.bottom - 1),
                 textColor);
}

void GlyphMenu::DrawFlatGlyph(CDC* pDC, const CRect& itemRect, const CRect& column,
                              const MenuItemLook& look, const FlatMenuColors& colors) {
    CRect glyphBox = column;
    glyphBox.DeflateRect(1, 1);
    const CPoint at(column.left + HalfUp(column.Width() - m_glyphWidth),
                    column.top + HalfUp(column.Height() - m_glyphHeight));
    const CPoint lifted(at.x - 1, at.y - 1);
    const int glyph = look.glyph;
    if (look.grayed) {
        CBitmap embossed;
        RenderGlyph(pDC, s_sharedGlyphs, glyph, embossed);
        DrawEmbossedGlyph(pDC, at.x, at.y, m_glyphWidth, m_glyphHeight, embossed, 0, 0,
                          look.selected ? colors.selection : colors.column);
        if (look.selected)
            pDC->Draw3dRect(&itemRect, colors.border, colors.border);
        return;
    }

    const BOOL variants = s_flatGlyphVariants && HasGlyphVariants(glyph);
    if (look.selected) {
        pDC->FillSolidRect(&glyphBox, colors.selection);
        if (look.checked) {
            pDC->Draw3dRect(&glyphBox, colors.border, colors.border);
            DrawGlyph(pDC, glyph, lifted.x, lifted.y);
        } else if (variants) {
            DrawGlyph(pDC, glyph + 2, at.x + 1, at.y + 1); // its shadow
            DrawGlyph(pDC, glyph, lifted.x, lifted.y);
        } else {
            DrawGlyph(pDC, glyph, at.x, at.y);
        }
    } else if (look.checked) {
        pDC->FillSolidRect(&glyphBox, LightenColor(colors.border, 0.85));
        pDC->Draw3dRect(&glyphBox, colors.border, colors.border);
        DrawGlyph(pDC, glyph, lifted.x, lifted.y);
    } else {
        pDC->FillSolidRect(&glyphBox, colors.column);
        pDC->Draw3dRect(&glyphBox, colors.column, colors.column);
        DrawGlyph(pDC, variants ? glyph + 1 : glyph, at.x, at.y); // faded when it can be
    }
}

void GlyphMenu::DrawItemText(CDC* pDC, const GlyphMenuItem* item, CRect rect,
                             COLORREF crText) const {
    const CString text = item->GetTextAnsi();
    if (text.GetLength() == 0)
        return;
    const char* all = text;
    const int oldMode = pDC->SetBkMode(TRANSPARENT);
    const COLORREF oldColor = pDC->SetTextColor(crText);
    constexpr UINT kLine = DT_SINGLELINE | DT_VCENTER;
    // A tab never occurs as the second byte of a double-byte character.
    const char* firstTab = std::strchr(all, '\t');
    if (firstTab == nullptr) {
        pDC->DrawText(all, -1, &rect, kLine | DT_LEFT);
    } else {
        rect.right -= m_glyphWidth;
        pDC->DrawText(all, static_cast<int>(firstTab - all), &rect, kLine | DT_LEFT);
        pDC->DrawText(std::strrchr(all, '\t') + 1, -1, &rect, kLine | DT_RIGHT);
    }
    pDC->SetTextColor(oldColor);
    pDC->SetBkMode(oldMode);
}

BOOL GlyphMenu::DrawCheckClassic(CDC* pDC, const RECT& rect, BOOL bSelected, HBITMAP hRadio) {
    COLORREF color = SysColor(IsXpThemed() ? COLOR_BTNFACE : COLOR_MENU);
    if (!bSelected)
        color = LightenColor(color, 0.6);
    pDC->FillSolidRect(&rect, color);
    if (s_osKind > OS_NT_OTHER) {
        CRect edge = rect;
        pDC->DrawEdge(&edge, BDR_SUNKENOUTER, BF_RECT);
    }
    DrawCheckMark(pDC, rect, hRadio, 4);
    return TRUE;
}

BOOL GlyphMenu::DrawCheckFlat(CDC* pDC, const RECT& rect, HBITMAP hRadio, COLORREF crHighlight) {
    pDC->FillSolidRect(&rect, LightenColor(crHighlight, 0.85));
    pDC->Draw3dRect(&rect, crHighlight, crHighlight);
    DrawCheckMark(pDC, rect, hRadio, 5);
    return TRUE;
}

void GlyphMenu::DrawRadioDot(CDC* pDC, int x, int y, COLORREF crColor) {
    const CBrush brush(crColor);
    const CPen pen(PS_SOLID, 1, crColor);
    CSelectGuard selectBrush(*pDC, brush);
    CSelectGuard selectPen(*pDC, pen);
    ::Ellipse(pDC->GetSafeHdc(), x, y, x + 6, y + 6);
}

void GlyphMenu::DrawCheckTick(CDC* pDC, int x, int y, COLORREF crColor) {
    static constexpr int kStrokeTop[7] = {2, 3, 4, 3, 2, 1, 0};
    const CPen pen(PS_SOLID, 1, crColor);
    CSelectGuard selectPen(*pDC, pen);
    for (int k = 0; k < 7; ++k) {
        pDC->MoveTo(x + k, y + kStrokeTop[k]);
        pDC->LineTo(x + k, y + kStrokeTop[k] + 3);
    }
}
