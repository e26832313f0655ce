#include "CGdiObject.h"

#include "ViewCache.h"

#include <utility>

CGdiObject::CGdiObject(CGdiObject&& other) noexcept
    : m_hObject(std::exchange(other.m_hObject, nullptr)),
      m_bOwner(std::exchange(other.m_bOwner, FALSE)) {}

CGdiObject& CGdiObject::operator=(CGdiObject&& other) noexcept {
    if (this != &other) {
        DeleteObject();
        m_hObject = std::exchange(other.m_hObject, nullptr);
        m_bOwner = std::exchange(other.m_bOwner, FALSE);
    }
    return *this;
}

CGdiObject* CGdiObject::FromHandle(HGDIOBJ hObject) {
    return CachedView<CGdiObject>(hObject, [](CGdiObject& view, HGDIOBJ h) {
        if (view.GetSafeHandle() != h)
            view.AttachView(h);
    });
}

BOOL CGdiObject::Attach(HGDIOBJ hObject) {
    DeleteObject();
    m_hObject = hObject;
    m_bOwner = hObject != nullptr;
    return hObject != nullptr;
}

HGDIOBJ CGdiObject::Detach() {
    m_bOwner = FALSE;
    return std::exchange(m_hObject, nullptr);
}

BOOL CGdiObject::DeleteObject() {
    HGDIOBJ hObject = std::exchange(m_hObject, nullptr);
    BOOL bOwner = std::exchange(m_bOwner, FALSE);
    if (hObject == nullptr)
        return FALSE;
    return bOwner ? ::DeleteObject(hObject) : TRUE;
}

int CGdiObject::GetObject(int nCount, LPVOID pObject) const {
    return m_hObject ? ::GetObjectA(m_hObject, nCount, pObject) : 0;
}

// Stock objects belong to the system, so they are held as views.
BOOL CGdiObject::CreateStockObject(int nIndex) {
    AttachView(::GetStockObject(nIndex));
    return m_hObject != nullptr;
}

void CGdiObject::AttachView(HGDIOBJ hObject) {
    DeleteObject();
    m_hObject = hObject;
}
