#pragma once
// A bitmap: owned when created or loaded here, a view when taken with FromHandle.

#include "CGdiObject.h"

class CDC;

class CBitmap : public CGdiObject {
  public:
    CBitmap() = default;
    CBitmap(CBitmap&&) noexcept = default;
    CBitmap& operator=(CBitmap&&) noexcept = default;

    static CBitmap* FromHandle(HBITMAP hBitmap);

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
