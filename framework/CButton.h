#pragma once
// A push button, check box or owner-drawn button control.

#include "CWnd.h"

class CButton : public CWnd {
    DECLARE_DYNAMIC(CButton)

  public:
    // Owner-drawn buttons paint here; the parent's WM_DRAWITEM is reflected.
    virtual void DrawItem(LPDRAWITEMSTRUCT) {}

    int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
    void SetCheck(int check) { SendMessage(BM_SETCHECK, static_cast<WPARAM>(check)); }
    UINT GetState() const { return static_cast<UINT>(SendMessage(BM_GETSTATE)); }
    UINT GetButtonStyle() const { return GetStyle() & 0xFFFF; }
    void SetButtonStyle(UINT style, BOOL redraw = TRUE) { SendMessage(BM_SETSTYLE, style, redraw); }

    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
};
