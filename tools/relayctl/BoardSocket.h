// One TCP connection to the board: relayctl's socket layer, the same for POSIX sockets
// and Winsock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class CBoardSocket {
  public:
    CBoardSocket();
    ~CBoardSocket();
    CBoardSocket(const CBoardSocket&) = delete;
    CBoardSocket& operator=(const CBoardSocket&) = delete;

    // Connects to an IPv4 address within timeoutMs (a non-blocking connect, so an address
    // where nothing answers fails in time); on failure LastError() says why.
    bool Connect(const std::string& host, std::uint16_t port, int timeoutMs);
    bool Send(const std::uint8_t* data, std::size_t size);
    // Waits up to waitMs for one byte: 1 one byte read, 0 none came (or a signal came),
    // -1 the connection is gone.
    int ReceiveByte(std::uint8_t& byte, int waitMs);

    const std::string& LastError() const { return m_error; }

  private:
    std::intptr_t m_socket = -1; // a SOCKET on Windows, a file descriptor elsewhere
    std::string m_error;
};
