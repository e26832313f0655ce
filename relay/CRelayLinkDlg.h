#pragma once
// The main dialog's half that owns the board link: settings file, TCP
// connection, receive thread and frame reassembly. The control panel derives
// from it and supplies the window, the controls and the recolouring.

#include "CDialog.h"
#include "RelayRxState.h"

#include <winsock.h>

// The receive thread's hand-off of one byte: wParam the byte widened as a
// signed char, lParam 1. Sent synchronously to the dialog.
constexpr UINT WM_RELAY_RXBYTE = WM_USER + 7;

class CRelayLinkDlg : public CDialog, protected CRelayRxState {
  public:
    explicit CRelayLinkDlg(UINT templateId, CWnd* parent = nullptr);
    ~CRelayLinkDlg() override;

    // Settings file "canshu.ini" in the current directory, re-read on every call.
    CString GetSettingsPath() const;
    CString GetProfileText(const char* section, const char* key, const char* path) const;
    CString ReadProfileString(const char* key, const char* defaultValue) const;
    UINT ReadProfileUInt(const char* key, UINT defaultValue) const;
    void WriteProfileString(const char* key, const char* value) const;
    void WriteProfileUInt(const char* key, UINT value) const;
    void LoadConnectionSettings();
    void SaveConnectionSettings() const;
    CString GetButtonCaption(int number) const;

    // One command frame in one send on the current socket; nothing without one.
    int SendFrame(BYTE address, BYTE command, BYTE data0, BYTE data1, BYTE data2, BYTE data3);

    void OnConnect();
    LRESULT OnRxByte(WPARAM wParam, LPARAM lParam);

    SOCKET m_socket = 0; // 0 until the first Connect
    BYTE m_bConnected = 0;
    CString m_strIp;
    UINT m_nPort = 0;
    CString m_savedIp;
    UINT m_savedPort = 0;

  protected:
    // A verified status frame is in m_rxFrame.
    virtual void ApplyStatusFrame() = 0;

  private:
    struct Link;
    static UINT ReceiveThreadProc(LPVOID param);
    static void Release(Link* link);
    void CloseSocket();

    Link* m_link = nullptr; // m_socket, shared with its receive thread
};
