#pragma once
// A brush: owned when created here, a view when taken with FromHandle.

#include "CGdiObject.h"

class CBrush : public CGdiObject {
  public:
    CBrush() = default;
    explicit CBrush(COLORREF crColor) { CreateSolidBrush(crColor); }
    CBrush(CBrush&&) noexcept = default;
    CBrush& operator=(CBrush&&) noexcept = default;

    static CBrush* FromHandle(HBRUSH hBrush);

    BOOL CreateSolidBrush(COLORREF crColor) { return Attach(::CreateSolidBrush(crColor)); }
    // A brush of our own in a system colour, unlike the shared GetSysColorBrush one.

    HBRUSH GetSafeHandle() const { return static_cast<HBRUSH>(CGdiObject::GetSafeHandle()); }
};
