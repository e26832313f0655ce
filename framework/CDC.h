#pragma once
// Device contexts (see HandleMap.h). CDC is the view: it names a DC and never
// releases it, so it is what drawing code takes. The owners derive from it:
// CMemoryDC deletes the DC it created, CPaintDC ends its paint, CClientDC
// releases the window's DC, COffscreenDC copies its picture out.

#include "CGdiObject.h"
#include "CRect.h"

class CDC {
  public:
    explicit CDC(HDC hDC = nullptr) : m_hDC(hDC) {}

    HDC GetSafeHdc() const { return m_hDC; }

    // Returns the bitmap that was selected before; null when the selection failed.
    HBITMAP SelectObject(CBitmap* pBitmap);
    HGDIOBJ SelectObject(HGDIOBJ hObject) { return ::SelectObject(m_hDC, hObject); }

    COLORREF SetTextColor(COLORREF crColor) { return ::SetTextColor(m_hDC, crColor); }
    COLORREF SetBkColor(COLORREF crColor) { return ::SetBkColor(m_hDC, crColor); }
    int SetBkMode(int nBkMode) { return ::SetBkMode(m_hDC, nBkMode); }

    // Leaves the DC's background colour as it was.
    void FillSolidRect(LPCRECT pRect, COLORREF crColor);
    void FillSolidRect(int x, int y, int cx, int cy, COLORREF crColor);
    void FillRect(LPCRECT pRect, const CBrush* pBrush) {
        ::FillRect(m_hDC, pRect, pBrush->GetSafeHandle());
    }
    void FrameRect(LPCRECT pRect, const CBrush* pBrush) {
        ::FrameRect(m_hDC, pRect, pBrush->GetSafeHandle());
    }
    // Top and left in the first colour (without the far corners), right and bottom in the
    // second colour, one pixel wide along the inside of the rectangle.
    void Draw3dRect(LPCRECT pRect, COLORREF crTopLeft, COLORREF crBottomRight);
    void Draw3dRect(int x, int y, int cx, int cy, COLORREF crTopLeft, COLORREF crBottomRight);
    void DrawFocusRect(LPCRECT pRect) { ::DrawFocusRect(m_hDC, pRect); }
    BOOL DrawEdge(LPRECT pRect, UINT nEdge, UINT nFlags) {
        return ::DrawEdge(m_hDC, pRect, nEdge, nFlags);
    }

    CPoint MoveTo(int x, int y);
    BOOL LineTo(int x, int y) { return ::LineTo(m_hDC, x, y); }
    BOOL Polyline(const POINT* pPoints, int nCount) { return ::Polyline(m_hDC, pPoints, nCount); }

    int DrawText(LPCSTR pszText, int nCount, LPRECT pRect, UINT nFormat) {
        return ::DrawTextA(m_hDC, pszText, nCount, pRect, nFormat);
    }
    CSize GetTextExtent(LPCSTR pszText, int nCount) const;

    BOOL DrawIcon(int x, int y, HICON hIcon) { return ::DrawIcon(m_hDC, x, y, hIcon); }
    BOOL DrawState(POINT pt, SIZE size, HICON hIcon, UINT nFlags, HBRUSH hBrush = nullptr);
    BOOL DrawState(POINT pt, SIZE size, HBITMAP hBitmap, UINT nFlags, HBRUSH hBrush = nullptr);
    BOOL BitBlt(int x, int y, int nWidth, int nHeight, const CDC* pSrcDC, int xSrc, int ySrc,
                DWORD dwRop) {
        return ::BitBlt(m_hDC, x, y, nWidth, nHeight, pSrcDC ? pSrcDC->m_hDC : nullptr, xSrc,
                        ySrc, dwRop);
    }

    COLORREF GetPixel(int x, int y) const { return ::GetPixel(m_hDC, x, y); }
    COLORREF SetPixel(int x, int y, COLORREF crColor) { return ::SetPixel(m_hDC, x, y, crColor); }
    int GetDeviceCaps(int nIndex) const { return ::GetDeviceCaps(m_hDC, nIndex); }

  protected:
    HDC m_hDC; // not owned here; the owners below release it
};

// A memory DC, deleted with the object.
class CMemoryDC : public CDC {
  public:
    CMemoryDC() = default;
    ~CMemoryDC() { DeleteDC(); }
    CMemoryDC(CMemoryDC&& other) noexcept : CDC(other.Detach()) {}
    CMemoryDC& operator=(CMemoryDC&& other) noexcept;
    CMemoryDC(const CMemoryDC&) = delete;
    CMemoryDC& operator=(const CMemoryDC&) = delete;

    // A null pDC makes the DC compatible with the screen. A DC held before is deleted.
    BOOL CreateCompatibleDC(const CDC* pDC);
    HDC Detach();
    // FALSE when there was no DC.
    BOOL DeleteDC();
};

// The DC of one WM_PAINT: BeginPaint on construction, EndPaint on destruction.
class CPaintDC : public CDC {
  public:
    explicit CPaintDC(HWND hWnd) : m_hWnd(hWnd) { m_hDC = ::BeginPaint(hWnd, &m_ps); }
    ~CPaintDC() { ::EndPaint(m_hWnd, &m_ps); }
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;

    PAINTSTRUCT m_ps{};

  private:
    HWND m_hWnd; // not owned
};

// The client-area DC of a window (the screen's for null), released on destruction.
class CClientDC : public CDC {
  public:
    explicit CClientDC(HWND hWnd) : CDC(::GetDC(hWnd)), m_hWnd(hWnd) {}
    ~CClientDC() {
        if (m_hDC)
            ::ReleaseDC(m_hWnd, m_hDC);
    }
    CClientDC(const CClientDC&) = delete;
    CClientDC& operator=(const CClientDC&) = delete;

  private:
    HWND m_hWnd; // not owned
};

// Paints one rectangle of a target DC into a bitmap and copies it to the target
// in one step when destroyed, so the target never shows a half-painted state.
// Drawing uses the target's coordinates. On a printer it paints on the target.
class COffscreenDC : public CDC {
  public:
    COffscreenDC(CDC* pTarget, const RECT& rect);
    ~COffscreenDC();
    COffscreenDC(const COffscreenDC&) = delete;
    COffscreenDC& operator=(const COffscreenDC&) = delete;

  private:
    CDC* m_pTarget; // not owned
    CRect m_rect;
    CMemoryDC m_memory; // no DC on a printer
    CBitmap m_bitmap;
    HGDIOBJ m_hOldBitmap = nullptr; // not owned
};

// Selects a GDI object into a DC for one scope and puts the previous one back.
class CSelectGuard {
  public:
    CSelectGuard(CDC& dc, const CGdiObject& object)
        : CSelectGuard(dc.GetSafeHdc(), object.GetSafeHandle()) {}
    CSelectGuard(HDC hDC, HGDIOBJ hObject) : m_hDC(hDC), m_hOld(::SelectObject(hDC, hObject)) {}
    ~CSelectGuard() {
        if (m_hOld != nullptr && m_hOld != HGDI_ERROR)
            ::SelectObject(m_hDC, m_hOld);
    }
    CSelectGuard(const CSelectGuard&) = delete;
    CSelectGuard& operator=(const CSelectGuard&) = delete;

  private:
    HDC m_hDC;      // not owned
    HGDIOBJ m_hOld; // not owned
};
