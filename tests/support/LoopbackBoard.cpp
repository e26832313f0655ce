#include "LoopbackBoard.h"

namespace {

u_short Bind(SOCKET s) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = ::inet_addr("127.0.0.1");
    int size = sizeof address;
    if (::bind(s, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        return 0;
    return ::ntohs(address.sin_port);
}

bool Readable(SOCKET s) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval now{0, 0};
    return ::select(0, &set, nullptr, nullptr, &now) == 1;
}

} // namespace

LoopbackBoard::LoopbackBoard(bool hung) : m_hung(hung) {
    WSADATA started;
    ::WSAStartup(MAKEWORD(1, 1), &started);
    m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
    m_port = Bind(m_listen);
    if (::listen(m_listen, 16) != 0)
        m_port = 0;
}

LoopbackBoard::~LoopbackBoard() {
    const linger reset{1, 0}; // nothing queued keeps a reader busy
    for (Connection& connection : m_connections)
        if (!connection.ended) {
            ::setsockopt(connection.socket, SOL_SOCKET, SO_LINGER,
                         reinterpret_cast<const char*>(&reset), sizeof reset);
            ::closesocket(connection.socket);
        }
    ::closesocket(m_listen);
    ::WSACleanup();
}

void LoopbackBoard::Poll() {
    while (m_port != 0 && Readable(m_listen))
        m_connections.push_back({::accept(m_listen, nullptr, nullptr), {}});
    for (Connection& connection : m_connections)
        while (!m_hung && !connection.ended && Readable(connection.socket)) {
            char buffer[4096];
            const int got = ::recv(connection.socket, buffer, sizeof buffer, 0);
            if (got > 0) {
                connection.received.insert(connection.received.end(), buffer, buffer + got);
            } else {
                // Closed as a board would: a peer's blocked read ends only then.
                connection.ended = true;
                ::closesocket(connection.socket);
            }
        }
}

size_t LoopbackBoard::ConnectionCount() {
    Poll();
    return m_connections.size();
}

Bytes LoopbackBoard::Received(size_t connection) {
    Poll();
    return connection < m_connections.size() ? m_connections[connection].received : Bytes{};
}

bool LoopbackBoard::Ended(size_t connection) {
    Poll();
    return connection < m_connections.size() && m_connections[connection].ended;
}

bool LoopbackBoard::Send(size_t connection, const Bytes& bytes) {
    Poll();
    const int size = static_cast<int>(bytes.size());
    return ::send(m_connections.at(connection).socket, reinterpret_cast<const char*>(bytes.data()),
                  size, 0) == size;
}

void LoopbackBoard::Close(size_t connection) {
    ::shutdown(m_connections.at(connection).socket, 1); // SD_SEND
}
