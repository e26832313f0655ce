#include "CRelayApp.h"

#include "CRelayDlg.h"

BOOL CRelayApp::InitInstance() {
    CRelayDlg dialog;
    m_pMainWnd = &dialog; // the receive thread finds the dialog here
    dialog.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}
