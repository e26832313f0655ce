#pragma once
// A pen: owned when created here, a view when taken with FromHandle.

#include "CGdiObject.h"

class CPen : public CGdiObject {
  public:
    CPen() = default;
    CPen(int nPenStyle, int nWidth, COLORREF crColor) { CreatePen(nPenStyle, nWidth, crColor); }
    CPen(CPen&&) noexcept = default;
    CPen& operator=(CPen&&) noexcept = default;

    static CPen* FromHandle(HPEN hPen);

    BOOL CreatePen(int nPenStyle, int nWidth, COLORREF crColor) {
        return Attach(::CreatePen(nPenStyle, nWidth, crColor));
    }

    HPEN GetSafeHandle() const { return static_cast<HPEN>(CGdiObject::GetSafeHandle()); }
};
