#pragma once
// The control panel: address and port, Connect and Refresh, sixteen channel
// buttons coloured by the board's status frames, and all-on / all-off.

#include "CButton.h"
#include "CDialog.h"
#include "CRelayLink.h"
#include "CStyledButton.h"
#include "RelayRxState.h"

class CDC;

class CRelayDlg : public CDialog {
  public:
    explicit CRelayDlg(CWnd* parent = nullptr);
    ~CRelayDlg() override = default;

    // Numbers the styled buttons for their captions, program-wide.
    static int s_nextButtonNumber;
    // Timer ticks since the last periodic status query.
    static BYTE s_pollTicks;

  protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    // A verified status frame is in m_rx.m_rxFrame.
    virtual void ApplyStatusFrame();

    // One command frame in one send on the current connection.
    int SendFrame(BYTE address, BYTE command, BYTE data0, BYTE data1, BYTE data2, BYTE data3);

    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    LRESULT OnRxByte(WPARAM wParam, LPARAM lParam);
    void OnAddressChange();
    void OnChannelClicked(UINT id);
    void OnAllOn();
    void OnAllOff();
    void OnTimer(UINT_PTR id);
    void OnCancelMode();
    void OnConnect();
    void OnRefresh();
    HBRUSH OnCtlColor(CDC* dc, CWnd* control, UINT kind);

    void SetButtonColors(CStyledButton& button, BYTE r, BYTE g, BYTE b);
    void InitButtonLook(CStyledButton& button, BYTE r, BYTE g, BYTE b);
    void ShowChannelState(CStyledButton& button, BYTE r, BYTE g, BYTE b, BYTE state);
    void ToggleChannel(int channel);

    CRelayLink m_link;
    BYTE m_bConnected = 0;
    CRelayRxState m_rx;
    CString m_strIp;
    UINT m_nPort = 0;
    CString m_savedIp;
    UINT m_savedPort = 0;

    CButton m_btnConnect;
    CStyledButton m_btnChannel[16]; // channel n at index n - 1
    CStyledButton m_btnAllOn;
    CStyledButton m_btnAllOff;
    HICON m_hIcon; // shared resource icon, not owned

    DECLARE_MESSAGE_MAP()
};
