#include "LoopbackListener.h"

#include <numeric>

sockaddr_in Loopback(u_short port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = ::htons(port);
    address.sin_addr.s_addr = ::inet_addr("127.0.0.1");
    return address;
}

namespace {

u_short LocalPort(SOCKET s) {
    sockaddr_in bound{};
    int size = sizeof bound;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&bound), &size);
    return ::ntohs(bound.sin_port);
}

} // namespace

u_short ClosedLoopbackPort() {
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(0);
    ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    u_short port = LocalPort(s);
    ::closesocket(s);
    return port;
}

LoopbackListener::LoopbackListener(u_short port) {
    m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(port);
    if (m_listen == INVALID_SOCKET ||
        ::bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listen, 8) != 0) {
        m_failure = "cannot listen on 127.0.0.1:" + std::to_string(port) + ", error " +
                    std::to_string(::WSAGetLastError());
        if (m_listen != INVALID_SOCKET)
            ::closesocket(m_listen);
        m_listen = INVALID_SOCKET;
        return;
    }
    m_port = LocalPort(m_listen);
    m_thread = std::thread([this] { Run(); });
}

LoopbackListener::~LoopbackListener() {
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    // A reset, so that nothing still queued keeps a reader busy.
    linger reset{1, 0};
    for (Connection& connection : m_connections)
        if (connection.socket != INVALID_SOCKET) {
            ::setsockopt(connection.socket, SOL_SOCKET, SO_LINGER,
                         reinterpret_cast<const char*>(&reset), sizeof reset);
            ::closesocket(connection.socket);
        }
    if (m_listen != INVALID_SOCKET)
        ::closesocket(m_listen);
}

size_t LoopbackListener::ConnectionCount() const {
    std::lock_guard lock(m_lock);
    return m_connections.size();
}

Bytes LoopbackListener::Received(size_t connection) const {
    std::lock_guard lock(m_lock);
    return connection < m_connections.size() ? m_connections[connection].received : Bytes{};
}

bool LoopbackListener::Ended(size_t connection) const {
    std::lock_guard lock(m_lock);
    return connection < m_connections.size() && m_connections[connection].ended;
}

void LoopbackListener::Send(size_t connection, const Bytes& bytes) {
    std::lock_guard lock(m_lock);
    Bytes& pending = m_connections.at(connection).pending;
    pending.insert(pending.end(), bytes.begin(), bytes.end());
}

void LoopbackListener::Close(size_t connection) {
    std::lock_guard lock(m_lock);
    m_connections.at(connection).closeRequested = true;
}

void LoopbackListener::StartStreaming() {
    std::lock_guard lock(m_lock);
    m_streaming = true;
}

Bytes LoopbackListener::StreamFrame(size_t connection, std::uint16_t sequence) {
    Bytes frame = {0xA5,
                   static_cast<std::uint8_t>(connection),
                   static_cast<std::uint8_t>(sequence >> 8),
                   static_cast<std::uint8_t>(sequence & 0xFF),
                   0x80,
                   0xFF,
                   0x00};
    frame.push_back(static_cast<std::uint8_t>(std::accumulate(frame.begin(), frame.end(), 0u)));
    return frame;
}

void LoopbackListener::OnFirstFrame(std::function<void(size_t connection)> callback) {
    std::lock_guard lock(m_lock);
    m_onFirstFrame = std::move(callback);
}

void LoopbackListener::Run() {
    while (!m_stop) {
        fd_set readable;
        fd_set writable;
        FD_ZERO(&readable);
        FD_ZERO(&writable);
        FD_SET(m_listen, &readable);
        {
            std::lock_guard lock(m_lock);
            for (Connection& connection : m_connections) {
                if (connection.socket == INVALID_SOCKET)
                    continue;
                FD_SET(connection.socket, &readable);
                if (!connection.pending.empty())
                    FD_SET(connection.socket, &writable);
            }
        }
        timeval wait{0, 1000};
        int ready = ::select(0, &readable, &writable, nullptr, &wait);
        if (ready < 0)
            continue;
        if (FD_ISSET(m_listen, &readable))
            Accept();

        {
            std::lock_guard lock(m_lock);
            for (size_t i = 0; i < m_connections.size(); ++i) {
                Connection& connection = m_connections[i];
                if (connection.socket == INVALID_SOCKET)
                    continue;
                if (FD_ISSET(connection.socket, &writable))
                    Write(connection);
                size_t before = connection.received.size();
                if (FD_ISSET(connection.socket, &readable))
                    Read(connection);
                // Under the lock, so no waiter sees the bytes before the callback ran.
                if (before < 8 && connection.received.size() >= 8 && m_onFirstFrame)
                    m_onFirstFrame(i);
                if (connection.socket == INVALID_SOCKET)
                    continue;
                if (connection.closeRequested && connection.pending.empty()) {
                    ::closesocket(connection.socket);
                    connection.socket = INVALID_SOCKET;
                    continue;
                }
                // One frame per quiet round keeps the stream steady, not a flood.
                if (ready == 0 && m_streaming && connection.received.size() >= 8 &&
                    connection.pending.empty() && !connection.closeRequested)
                    connection.pending = StreamFrame(i, connection.nextSequence++);
            }
        }
    }
}

void LoopbackListener::Accept() {
    SOCKET accepted = ::accept(m_listen, nullptr, nullptr);
    if (accepted == INVALID_SOCKET)
        return;
    u_long nonBlocking = 1;
    ::ioctlsocket(accepted, FIONBIO, &nonBlocking);
    std::lock_guard lock(m_lock);
    Connection connection;
    connection.socket = accepted;
    m_connections.push_back(std::move(connection));
}

void LoopbackListener::Read(Connection& connection) {
    char buffer[512];
    int got = ::recv(connection.socket, buffer, sizeof buffer, 0);
    if (got < 0 && ::WSAGetLastError() == WSAEWOULDBLOCK)
        return;
    if (got <= 0) {
        connection.ended = true;
        ::closesocket(connection.socket);
        connection.socket = INVALID_SOCKET;
        return;
    }
    connection.received.insert(connection.received.end(), buffer, buffer + got);
}

void LoopbackListener::Write(Connection& connection) {
    int sent = ::send(connection.socket, reinterpret_cast<const char*>(connection.pending.data()),
                      static_cast<int>(connection.pending.size()), 0);
    if (sent > 0)
        connection.pending.erase(connection.pending.begin(), connection.pending.begin() + sent);
    else if (::WSAGetLastError() != WSAEWOULDBLOCK)
        connection.pending.clear(); // the peer is gone; its read shows the end
}
