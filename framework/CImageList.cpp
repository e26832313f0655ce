#include "CImageList.h"

#include "CGdiObject.h"
#include "CDC.h"

#include <utility>

CImageList::CImageList(CImageList&& other) noexcept
    : m_hImageList(std::exchange(other.m_hImageList, nullptr)) {}

CImageList& CImageList::operator=(CImageList&& other) noexcept {
    if (this != &other) {
        DeleteImageList();
        m_hImageList = std::exchange(other.m_hImageList, nullptr);
    }
    return *this;
}

BOOL CImageList::Create(int cx, int cy, UINT flags, int initial, int grow) {
    // Made before the old list goes, so the new handle never repeats the old one.
    HIMAGELIST hImageList = ::ImageList_Create(cx, cy, flags, initial, grow);
    DeleteImageList();
    m_hImageList = hImageList;
    return hImageList != nullptr;
}

BOOL CImageList::DeleteImageList() {
    if (m_hImageList == nullptr)
        return FALSE;
    return ::ImageList_Destroy(std::exchange(m_hImageList, nullptr));
}

int CImageList::Add(CBitmap* pbmImage, COLORREF crMask) {
    return ::ImageList_AddMasked(m_hImageList, pbmImage->GetSafeHandle(), crMask);
}

int CImageList::Add(HICON hIcon) {
    return ::ImageList_ReplaceIcon(m_hImageList, -1, hIcon);
}

BOOL CImageList::Replace(int nImage, HICON hIcon) {
    return nImage >= 0 && ::ImageList_ReplaceIcon(m_hImageList, nImage, hIcon) == nImage;
}

// The image goes through a one-image list so that its mask is made exactly as Add makes it.
BOOL CImageList::Replace(int nImage, CBitmap* pbmImage, COLORREF crMask) {
    int cx = 0, cy = 0;
    if (!::ImageList_GetIconSize(m_hImageList, &cx, &cy))
        return FALSE;
    CImageList single;
    if (!single.Create(cx, cy, ILC_COLORDDB | ILC_MASK, 1, 1) || single.Add(pbmImage, crMask) < 0)
        return FALSE;
    HICON hIcon = single.ExtractIcon(0);
    if (hIcon == nullptr)
        return FALSE;
    const BOOL replaced = Replace(nImage, hIcon);
    ::DestroyIcon(hIcon);
    return replaced;
}

HICON CImageList::ExtractIcon(int nImage) const {
    if (nImage < 0 || nImage >= GetImageCount())
        return nullptr;
    return ::ImageList_GetIcon(m_hImageList, nImage, ILD_NORMAL);
}

BOOL CImageList::Draw(CDC* pDC, int nImage, POINT pt, UINT nStyle) const {
    return ::ImageList_Draw(m_hImageList, nImage, pDC->GetSafeHdc(), pt.x, pt.y, nStyle);
}
