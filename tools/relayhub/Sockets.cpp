#include "Sockets.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

bool MakeAddress(const std::string& host, std::uint16_t port, sockaddr_in& address,
                 std::string& error) {
    address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (inet_pton(AF_INET, host.c_str(), &address.sin_addr) == 1)
        return true;
    error = "not an IPv4 address: " + host;
    return false;
}

// Closes socket and returns -1 with the reason errno gives.
int Fail(int socket, std::string& error) {
    error = LastErrorText();
    if (socket >= 0)
        close(socket);
    return -1;
}

} // namespace

std::string LastErrorText() {
    return std::strerror(errno);
}

int ListenOn(const std::string& host, std::uint16_t port, std::uint16_t& bound,
             std::string& error) {
    sockaddr_in address{};
    if (!MakeAddress(host, port, address, error))
        return -1;
    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listener < 0)
        return Fail(listener, error);
    const int yes = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, 64) != 0)
        return Fail(listener, error);
    socklen_t length = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    bound = ntohs(address.sin_port);
    return listener;
}

int StartConnect(const std::string& host, std::uint16_t port, bool& inProgress,
                 std::string& error) {
    sockaddr_in address{};
    if (!MakeAddress(host, port, address, error))
        return -1;
    const int board = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (board < 0)
        return Fail(board, error);
    inProgress = connect(board, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0;
    if (inProgress && errno != EINPROGRESS)
        return Fail(board, error);
    return board;
}

std::string ConnectError(int socket) {
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        return LastErrorText();
    return error == 0 ? std::string() : std::strerror(error);
}

int AcceptOne(int listener, std::string& peer) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    const int client = accept4(listener, reinterpret_cast<sockaddr*>(&address), &length,
                               SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (client < 0)
        return -1;
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    peer = std::string(text) + ":" + std::to_string(ntohs(address.sin_port));
    return client;
}

void SetNoDelay(int socket) {
    const int yes = 1;
    setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
}

void SetSendBuffer(int socket, int bytes) {
    setsockopt(socket, SOL_SOCKET, SO_SNDBUF, &bytes, sizeof bytes);
}
