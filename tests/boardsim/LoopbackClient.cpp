#include "LoopbackClient.h"

#include <algorithm>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

int MsUntil(Deadline deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    return static_cast<int>(std::clamp<long long>(left, 0, 60000));
}

CLoopbackClient::CLoopbackClient(std::uint16_t port) {
    m_fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (m_fd >= 0 && connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(m_fd);
        m_fd = -1;
    }
}

CLoopbackClient::~CLoopbackClient() {
    if (m_fd >= 0)
        close(m_fd);
}

bool CLoopbackClient::Send(const RelayFrame& frame) {
    return SendBytes({frame.begin(), frame.end()});
}

bool CLoopbackClient::SendBytes(const std::vector<std::uint8_t>& bytes) {
    return send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
           static_cast<ssize_t>(bytes.size());
}

std::vector<std::uint8_t> CLoopbackClient::ReadSome(std::size_t max, Deadline deadline) {
    std::vector<std::uint8_t> bytes(max);
    pollfd fd{m_fd, POLLIN, 0};
    if (poll(&fd, 1, MsUntil(deadline)) <= 0)
        return {};
    const ssize_t n = recv(m_fd, bytes.data(), max, 0);
    bytes.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return bytes;
}

std::vector<std::uint8_t> CLoopbackClient::ReadExactly(std::size_t count, Deadline deadline) {
    std::vector<std::uint8_t> bytes;
    while (bytes.size() < count) {
        const auto some = ReadSome(count - bytes.size(), deadline);
        if (some.empty())
            break;
        bytes.insert(bytes.end(), some.begin(), some.end());
    }
    return bytes;
}

bool CLoopbackClient::ReadFrame(RelayFrame& frame, Deadline deadline) {
    const auto bytes = ReadExactly(frame.size(), deadline);
    if (bytes.size() != frame.size())
        return false;
    std::copy(bytes.begin(), bytes.end(), frame.begin());
    return true;
}

std::vector<std::uint8_t> CLoopbackClient::ReadUntilClosed(Deadline deadline, bool& closed) {
    std::vector<std::uint8_t> bytes;
    closed = false;
    std::uint8_t buffer[4096];
    while (true) {
        pollfd fd{m_fd, POLLIN, 0};
        if (poll(&fd, 1, MsUntil(deadline)) <= 0)
            return bytes;
        const ssize_t n = recv(m_fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
            closed = true;
            return bytes;
        }
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
}
