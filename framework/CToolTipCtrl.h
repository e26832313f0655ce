#pragma once
// A tooltip control window. Its window is destroyed with the object.

#include "CWnd.h"

#include <commctrl.h>

class CToolTipCtrl : public CWnd {
    DECLARE_DYNAMIC(CToolTipCtrl)

  public:
    // A popup tooltip window owned by pOwner, with dwStyle added to WS_POPUP.
    BOOL Create(CWnd* pOwner, DWORD dwStyle = 0);

    void Activate(BOOL bActivate) { SendMessage(TTM_ACTIVATE, bActivate); }
    int SetMaxTipWidth(int nWidth) {
        return static_cast<int>(SendMessage(TTM_SETMAXTIPWIDTH, 0, nWidth));
    }
    int GetToolCount() const { return static_cast<int>(SendMessage(TTM_GETTOOLCOUNT)); }
    // A tool for a rectangle of pWnd's client area, told apart by nIDTool. Mouse messages
    // reach it through RelayEvent.
    BOOL AddTool(CWnd* pWnd, LPCSTR pszText, LPCRECT pRect, UINT_PTR nIDTool);
    void UpdateTipText(LPCSTR pszText, CWnd* pWnd, UINT_PTR nIDTool);
    void RelayEvent(LPMSG pMsg) { SendMessage(TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(pMsg)); }
};
