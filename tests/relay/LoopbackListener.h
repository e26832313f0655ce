// A stand-in board for the link tests: a TCP listener on 127.0.0.1 whose own
// thread accepts every connection, records what each one receives, and sends,
// streams or closes on request.
#pragma once

#include <winsock.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// A loopback port that nothing listens on (bound, then released).
u_short ClosedLoopbackPort();
sockaddr_in Loopback(u_short port);

class LoopbackListener {
  public:
    // port 0 picks a free one.
    explicit LoopbackListener(u_short port = 0);
    // Stops the thread and resets every connection still open.
    ~LoopbackListener();
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;

    bool IsListening() const { return m_listen != INVALID_SOCKET; }
    u_short Port() const { return m_port; }
    std::string Failure() const { return m_failure; }

    size_t ConnectionCount() const;
    Bytes Received(size_t connection) const;
    // The peer closed or reset the connection.
    bool Ended(size_t connection) const;

    void Send(size_t connection, const Bytes& bytes);
    // Closes gracefully once everything queued has gone out.
    void Close(size_t connection);

    // From now on every connection, once it has received its first 8 bytes,
    // gets an endless stream of StreamFrame(connection, 0), (connection, 1) ...
    void StartStreaming();
    static Bytes StreamFrame(size_t connection, std::uint16_t sequence);

    // Runs on the listener's thread when a connection's first 8 bytes are in,
    // before anyone can see them; it must not call back into the listener.
    void OnFirstFrame(std::function<void(size_t connection)> callback);

  private:
    struct Connection {
        SOCKET socket = INVALID_SOCKET;
        Bytes received;
        Bytes pending;
        bool ended = false;
        bool closeRequested = false;
        std::uint16_t nextSequence = 0;
    };

    void Run();
    void Accept();
    void Read(Connection& connection);
    void Write(Connection& connection);

    SOCKET m_listen = INVALID_SOCKET;
    u_short m_port = 0;
    std::string m_failure;
    mutable std::mutex m_lock;
    std::vector<Connection> m_connections;
    bool m_streaming = false;
    std::function<void(size_t)> m_onFirstFrame;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};
