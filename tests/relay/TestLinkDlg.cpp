#include "TestLinkDlg.h"

#include "relay_link_test_ids.h"

TestLinkDlg::TestLinkDlg() : CRelayLinkDlg(IDD_RELAY_LINK_TEST) {}

BEGIN_MESSAGE_MAP(TestLinkDlg, CRelayLinkDlg)
ON_MESSAGE(WM_RELAY_RXBYTE, &TestLinkDlg::OnRxByteRecorded)
END_MESSAGE_MAP()

void TestLinkDlg::ApplyStatusFrame() {
    applied.push_back({m_rxFrame, ::GetCurrentThreadId()});
}

LRESULT TestLinkDlg::OnRxByteRecorded(WPARAM wParam, LPARAM lParam) {
    rxMessages.push_back({wParam, lParam, ::GetCurrentThreadId()});
    return OnRxByte(wParam, lParam);
}
