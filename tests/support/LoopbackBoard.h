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
    // On a free port. A board that hung accepts, then never reads, writes nor closes.
    explicit LoopbackBoard(bool hung = false);
    ~LoopbackBoard(); // resets every connection still open
    LoopbackBoard(const LoopbackBoard&) = delete;
    LoopbackBoard& operator=(const LoopbackBoard&) = delete;

    u_short Port() const { return m_port; } // 0 when nothing could listen

    size_t ConnectionCount();
    Bytes Received(size_t connection);
    bool Ended(size_t connection); // the peer closed or reset it
    bool Send(size_t connection, const Bytes& bytes);
    void Close(size_t connection); // graceful: what was sent still arrives

  private:
    struct Connection {
        SOCKET socket;
        Bytes received;
        bool ended = false;
    };
    void Poll();

    SOCKET m_listen = INVALID_SOCKET;
    u_short m_port = 0;
    const bool m_hung;
    std::vector<Connection> m_connections;
};
