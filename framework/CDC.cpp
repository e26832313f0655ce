#include "CDC.h"

#include <utility>

// A failed selection of a bitmap gives null rather than HGDI_ERROR.
HBITMAP CDC::SelectObject(CBitmap* pBitmap) {
    HGDIOBJ hOld = ::SelectObject(m_hDC, pBitmap->GetSafeHandle());
    return hOld == HGDI_ERROR ? nullptr : static_cast<HBITMAP>(hOld);
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

CMemoryDC& CMemoryDC::operator=(CMemoryDC&& other) noexcept {
    if (this != &other) {
        DeleteDC();
        m_hDC = other.Detach();
    }
    return *this;
}

BOOL CMemoryDC::CreateCompatibleDC(const CDC* pDC) {
    DeleteDC();
    m_hDC = ::CreateCompatibleDC(pDC ? pDC->GetSafeHdc() : nullptr);
    return m_hDC != nullptr;
}

HDC CMemoryDC::Detach() {
    return std::exchange(m_hDC, nullptr);
}

BOOL CMemoryDC::DeleteDC() {
    HDC hDC = Detach();
    return hDC != nullptr && ::DeleteDC(hDC);
}

COffscreenDC::COffscreenDC(CDC* pTarget, const RECT& rect) : m_pTarget(pTarget), m_rect(rect) {
    if (pTarget->GetDeviceCaps(TECHNOLOGY) == DT_RASPRINTER) {
        m_hDC = pTarget->GetSafeHdc();
        return;
    }
    m_memory.CreateCompatibleDC(pTarget);
    m_bitmap.CreateCompatibleBitmap(pTarget, m_rect.Width(), m_rect.Height());
    m_hOldBitmap = m_memory.SelectObject(m_bitmap.GetSafeHandle());
    m_hDC = m_memory.GetSafeHdc();
    ::SetWindowOrgEx(m_hDC, m_rect.left, m_rect.top, nullptr);
}

COffscreenDC::~COffscreenDC() {
    if (m_memory.GetSafeHdc() == nullptr)
        return;
    m_pTarget->BitBlt(m_rect.left, m_rect.top, m_rect.Width(), m_rect.Height(), this, m_rect.left,
                      m_rect.top, SRCCOPY);
    if (m_hOldBitmap != nullptr && m_hOldBitmap != HGDI_ERROR)
        m_memory.SelectObject(m_hOldBitmap);
}
