#include "CGdiObject.h"

#include "CDC.h"

#include <utility>

CGdiObject::CGdiObject(CGdiObject&& other) noexcept
    : m_hObject(std::exchange(other.m_hObject, nullptr)) {}

CGdiObject& CGdiObject::operator=(CGdiObject&& other) noexcept {
    if (this != &other)
        Attach(other.Detach());
    return *this;
}

BOOL CGdiObject::Attach(HGDIOBJ hObject) {
    DeleteObject();
    m_hObject = hObject;
    return hObject != nullptr;
}

HGDIOBJ CGdiObject::Detach() {
    return std::exchange(m_hObject, nullptr);
}

BOOL CGdiObject::DeleteObject() {
    HGDIOBJ hObject = Detach();
    return hObject != nullptr && ::DeleteObject(hObject);
}

int CGdiObject::GetObject(int nCount, LPVOID pObject) const {
    return m_hObject ? ::GetObjectA(m_hObject, nCount, pObject) : 0;
}

BOOL CBitmap::CreateCompatibleBitmap(CDC* pDC, int nWidth, int nHeight) {
    return Attach(::CreateCompatibleBitmap(pDC->GetSafeHdc(), nWidth, nHeight));
}

BOOL CBitmap::LoadBitmap(LPCSTR pszResourceName) {
    return Attach(::LoadBitmapA(::GetModuleHandleA(nullptr), pszResourceName));
}

SIZE CBitmap::GetSize() const {
    BITMAP bm{};
    if (GetBitmap(&bm) == 0)
        return SIZE{0, 0};
    return SIZE{bm.bmWidth, bm.bmHeight};
}
