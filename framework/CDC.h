#pragma once
// A device context. It owns (and deletes) a DC that it created or was given with Attach;
// FromHandle gives a view of someone else's DC that is never deleted.

#include "CRect.h"

class CGdiObject;
class CPen;
class CBrush;
class CFont;
class CBitmap;

class CDC {
  public:
    CDC() = default;
    virtual ~CDC() { DeleteDC(); }
    CDC(CDC&& other) noexcept;
    CDC& operator=(CDC&& other) noexcept;
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    // A view of a DC owned elsewhere (a paint or draw-item DC); null for a null handle.
    static CDC* FromHandle(HDC hDC);

    // Takes ownership; a DC held before is released first.
    BOOL Attach(HDC hDC);
    HDC Detach();
    // A null pDC makes the DC compatible with the screen.
    BOOL CreateCompatibleDC(CDC* pDC);
    // Deletes an owned DC; a view merely forgets its handle.
    BOOL DeleteDC();

    HDC GetSafeHdc() const { return m_hDC; }
    BOOL IsOwner() const { return m_bOwner; }

    // Each returns (a view of) the object that was selected before.
    CPen* SelectObject(CPen* pPen);
    CBrush* SelectObject(CBrush* pBrush);
    CFont* SelectObject(CFont* pFont);
    CBitmap* SelectObject(CBitmap* pBitmap);
    HGDIOBJ SelectObject(HGDIOBJ hObject) { return ::SelectObject(m_hDC, hObject); }

    COLORREF SetTextColor(COLORREF crColor) { return ::SetTextColor(m_hDC, crColor); }
    COLORREF SetBkColor(COLORREF crColor) { return ::SetBkColor(m_hDC, crColor); }
    COLORREF GetBkColor() const { return ::GetBkColor(m_hDC); }
    int SetBkMode(int nBkMode) { return ::SetBkMode(m_hDC, nBkMode); }

    // Leaves the DC's background colour as it was.
    void FillSolidRect(LPCRECT pRect, COLORREF crColor);
    void FillSolidRect(int x, int y, int cx, int cy, COLORREF crColor);
    void FillRect(LPCRECT pRect, const CBrush* pBrush);
    void FrameRect(LPCRECT pRect, const CBrush* pBrush);
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
                DWORD dwRop);

    COLORREF GetPixel(int x, int y) const { return ::GetPixel(m_hDC, x, y); }
    COLORREF SetPixel(int x, int y, COLORREF crColor) { return ::SetPixel(m_hDC, x, y, crColor); }
    int GetDeviceCaps(int nIndex) const { return ::GetDeviceCaps(m_hDC, nIndex); }

  protected:
    // For the window DC forms, which release their DC themselves.
    void AttachView(HDC hDC);

  private:
    HDC m_hDC = nullptr;
    BOOL m_bOwner = FALSE;
};
