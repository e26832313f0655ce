#include "CRelayLinkDlg.h"

#include "WorkerThread.h"

#include <atomic>

// One connection's socket, held by the dialog and by the receive thread
// started for it. The last holder closes it, so its handle cannot be reused
// while either may still send on it or read it.
struct CRelayLinkDlg::Link {
    SOCKET socket;
    HWND dialog;
    std::atomic<int> holders;
};

CRelayLinkDlg::CRelayLinkDlg(UINT templateId, CWnd* parent) : CDialog(templateId, parent) {}

CRelayLinkDlg::~CRelayLinkDlg() {
    CloseSocket();
}

void CRelayLinkDlg::Release(Link* link) {
    if (--link->holders == 0) {
        ::closesocket(link->socket);
        delete link;
    }
}

void CRelayLinkDlg::CloseSocket() {
    if (!m_link)
        return;
    ::shutdown(m_link->socket, 2); // a thread still reading it sees its read fail
    Release(m_link);
    m_link = nullptr;
}

int CRelayLinkDlg::SendFrame(BYTE address, BYTE command, BYTE data0, BYTE data1, BYTE data2,
                             BYTE data3) {
    if (m_socket == 0 || m_socket == INVALID_SOCKET)
        return SOCKET_ERROR;
    RelayFrame frame = BuildRelayFrame(address, command, data0, data1, data2, data3);
    return ::send(m_socket, reinterpret_cast<const char*>(frame.data()),
                  static_cast<int>(frame.size()), 0);
}

void CRelayLinkDlg::OnConnect() {
    CloseSocket();
    m_socket = ::socket(AF_INET, SOCK_STREAM, 0);
    if (m_socket != INVALID_SOCKET)
        m_link = new Link{m_socket, m_hWnd, 1};

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
    ++m_link->holders;
    if (!AfxBeginThread(&CRelayLinkDlg::ReceiveThreadProc, m_link))
        --m_link->holders;
    SendFrame(RELAY_BOARD_ADDRESS, RELAY_CMD_QUERY, 0, 0, 0, 0);
}

UINT CRelayLinkDlg::ReceiveThreadProc(LPVOID param) {
    auto* link = static_cast<Link*>(param);
    char byte = 0;
    while (::recv(link->socket, &byte, 1, 0) > 0)
        ::SendMessageA(link->dialog, WM_RELAY_RXBYTE,
                       static_cast<WPARAM>(static_cast<signed char>(byte)), 1);
    Release(link);
    return 0;
}

LRESULT CRelayLinkDlg::OnRxByte(WPARAM wParam, LPARAM) {
    if (PushRxByte(static_cast<std::uint8_t>(wParam & 0xFF)))
        ApplyStatusFrame();
    return 0;
}
