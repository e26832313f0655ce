#include "CRelayLinkDlg.h"

#include "WorkerThread.h"

namespace {

// What one receive thread needs: the dialog to hand bytes to and the socket it
// was started for, which it alone reads and finally closes.
struct ReceiveStart {
    HWND dialog;
    SOCKET socket;
};

} // namespace

CRelayLinkDlg::CRelayLinkDlg(UINT templateId, CWnd* parent) : CDialog(templateId, parent) {}

int CRelayLinkDlg::SendFrame(BYTE address, BYTE command, BYTE data0, BYTE data1, BYTE data2,
                             BYTE data3) {
    if (m_socket == 0 || m_socket == INVALID_SOCKET)
        return SOCKET_ERROR;
    RelayFrame frame = BuildRelayFrame(address, command, data0, data1, data2, data3);
    return ::send(m_socket, reinterpret_cast<const char*>(frame.data()),
                  static_cast<int>(frame.size()), 0);
}

void CRelayLinkDlg::OnConnect() {
    if (m_socket != 0 && m_socket != INVALID_SOCKET) {
        if (m_bSocketHasReader)
            ::shutdown(m_socket, 2); // its thread sees the read fail, then closes it
        else
            ::closesocket(m_socket);
    }
    m_bSocketHasReader = false;
    m_socket = ::socket(AF_INET, SOCK_STREAM, 0);

    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = ::htons(static_cast<u_short>(m_nPort & 0xFFFF));
    address.sin_addr.s_addr = ::inet_addr(m_strIp);

    if (m_strIp.Compare(m_savedIp) != 0 || m_nPort != m_savedPort) {
        m_savedIp = m_strIp;
        m_savedPort = m_nPort;
        SaveConnectionSettings();
    }

    bool connected =
        m_socket != INVALID_SOCKET &&
        ::connect(m_socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    if (!connected) {
        MessageBox("建立连接失败");
        m_bConnected = 0;
        return;
    }
    MessageBox("建立连接成功");
    m_bConnected = 1;
    auto* start = new ReceiveStart{m_hWnd, m_socket};
    if (AfxBeginThread(&CRelayLinkDlg::ReceiveThreadProc, start))
        m_bSocketHasReader = true;
    else
        delete start;
    SendFrame(RELAY_BOARD_ADDRESS, RELAY_CMD_QUERY, 0, 0, 0, 0);
}

UINT CRelayLinkDlg::ReceiveThreadProc(LPVOID param) {
    ReceiveStart start = *static_cast<ReceiveStart*>(param);
    delete static_cast<ReceiveStart*>(param);
    char byte = 0;
    while (::recv(start.socket, &byte, 1, 0) > 0)
        ::SendMessageA(start.dialog, WM_RELAY_RXBYTE,
                       static_cast<WPARAM>(static_cast<signed char>(byte)), 1);
    ::closesocket(start.socket);
    return 0;
}

LRESULT CRelayLinkDlg::OnRxByte(WPARAM wParam, LPARAM) {
    if (PushRxByte(static_cast<std::uint8_t>(wParam & 0xFF)))
        ApplyStatusFrame();
    return 0;
}
