#pragma once
// A stand-in relay board on 127.0.0.1 for tests and benchmarks. It has no
// thread: each call first takes the connections waiting to be accepted and
// reads what has arrived, closing a connection whose peer has closed it.

#include <winsock.h>

#include <cstdint>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

class LoopbackBoard {
  public:
    explicit LoopbackBoard(u_short port = 0); // 0 picks a free port
    ~LoopbackBoard();                         // resets every connection still open
    LoopbackBoard(const LoopbackBoard&) = delete;
    LoopbackBoard& operator=(const LoopbackBoard&) = delete;

    u_short Port() const { return m_port; } // 0 when nothing could listen
    static u_short ClosedPort();            // a loopback port nothing listens on

    size_t ConnectionCount();
    Bytes Received(size_t connection);
    bool Ended(size_t connection); // the peer closed or reset it
    bool Send(size_t connection, const Bytes& bytes);
    void Close(size_t connection); // graceful: what was sent still arrives
    // A board that hung: connections are still accepted, then neither read,
    // written nor closed.
    void Hang() { m_hung = true; }

  private:
    struct Connection {
        SOCKET socket;
        Bytes received;
        bool ended = false;
    };
    void Poll();

    SOCKET m_listen = INVALID_SOCKET;
    u_short m_port = 0;
    bool m_hung = false;
    std::vector<Connection> m_connections;
};
