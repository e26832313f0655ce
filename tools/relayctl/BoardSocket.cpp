#include "BoardSocket.h"

#ifdef _WIN32
#include <cerrno>
#include <winsock2.h>
#include <ws2tcpip.h>

namespace {

using SocketLength = int;
constexpr int kConnectInProgress = WSAEWOULDBLOCK;
constexpr int kSendFlags = 0;

int LastSocketError() {
    return WSAGetLastError();
}
void CloseSocket(SOCKET socket) {
    closesocket(socket);
}
bool SetBlocking(SOCKET socket, bool blocking) {
    u_long nonBlocking = blocking ? 0 : 1;
    return ioctlsocket(socket, FIONBIO, &nonBlocking) == 0;
}
std::string ErrorText(int error) {
    char text[256] = {};
    DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       static_cast<DWORD>(error), 0, text, sizeof text, nullptr);
    while (length > 0 &&
           (text[length - 1] == '\r' || text[length - 1] == '\n' || text[length - 1] == '.'))
        --length;
    return length > 0 ? std::string(text, length) : "Winsock error " + std::to_string(error);
}

} // namespace

CBoardSocket::CBoardSocket() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
}

CBoardSocket::~CBoardSocket() {
    if (m_socket != -1)
        CloseSocket(static_cast<SOCKET>(m_socket));
    WSACleanup();
}

#else
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using SOCKET = int;
using SocketLength = socklen_t;
constexpr SOCKET INVALID_SOCKET = -1;
constexpr int kConnectInProgress = EINPROGRESS;
// A board that has gone must give an error, not SIGPIPE.
constexpr int kSendFlags = MSG_NOSIGNAL;

int LastSocketError() {
    return errno;
}
void CloseSocket(SOCKET socket) {
    close(socket);
}
bool SetBlocking(SOCKET socket, bool blocking) {
    const int flags = fcntl(socket, F_GETFL);
    return flags >= 0 &&
           fcntl(socket, F_SETFL, blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK) == 0;
}
std::string ErrorText(int error) {
    return std::strerror(error);
}

} // namespace

CBoardSocket::CBoardSocket() = default;

CBoardSocket::~CBoardSocket() {
    if (m_socket != -1)
        CloseSocket(static_cast<SOCKET>(m_socket));
}

#endif

namespace {

// Waits until the socket is readable (or, for a connect, writable or failed): the
// select() result.
int WaitFor(SOCKET socket, bool forConnect, int waitMs) {
    fd_set ready, failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(socket, &ready);
    FD_SET(socket, &failed);
    timeval wait{waitMs / 1000, waitMs % 1000 * 1000};
    const int highest = static_cast<int>(socket) + 1; // Winsock ignores it
    return forConnect ? select(highest, nullptr, &ready, &failed, &wait)
                      : select(highest, &ready, nullptr, nullptr, &wait);
}

} // namespace

bool CBoardSocket::Connect(const std::string& host, std::uint16_t port, int timeoutMs) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1) {
        m_error = "not an IPv4 address";
        return false;
    }
    const SOCKET socket = ::socket(AF_INET, SOCK_STREAM, 0);
    if (socket == INVALID_SOCKET) {
        m_error = ErrorText(LastSocketError());
        return false;
    }
    m_socket = static_cast<std::intptr_t>(socket);
    if (!SetBlocking(socket, false)) {
        m_error = ErrorText(LastSocketError());
        return false;
    }
    if (connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (LastSocketError() != kConnectInProgress) {
            m_error = ErrorText(LastSocketError());
            return false;
        }
        const int ready = WaitFor(socket, true, timeoutMs);
        if (ready == 0) {
            m_error = "no answer within " + std::to_string(timeoutMs) + " ms";
            return false;
        }
        int error = 0;
        SocketLength length = sizeof error;
        if (ready < 0)
            error = LastSocketError();
        else
            getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length);
        if (error != 0) {
            m_error = ErrorText(error);
            return false;
        }
    }
    return SetBlocking(socket, true);
}

bool CBoardSocket::Send(const std::uint8_t* data, std::size_t size) {
    const SOCKET socket = static_cast<SOCKET>(m_socket);
    while (size > 0) {
        const auto sent =
            send(socket, reinterpret_cast<const char*>(data), static_cast<int>(size), kSendFlags);
        if (sent <= 0) {
            m_error = ErrorText(LastSocketError());
            return false;
        }
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

int CBoardSocket::ReceiveByte(std::uint8_t& byte, int waitMs) {
    const SOCKET socket = static_cast<SOCKET>(m_socket);
    const int ready = WaitFor(socket, false, waitMs);
    // A signal ends the wait as if nothing came; the caller looks at its stop flag.
    if (ready == 0 || (ready < 0 && LastSocketError() == EINTR))
        return 0;
    const auto got = ready < 0 ? -1 : recv(socket, reinterpret_cast<char*>(&byte), 1, 0);
    if (got == 1)
        return 1;
    m_error = got == 0 ? "closed by the board" : ErrorText(LastSocketError());
    return -1;
}
