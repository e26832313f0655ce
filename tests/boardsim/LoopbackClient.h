// A TCP client on 127.0.0.1 whose reads all end at a deadline.
#pragma once

#include "RelayFrame.h"

#include <chrono>
#include <cstdint>
#include <vector>

using Deadline = std::chrono::steady_clock::time_point;

inline Deadline In(std::chrono::milliseconds ms) {
    return std::chrono::steady_clock::now() + ms;
}

// Milliseconds left until the deadline, for poll: 0 when passed, at most a minute.
int MsUntil(Deadline deadline);

class CLoopbackClient {
  public:
    // Connects to 127.0.0.1:port; IsConnected() tells whether it worked.
    explicit CLoopbackClient(std::uint16_t port);
    ~CLoopbackClient();
    CLoopbackClient(const CLoopbackClient&) = delete;
    CLoopbackClient& operator=(const CLoopbackClient&) = delete;

    bool IsConnected() const { return m_fd >= 0; }
    bool Send(const RelayFrame& frame);
    bool SendBytes(const std::vector<std::uint8_t>& bytes);

    // Up to `max` bytes that are there or arrive first; empty at the deadline or on close.
    std::vector<std::uint8_t> ReadSome(std::size_t max, Deadline deadline);
    // Exactly `count` bytes, or fewer if the deadline passes or the peer closes.
    std::vector<std::uint8_t> ReadExactly(std::size_t count, Deadline deadline);
    // One 8-byte frame; false when it did not arrive in time.
    bool ReadFrame(RelayFrame& frame, Deadline deadline);
    // Everything until the peer closes; `closed` says whether it did before the deadline.
    std::vector<std::uint8_t> ReadUntilClosed(Deadline deadline, bool& closed);

  private:
    int m_fd = -1;
};
