#include "LoopbackBoard.h"

#include "BenchClock.h"

#include <chrono>

LoopbackBoard::LoopbackBoard() {
    m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = ::inet_addr("127.0.0.1");
    int length = sizeof address;
    if (m_listen == INVALID_SOCKET ||
        ::bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listen, 1) != 0 ||
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (m_listen != INVALID_SOCKET)
            ::closesocket(m_listen);
        m_listen = INVALID_SOCKET;
        return;
    }
    m_port = ::ntohs(address.sin_port);
}

LoopbackBoard::~LoopbackBoard() {
    if (m_client != INVALID_SOCKET) {
        ::shutdown(m_client, 2);
        ::closesocket(m_client);
    }
    if (m_reader.joinable())
        m_reader.join();
    if (m_listen != INVALID_SOCKET)
        ::closesocket(m_listen);
}

bool LoopbackBoard::Accept(DWORD timeoutMs) {
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(m_listen, &ready);
    timeval wait{static_cast<long>(timeoutMs / 1000), static_cast<long>(timeoutMs % 1000) * 1000};
    if (::select(0, &ready, nullptr, nullptr, &wait) != 1)
        return false;
    m_client = ::accept(m_listen, nullptr, nullptr);
    if (m_client == INVALID_SOCKET)
        return false;
    m_reader = std::thread(&LoopbackBoard::ReadFrames, this);
    return true;
}

bool LoopbackBoard::Send(const RelayFrame& frame) {
    return ::send(m_client, reinterpret_cast<const char*>(frame.data()),
                  static_cast<int>(frame.size()), 0) == static_cast<int>(frame.size());
}

void LoopbackBoard::ReadFrames() {
    RelayFrame frame{};
    std::size_t filled = 0;
    for (;;) {
        int n = ::recv(m_client, reinterpret_cast<char*>(frame.data() + filled),
                       static_cast<int>(frame.size() - filled), 0);
        if (n <= 0)
            return;
        filled += static_cast<std::size_t>(n);
        if (filled < frame.size())
            continue;
        filled = 0;
        const double at = NowUs();
        std::lock_guard lock(m_mutex);
        if (frame[2] == RELAY_CMD_QUERY)
            ++m_queries;
        else
            m_commands.push_back(at);
        m_arrived.notify_all();
    }
}

double LoopbackBoard::WaitCommand(DWORD timeoutMs) {
    std::unique_lock lock(m_mutex);
    if (!m_arrived.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                            [this] { return !m_commands.empty(); }))
        return -1;
    const double at = m_commands.front();
    m_commands.pop_front();
    return at;
}

bool LoopbackBoard::WaitQuery(DWORD timeoutMs) {
    std::unique_lock lock(m_mutex);
    return m_arrived.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [this] { return m_queries > 0; });
}
