#include "CRelayLink.h"

#include "WorkerThread.h"

#include <atomic>

// One connection's socket, held by the link and by the receive thread started
// for it. The last holder closes it, so its handle cannot be reused while
// either may still send on it or read it.
struct CRelayLink::Connection {
    SOCKET socket;
    HWND target; // not owned
    std::atomic<int> holders;
};

CRelayLink::~CRelayLink() {
    Close();
}

void CRelayLink::Release(Connection* connection) {
    if (--connection->holders == 0) {
        ::closesocket(connection->socket);
        delete connection;
    }
}

void CRelayLink::Close() {
    if (!m_connection)
        return;
    ::shutdown(m_connection->socket, 2); // a thread still reading it sees its read fail
    Release(m_connection);
    m_connection = nullptr;
}

BOOL CRelayLink::Open() {
    Close();
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    if (s == INVALID_SOCKET)
        return FALSE;
    m_connection = new Connection{s, nullptr, 1};
    return TRUE;
}

BOOL CRelayLink::Connect(const char* address, UINT port) {
    if (!m_connection)
        return FALSE;
    sockaddr_in board{};
    board.sin_family = AF_INET;
    board.sin_port = ::htons(static_cast<u_short>(port & 0xFFFF));
    board.sin_addr.s_addr = ::inet_addr(address);
    return ::connect(m_connection->socket, reinterpret_cast<const sockaddr*>(&board),
                     sizeof board) == 0;
}

BOOL CRelayLink::StartReceiving(HWND target) {
    if (!m_connection)
        return FALSE;
    m_connection->target = target;
    ++m_connection->holders;
    if (AfxBeginThread(&CRelayLink::ReceiveThreadProc, m_connection))
        return TRUE;
    --m_connection->holders;
    return FALSE;
}

int CRelayLink::SendFrame(const RelayFrame& frame) const {
    if (!m_connection)
        return SOCKET_ERROR;
    return ::send(m_connection->socket, reinterpret_cast<const char*>(frame.data()),
                  static_cast<int>(frame.size()), 0);
}

UINT CRelayLink::ReceiveThreadProc(LPVOID param) {
    auto* connection = static_cast<Connection*>(param);
    char byte = 0;
    while (::recv(connection->socket, &byte, 1, 0) > 0)
        ::SendMessageA(connection->target, WM_RELAY_RXBYTE,
                       static_cast<WPARAM>(static_cast<signed char>(byte)), 1);
    Release(connection);
    return 0;
}
