#pragma once
// The GDI objects: owners of one pen, brush, font or bitmap each (see
// HandleMap.h). A view of a GDI object is its handle.

#include <windows.h>

class CDC;

class CGdiObject {
  public:
    CGdiObject() = default;
    ~CGdiObject() { DeleteObject(); }
    CGdiObject(CGdiObject&& other) noexcept;
    CGdiObject& operator=(CGdiObject&& other) noexcept;
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;

    // Takes ownership; whatever was held before is deleted first.
    BOOL Attach(HGDIOBJ hObject);
    HGDIOBJ Detach();
    // FALSE when there was no object.
    BOOL DeleteObject();

    HGDIOBJ GetSafeHandle() const { return m_hObject; }
    int GetObject(int nCount, LPVOID pObject) const;

  private:
    HGDIOBJ m_hObject = nullptr;
};

class CPen : public CGdiObject {
  public:
    CPen() = default;
    CPen(int nPenStyle, int nWidth, COLORREF crColor) { CreatePen(nPenStyle, nWidth, crColor); }

    BOOL CreatePen(int nPenStyle, int nWidth, COLORREF crColor) {
        return Attach(::CreatePen(nPenStyle, nWidth, crColor));
    }
    HPEN GetSafeHandle() const { return static_cast<HPEN>(CGdiObject::GetSafeHandle()); }
};

class CBrush : public CGdiObject {
  public:
    CBrush() = default;
    explicit CBrush(COLORREF crColor) { CreateSolidBrush(crColor); }

    BOOL CreateSolidBrush(COLORREF crColor) { return Attach(::CreateSolidBrush(crColor)); }
    HBRUSH GetSafeHandle() const { return static_cast<HBRUSH>(CGdiObject::GetSafeHandle()); }
};

class CFont : public CGdiObject {
  public:
    BOOL CreateFontIndirect(const LOGFONTA* pLogFont) {
        return Attach(::CreateFontIndirectA(pLogFont));
    }
    HFONT GetSafeHandle() const { return static_cast<HFONT>(CGdiObject::GetSafeHandle()); }
};

class CBitmap : public CGdiObject {
  public:
    BOOL CreateCompatibleBitmap(CDC* pDC, int nWidth, int nHeight);
    BOOL CreateBitmap(int nWidth, int nHeight, UINT nPlanes, UINT nBitCount, const void* pBits) {
        return Attach(::CreateBitmap(nWidth, nHeight, nPlanes, nBitCount, pBits));
    }
    BOOL LoadBitmap(LPCSTR pszResourceName);
    BOOL LoadBitmap(UINT nIDResource) { return LoadBitmap(MAKEINTRESOURCEA(nIDResource)); }

    int GetBitmap(BITMAP* pBitMap) const { return GetObject(sizeof(BITMAP), pBitMap); }
    SIZE GetSize() const;
    HBITMAP GetSafeHandle() const { return static_cast<HBITMAP>(CGdiObject::GetSafeHandle()); }
};
