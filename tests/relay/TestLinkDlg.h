// The link half under test, as the control panel will use it: a dialog of its
// own with WM_RELAY_RXBYTE mapped, recording what reaches it and on which thread.
#pragma once

#include "CRelayLinkDlg.h"

#include <vector>

class TestLinkDlg : public CRelayLinkDlg {
  public:
    TestLinkDlg();

    struct RxMessage {
        WPARAM wParam;
        LPARAM lParam;
        DWORD thread;
    };
    struct AppliedFrame {
        RelayFrame frame;
        DWORD thread;
    };
    // Only the UI thread touches these.
    std::vector<RxMessage> rxMessages;
    std::vector<AppliedFrame> applied;

  protected:
    void ApplyStatusFrame() override;
    LRESULT OnRxByteRecorded(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()
};
