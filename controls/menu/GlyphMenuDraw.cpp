// Measuring and painting owner-drawn items in the classic and the flat style,
// and the route by which a window's WM_MEASUREITEM/WM_DRAWITEM reach the menu.
#include "GlyphMenu.h"

#include "CBrush.h"
#include "CClientDC.h"
#include "COffscreenDC.h"
#include "CPen.h"
#include "CSelectGuard.h"
#include "MenuHost.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <optional>

namespace {

COLORREF SysColour(int index) {
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

} // namespace

GlyphMenu* GlyphMenu::OwnerOfRecord(const GlyphMenuItem* item) {
    for (GlyphMenu* menu = s_firstLive; menu != nullptr; menu = menu->m_pNextLive)
        for (INT_PTR i = 0; i < menu->m_items.GetSize(); ++i)
            if (menu->ItemAt(i) == item)
                return menu;
    return nullptr;
}

// A measure request names no menu, so the record's owner answers it; a draw
// request names the menu handle.
BOOL GlyphMenu::RouteMenuItem(UINT message, LPARAM lParam) {
    if (message == WM_MEASUREITEM) {
        auto* mis = reinterpret_cast<LPMEASUREITEMSTRUCT>(lParam);
        GlyphMenu* owner = OwnerOfRecord(reinterpret_cast<const GlyphMenuItem*>(mis->itemData));
        if (owner == nullptr)
            return FALSE;
        owner->MeasureItem(mis);
        return TRUE;
    }
    if (message == WM_DRAWITEM) {
        auto* dis = reinterpret_cast<LPDRAWITEMSTRUCT>(lParam);
        CMenu* menu = CMenu::FromHandlePermanent(reinterpret_cast<HMENU>(dis->hwndItem));
        if (menu == nullptr || !menu->IsKindOf(RUNTIME_CLASS(GlyphMenu)) || dis->itemData == 0)
            return FALSE;
        menu->DrawItem(dis);
        return TRUE;
    }
    return FALSE;
}

void GlyphMenu::MeasureItem(LPMEASUREITEMSTRUCT mis) {
    const auto* item = reinterpret_cast<const GlyphMenuItem*>(mis->itemData);
    const BOOL flat = IsFlatStyle();
    const int spacing = flat && s_flatGlyphVariants ? 7 : 4;
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
    const int frame = flat ? m_glyphWidth + spacing + 8 : 2 * m_glyphWidth + 1;
    mis->itemWidth = textWidth + static_cast<UINT>(frame);
    mis->itemHeight = static_cast<UINT>(std::max(menuBarHeight, m_glyphHeight + spacing));
}

void GlyphMenu::DrawItem(LPDRAWITEMSTRUCT dis) {
    CDC* dc = CDC::FromHandle(dis->hDC);
    if (dc->GetDeviceCaps(RASTERCAPS) & RC_PALETTE)
        DrawItemClassic(dis);
    else if (IsFlatStyle())
        DrawItemFlat(dis);
    else
        DrawItemClassic(dis);
}

void GlyphMenu::DrawItemClassic(LPDRAWITEMSTRUCT dis) {
    const auto* item = reinterpret_cast<const GlyphMenuItem*>(dis->itemData);
    CDC* dc = CDC::FromHandle(dis->hDC);
    const CRect rc = dis->rcItem;
    const int L = rc.left, T = rc.top, R = rc.right, B = rc.bottom;
    const COLORREF bg = SysColour(IsXpThemed() ? COLOR_BTNFACE : COLOR_MENU);
    UINT state = dis->itemState;
    if ((state & ODS_GRAYED) && (state & ODS_SELECTED) && !s_classicSelectDisabled)
        state &= ~ODS_SELECTED;

    if (item->m_flags & MF_SEPARATOR) {
        dc->FillSolidRect(&rc, bg);
        CRect edge = rc;
        edge.top += (B - T) >> 1;
        dc->DrawEdge(&edge, EDGE_ETCHED, BF_TOP);
        return;
    }

    const BOOL selected = (state & ODS_SELECTED) != 0;
    const BOOL grayed = (state & ODS_GRAYED) != 0;
    const BOOL checked = (state & ODS_CHECKED) != 0;
    const BOOL hasGlyph = item->m_globalImage >= 0;
    COLORREF text = SysColour(COLOR_MENUTEXT);

    if (!selected) {
        dc->FillSolidRect(&rc, bg);
        dc->Draw3dRect(&rc, bg, bg);
    } else {
        const CRect bar = hasGlyph || checked ? CRect(L + m_glyphWidth + 5, T, R, B) : rc;
        dc->FillSolidRect(&bar, SysColour(COLOR_HIGHLIGHT));
        text = SysColour(COLOR_HIGHLIGHTTEXT);
    }

    const int e = std::max(0, (B - T - m_glyphHeight - 4) / 2);
    const CRect inner(L + 1, T + e + 1, L + m_glyphWidth + 3, T + e + m_glyphHeight + 3);
    const CRect outer(L, T + e, L + m_glyphWidth + 4, T + e + m_glyphHeight + 4);
    const CPoint origin(L + 2, T + e + 2);
    const BOOL frames3d = s_osKind > OS_NT_OTHER;
    const COLORREF shadow = SysColour(COLOR_BTNSHADOW);
    const COLORREF highlight = SysColour(COLOR_BTNHIGHLIGHT);

    if (hasGlyph) {
        const int glyph = item->m_globalImage;
        dc->Draw3dRect(&inner, bg, bg);
        if (grayed) {
            CBitmap bitmap;
            RenderGlyph(dc, s_sharedGlyphs, glyph, bitmap);
            dc->Draw3dRect(&outer, bg, bg);
            DrawEmbossedGlyph(dc, origin.x, origin.y, m_glyphWidth, m_glyphHeight, bitmap, 0, 0,
                              bg);
        } else if (selected) {
            dc->FillSolidRect(&inner, bg);
            if (frames3d)
                dc->Draw3dRect(&outer, checked ? shadow : highlight, checked ? highlight : shadow);
            DrawGlyph(dc, glyph, origin.x, origin.y);
        } else if (checked) {
            dc->FillSolidRect(&inner, LightenColor(bg, 0.6));
            if (frames3d)
                dc->Draw3dRect(&outer, shadow, highlight);
            DrawGlyph(dc, glyph, origin.x, origin.y);
        } else {
            dc->FillSolidRect(&inner, bg);
            dc->Draw3dRect(&outer, bg, bg);
            DrawGlyph(dc, glyph, origin.x, origin.y);
        }
    } else if (checked) {
        const CRect box(L + 1, T + e + 2, L + m_glyphWidth + 1, T + e + m_glyphHeight + 2);
        DrawCheckClassic(dc, box, selected, CheckedBitmap(dis));
    }

    const CRect textRect(L + m_glyphWidth + 9, T - 1, R, B - 1);
    if (!grayed) {
        DrawItemText(dc, item, textRect, text);
    } else if (selected) {
        DrawItemText(dc, item, textRect, bg);
    } else {
        CRect embossed = textRect;
        embossed.OffsetRect(1, 1);
        DrawItemText(dc, item, embossed, highlight);
        DrawItemText(dc, item, textRect, SysColour(COLOR_GRAYTEXT));
    }
}

void GlyphMenu::DrawItemFlat(LPDRAWITEMSTRUCT dis) {
    const auto* item = reinterpret_cast<const GlyphMenuItem*>(dis->itemData);
    CDC* target = CDC::FromHandle(dis->hDC);
    const CRect rc = dis->rcItem;
    const int L = rc.left, T = rc.top, R = rc.right, B = rc.bottom;
    const BOOL themed = IsXpThemed();
    COLORREF cc = SysColour(COLOR_BTNFACE);
    if (!themed)
        cc = LightenColor(cc, 0.25);
    const COLORREF wc = SysColour(COLOR_WINDOW);
    const int spacing = s_flatGlyphVariants ? 7 : 4;
    const int cw = spacing + m_glyphWidth;
    const CRect column(L, T, L + cw, B);

    UINT state = dis->itemState;
    const BOOL grayed = (state & ODS_GRAYED) != 0;
    // A disabled item is put on screen in one step, never shown selected.
    std::optional<COffscreenDC> offscreen;
    CFont font;
    std::optional<CSelectGuard> selectFont;
    CDC* dc = target;
    if (grayed && !s_flatSelectDisabled) {
        state &= ~ODS_SELECTED;
        offscreen.emplace(target, rc);
        CreateMenuFont(font);
        selectFont.emplace(*offscreen, font);
        dc = &*offscreen;
    }

    if (item->m_flags & MF_SEPARATOR) {
        dc->FillSolidRect(&rc, wc);
        CRect edge(L + cw + spacing, T + ((B - T) >> 1), R, B);
        dc->DrawEdge(&edge, EDGE_ETCHED, BF_TOP);
        dc->FillSolidRect(&column, cc);
        dc->Draw3dRect(&column, cc, cc);
        return;
    }

    const COLORREF hc = SysColour(COLOR_HIGHLIGHT);
    const COLORREF sc = LightenColor(hc, themed ? 0.7 : 0.85);
    const BOOL selected = (state & ODS_SELECTED) != 0;
    const BOOL checked = (state & ODS_CHECKED) != 0;
    const int glyph = item->m_globalImage;
    const BOOL hasGlyph = glyph >= 0;
    const BOOL variants = hasGlyph && s_flatGlyphVariants && HasGlyphVariants(glyph);

    if (!selected) {
        dc->FillSolidRect(&rc, wc);
        dc->FillSolidRect(&column, cc);
        dc->Draw3dRect(&rc, wc, wc);
        dc->Draw3dRect(&column, cc, cc);
    } else {
        dc->FillSolidRect(&rc, sc);
        dc->Draw3dRect(&rc, hc, hc);
    }

    const int dy = HalfUp(B - T - m_glyphHeight);
    const int dx = HalfUp(cw - m_glyphWidth);
    const CRect glyphBox(L + 1, T + 1, L + cw - 1, B - 1);
    const CPoint p(L + dx, T + dy);

    if (hasGlyph) {
        if (grayed) {
            CBitmap bitmap;
            RenderGlyph(dc, s_sharedGlyphs, glyph, bitmap);
            DrawEmbossedGlyph(dc, p.x, p.y, m_glyphWidth, m_glyphHeight, bitmap, 0, 0,
                              selected ? sc : cc);
            if (selected)
                dc->Draw3dRect(&rc, hc, hc);
        } else if (selected) {
            dc->FillSolidRect(&glyphBox, sc);
            if (checked) {
                dc->Draw3dRect(&glyphBox, hc, hc);
                DrawGlyph(dc, glyph, p.x - 1, p.y - 1);
            } else if (variants) {
                DrawGlyph(dc, glyph + 2, p.x + 1, p.y + 1);
                DrawGlyph(dc, glyph, p.x - 1, p.y - 1);
            } else {
                DrawGlyph(dc, glyph, p.x, p.y);
            }
        } else if (checked) {
            dc->FillSolidRect(&glyphBox, LightenColor(hc, 0.85));
            dc->Draw3dRect(&glyphBox, hc, hc);
            DrawGlyph(dc, glyph, p.x - 1, p.y - 1);
        } else {
            dc->FillSolidRect(&glyphBox, cc);
            dc->Draw3dRect(&glyphBox, cc, cc);
            DrawGlyph(dc, variants ? glyph + 1 : glyph, p.x, p.y);
        }
    } else if (checked) {
        const int x = L + HalfUp(cw - 16);
        const int y = T + HalfUp(B - T - 16);
        DrawCheckFlat(dc, CRect(x, y, x + 16, y + 16), CheckedBitmap(dis), hc);
    }

    COLORREF text = SysColour(COLOR_MENUTEXT);
    if (grayed) {
        text = SysColour(COLOR_GRAYTEXT);
        if (!themed && !selected)
            text = LightenColor(text, 0.4);
    }
    DrawItemText(dc, item, CRect(L + cw + 8, T - 1, R, B - 1), text);
}

void GlyphMenu::DrawItemText(CDC* pDC, const GlyphMenuItem* item, CRect rect,
                             COLORREF crText) const {
    const CString text = item->GetTextAnsi();
    if (text.GetLength() == 0)
        return;
    const char* all = text;
    const int oldMode = pDC->SetBkMode(TRANSPARENT);
    const COLORREF oldColour = pDC->SetTextColor(crText);
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
    pDC->SetTextColor(oldColour);
    pDC->SetBkMode(oldMode);
}

BOOL GlyphMenu::DrawCheckClassic(CDC* pDC, const RECT& rect, BOOL bSelected, HBITMAP hRadio) {
    COLORREF colour = SysColour(IsXpThemed() ? COLOR_BTNFACE : COLOR_MENU);
    if (!bSelected)
        colour = LightenColor(colour, 0.6);
    pDC->FillSolidRect(&rect, colour);
    if (s_osKind > OS_NT_OTHER) {
        CRect edge = rect;
        pDC->DrawEdge(&edge, BDR_SUNKENOUTER, BF_RECT);
    }
    const COLORREF mark = SysColour(COLOR_MENUTEXT);
    if (hRadio != nullptr)
        DrawRadioDot(pDC, rect.left + 5, rect.top + 4, mark);
    else
        DrawCheckTick(pDC, rect.left + 4, rect.top + 4, mark);
    return TRUE;
}

BOOL GlyphMenu::DrawCheckFlat(CDC* pDC, const RECT& rect, HBITMAP hRadio, COLORREF crHighlight) {
    pDC->FillSolidRect(&rect, LightenColor(crHighlight, 0.85));
    pDC->Draw3dRect(&rect, crHighlight, crHighlight);
    const COLORREF mark = SysColour(COLOR_MENUTEXT);
    if (hRadio != nullptr)
        DrawRadioDot(pDC, rect.left + 5, rect.top + 4, mark);
    else
        DrawCheckTick(pDC, rect.left + 5, rect.top + 4, mark);
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
