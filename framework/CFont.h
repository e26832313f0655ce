#pragma once
// A font: owned when created here, a view when taken with FromHandle.

#include "CGdiObject.h"

class CFont : public CGdiObject {
  public:
    CFont() = default;
    CFont(CFont&&) noexcept = default;
    CFont& operator=(CFont&&) noexcept = default;

    static CFont* FromHandle(HFONT hFont);

    BOOL CreateFontIndirect(const LOGFONTA* pLogFont) {
        return Attach(::CreateFontIndirectA(pLogFont));
    }
    // Height in pixels (negative: character height), as LOGFONT takes it.
    BOOL CreateFont(int nHeight, int nWeight, LPCSTR pszFaceName);

    HFONT GetSafeHandle() const { return static_cast<HFONT>(CGdiObject::GetSafeHandle()); }
};
