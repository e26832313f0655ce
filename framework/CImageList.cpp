#include "CImageList.h"

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
    if (m_hImageList != nullptr)
        return FALSE;
    m_hImageList = ::ImageList_Create(cx, cy, flags, initial, grow);
    return m_hImageList != nullptr;
}

BOOL CImageList::DeleteImageList() {
    if (m_hImageList == nullptr)
        return FALSE;
    return ::ImageList_Destroy(std::exchange(m_hImageList, nullptr));
}
