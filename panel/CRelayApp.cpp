#include "CRelayApp.h"

#include "CRelayDlg.h"

BOOL CRelayApp::InitInstance() {
    CRelayDlg dialog;
    m_pMainWnd = &dialog; // owner of the About box and of menus shown without a window
    dialog.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}
