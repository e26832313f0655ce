#pragma once
// Owner of an image list handle; destroys the list on destruction.

#include <windows.h>

#include <commctrl.h>

class CImageList {
  public:
    CImageList() = default;
    ~CImageList() { DeleteImageList(); }
    CImageList(CImageList&& other) noexcept;
    CImageList& operator=(CImageList&& other) noexcept;
    CImageList(const CImageList&) = delete;
    CImageList& operator=(const CImageList&) = delete;

    // Fails when the object already holds a list.
    BOOL Create(int cx, int cy, UINT flags, int initial, int grow);
    // FALSE when there was no list.
    BOOL DeleteImageList();

    HIMAGELIST GetSafeHandle() const { return m_hImageList; }
    int GetImageCount() const { return ::ImageList_GetImageCount(m_hImageList); }

  private:
    HIMAGELIST m_hImageList = nullptr;
};
