#pragma once
// Selects a GDI object into a DC for one scope and puts the previous one back.

#include "CDC.h"
#include "CGdiObject.h"

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

    HGDIOBJ GetOld() const { return m_hOld; }

  private:
    HDC m_hDC;      // not owned
    HGDIOBJ m_hOld; // not owned
};
