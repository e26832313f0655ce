#pragma once
// Paints one rectangle of a target DC into a bitmap and copies it to the target
// in one step when destroyed, so the target never shows a half-painted state.
// Drawing uses the target's coordinates. On a printer it paints on the target.

#include "CBitmap.h"
#include "CDC.h"

class COffscreenDC : public CDC {
  public:
    COffscreenDC(CDC* pTarget, const RECT& rect);
    ~COffscreenDC() override;
    COffscreenDC(COffscreenDC&&) = delete;
    COffscreenDC& operator=(COffscreenDC&&) = delete;

  private:
    CDC* m_pTarget; // not owned
    CRect m_rect;
    CBitmap m_bitmap;
    HGDIOBJ m_hOldBitmap = nullptr; // not owned
    BOOL m_bOffscreen;
};
