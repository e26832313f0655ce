#pragma once
// Owner of an image list handle (see HandleMap.h); destroys the list on destruction.

#include <windows.h>

#include <commctrl.h>

class CBitmap;
class CDC;

class CImageList {
  public:
    CImageList() = default;
    ~CImageList() { DeleteImageList(); }
    CImageList(CImageList&& other) noexcept;
    CImageList& operator=(CImageList&& other) noexcept;
    CImageList(const CImageList&) = delete;
    CImageList& operator=(const CImageList&) = delete;

    // The list held before is destroyed first.
    BOOL Create(int cx, int cy, UINT flags, int initial, int grow);
    // FALSE when there was no list.
    BOOL DeleteImageList();

    HIMAGELIST GetSafeHandle() const { return m_hImageList; }
    int GetImageCount() const { return ::ImageList_GetImageCount(m_hImageList); }

    // Pixels of crMask become transparent; a bitmap wider than the list's images
    // adds several. The index of the first image added, or -1.
    int Add(CBitmap* pbmImage, COLORREF crMask);
    // The icon stays the caller's. Its index, or -1.
    int Add(HICON hIcon);
    BOOL Replace(int nImage, HICON hIcon);
    BOOL Replace(int nImage, CBitmap* pbmImage, COLORREF crMask);
    // A new icon of the image (normal drawing), for the caller to destroy; null
    // for an index the list does not have.
    HICON ExtractIcon(int nImage) const;
    BOOL Draw(CDC* pDC, int nImage, POINT pt, UINT nStyle) const;

  private:
    HIMAGELIST m_hImageList = nullptr;
};
