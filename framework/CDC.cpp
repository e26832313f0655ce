#include "CDC.h"

#include "CBitmap.h"
#include "CBrush.h"
#include "CFont.h"
#include "CPen.h"
#include "ViewCache.h"

#include <utility>

CDC::CDC(CDC&& other) noexcept
    : m_hDC(std::exchange(other.m_hDC, nullptr)), m_bOwner(std::exchange(other.m_bOwner, FALSE)) {}

CDC& CDC::operator=(CDC&& other) noexcept {
    if (this != &other) {
        DeleteDC();
        m_hDC = std::exchange(other.m_hDC, nullptr);
        m_bOwner = std::exchange(other.m_bOwner, FALSE);
    }
    return *this;
}

CDC* CDC::FromHandle(HDC hDC) {
    return CachedView<CDC>(hDC, [](CDC& view, HDC h) {
        if (view.m_hDC != h)
            view.AttachView(h);
    });
}

BOOL CDC::Attach(HDC hDC) {
    DeleteDC();
    m_hDC = hDC;
    m_bOwner = hDC != nullptr;
    return hDC != nullptr;
}

HDC CDC::Detach() {
    m_bOwner = FALSE;
    return std::exchange(m_hDC, nullptr);
}

BOOL CDC::CreateCompatibleDC(CDC* pDC) {
    return Attach(::CreateCompatibleDC(pDC != nullptr ? pDC->m_hDC : nullptr));
}

BOOL CDC::DeleteDC() {
    HDC hDC = std::exchange(m_hDC, nullptr);
    BOOL bOwner = std::exchange(m_bOwner, FALSE);
    if (hDC == nullptr)
        return FALSE;
    return bOwner ? ::DeleteDC(hDC) : TRUE;
}

void CDC::AttachView(HDC hDC) {
    DeleteDC();
    m_hDC = hDC;
}

CPen* CDC::SelectObject(CPen* pPen) {
    return CPen::FromHandle(static_cast<HPEN>(::SelectObject(m_hDC, pPen->GetSafeHandle())));
}

CBrush* CDC::SelectObject(CBrush* pBrush) {
    return CBrush::FromHandle(static_cast<HBRUSH>(::SelectObject(m_hDC, pBrush->GetSafeHandle())));
}

CFont* CDC::SelectObject(CFont* pFont) {
    return CFont::FromHandle(static_cast<HFONT>(::SelectObject(m_hDC, pFont->GetSafeHandle())));
}

// A failed selection of a bitmap gives null rather than HGDI_ERROR.
CBitmap* CDC::SelectObject(CBitmap* pBitmap) {
    HGDIOBJ hOld = ::SelectObject(m_hDC, pBitmap->GetSafeHandle());
    return hOld == HGDI_ERROR ? nullptr : CBitmap::FromHandle(static_cast<HBITMAP>(hOld));
}

void CDC::FillSolidRect(LPCRECT pRect, COLORREF crColor) {
    COLORREF crOld = ::SetBkColor(m_hDC, crColor);
    ::ExtTextOutA(m_hDC, 0, 0, ETO_OPAQUE, pRect, nullptr, 0, nullptr);
    ::SetBkColor(m_hDC, crOld);
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF crColor) {
    RECT rc{x, y, x + cx, y + cy};
    FillSolidRect(&rc, crColor);
}

void CDC::FillRect(LPCRECT pRect, const CBrush* pBrush) {
    ::FillRect(m_hDC, pRect, pBrush->GetSafeHandle());
}

void CDC::FrameRect(LPCRECT pRect, const CBrush* pBrush) {
    ::FrameRect(m_hDC, pRect, pBrush->GetSafeHandle());
}

void CDC::Draw3dRect(LPCRECT pRect, COLORREF crTopLeft, COLORREF crBottomRight) {
    Draw3dRect(pRect->left, pRect->top, pRect->right - pRect->left, pRect->bottom - pRect->top,
               crTopLeft, crBottomRight);
}

void CDC::Draw3dRect(int x, int y, int cx, int cy, COLORREF crTopLeft, COLORREF crBottomRight) {
    FillSolidRect(x, y, cx - 1, 1, crTopLeft);
    FillSolidRect(x, y, 1, cy - 1, crTopLeft);
    FillSolidRect(x + cx - 1, y, 1, cy, crBottomRight);
    FillSolidRect(x, y + cy - 1, cx, 1, crBottomRight);
}

CPoint CDC::MoveTo(int x, int y) {
    CPoint old;
    ::MoveToEx(m_hDC, x, y, &old);
    return old;
}

CSize CDC::GetTextExtent(LPCSTR pszText, int nCount) const {
    CSize size;
    ::GetTextExtentPoint32A(m_hDC, pszText, nCount, &size);
    return size;
}

BOOL CDC::DrawState(POINT pt, SIZE size, HICON hIcon, UINT nFlags, HBRUSH hBrush) {
    return ::DrawStateA(m_hDC, hBrush, nullptr, reinterpret_cast<LPARAM>(hIcon), 0, pt.x, pt.y,
                        size.cx, size.cy, nFlags | DST_ICON);
}

BOOL CDC::DrawState(POINT pt, SIZE size, HBITMAP hBitmap, UINT nFlags, HBRUSH hBrush) {
    return ::DrawStateA(m_hDC, hBrush, nullptr, reinterpret_cast<LPARAM>(hBitmap), 0, pt.x, pt.y,
                        size.cx, size.cy, nFlags | DST_BITMAP);
}

BOOL CDC::BitBlt(int x, int y, int nWidth, int nHeight, const CDC* pSrcDC, int xSrc, int ySrc,
                 DWORD dwRop) {
    return ::BitBlt(m_hDC, x, y, nWidth, nHeight, pSrcDC != nullptr ? pSrcDC->m_hDC : nullptr, xSrc,
                    ySrc, dwRop);
}
