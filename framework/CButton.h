#pragma once
// A push button, check box or owner-drawn button control.

#include "CWnd.h"

class CButton : public CWnd {
    DECLARE_DYNAMIC(CButton)

  public:
    // Owner-drawn buttons paint here; the parent's WM_DRAWITEM is reflected.
    virtual void DrawItem(LPDRAWITEMSTRUCT) {}

    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
};
