#include "CToolTipCtrl.h"

IMPLEMENT_DYNAMIC(CToolTipCtrl, CWnd)

namespace {

// The size that every version of the tooltip control accepts.
TTTOOLINFOA MakeToolInfo(CWnd* pWnd, UINT_PTR nIDTool) {
    TTTOOLINFOA ti{};
    ti.cbSize = TTTOOLINFOA_V2_SIZE;
    ti.hwnd = pWnd->m_hWnd;
    ti.uId = nIDTool;
    return ti;
}

} // namespace

BOOL CToolTipCtrl::Create(CWnd* pOwner, DWORD dwStyle) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&icc);
    CRect rc(CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT);
    return CreateEx(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | dwStyle, rc, pOwner->m_hWnd, 0);
}

BOOL CToolTipCtrl::AddTool(CWnd* pWnd, LPCSTR pszText, LPCRECT pRect, UINT_PTR nIDTool) {
    TTTOOLINFOA ti = MakeToolInfo(pWnd, nIDTool);
    ti.rect = *pRect;
    ti.lpszText = const_cast<LPSTR>(pszText);
    return static_cast<BOOL>(SendMessage(TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti)));
}

void CToolTipCtrl::UpdateTipText(LPCSTR pszText, CWnd* pWnd, UINT_PTR nIDTool) {
    TTTOOLINFOA ti = MakeToolInfo(pWnd, nIDTool);
    ti.lpszText = const_cast<LPSTR>(pszText);
    SendMessage(TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&ti));
}
