#include "CRelayLink.h"

#include "WorkerThread.h"

#include <atomic>

namespace {

// How long the receive thread waits for a byte before it looks at its stop
// flag again: a shut-down socket does not wake a blocked read under wine, and a
// hung board may never send or close.
const timeval kStopCheckPeriod = {0, 200 * 1000};

} // namespace

// One connection's socket, held by the link and by the receive thread started
// for it. The last holder closes it, so its handle cannot be reused while
// either may still send on it or read it.
struct CRelayLink::Connection {
    SOCKET socket;
    HWND target; // not owned
    std::atomic<int> holders;
    std::atomic<bool> stopped{false};
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
    m_connection->stopped = true; // its thread ends at its next look, whatever the board does
    ::shutdown(m_connection->socket, 2);
    Release(m_connection);
    m_connection = nullptr;
}

BOOL CRelayLink::Open() {
    Close();
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    if (s == INVALID_SOCKET)
        return FALSE;
    m_connection = new Connection{s, nullptr, 1, false};
    return TRUE;
}

BOOL CRelayLink::Connect(const char* address, UINT port) {
    if (!m_connection || port > 0xFFFF)
        return FALSE;
    sockaddr_in board{};
    board.sin_family = AF_INET;
    board.sin_port = ::htons(static_cast<u_short>(port));
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
    while (!connection->stopped) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(connection->socket, &readable);
        timeval period = kStopCheckPeriod;
        const int ready = ::select(0, &readable, nullptr, nullptr, &period);
        if (ready == 0)
            continue;
        // Readable: what has arrived is read without blocking, and handed on a
        // byte at a time until a Close.
        char bytes[256];
        const int got = ready < 0 ? 0 : ::recv(connection->socket, bytes, sizeof bytes, 0);
        if (got <= 0)
            break;
        for (int i = 0; i < got && !connection->stopped; ++i)
            ::SendMessageA(connection->target, WM_RELAY_RXBYTE,
                           static_cast<WPARAM>(static_cast<signed char>(bytes[i])), 1);
    }
    Release(connection);
    return 0;
}
