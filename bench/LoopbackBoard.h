#pragma once
// A relay board on a loopback socket inside the benchmark's own process, so that the
// moment a frame leaves the board and the moment the panel shows it (or the moment a
// click reaches the panel and the moment its frame arrives) are read from one clock.

#include "RelayFrame.h"

#include <winsock.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

class LoopbackBoard {
  public:
    // Listens on 127.0.0.1, on a port the system picks.
    LoopbackBoard();
    ~LoopbackBoard();
    LoopbackBoard(const LoopbackBoard&) = delete;
    LoopbackBoard& operator=(const LoopbackBoard&) = delete;

    bool Listening() const { return m_listen != INVALID_SOCKET; }
    unsigned short Port() const { return m_port; }
    // Takes the panel's connection and starts reading its frames.
    bool Accept(DWORD timeoutMs);
    bool Send(const RelayFrame& frame);
    // Arrival time (µs) of the next frame other than a status query; negative on time-out.
    double WaitCommand(DWORD timeoutMs);
    // True once a status query has arrived.
    bool WaitQuery(DWORD timeoutMs);

  private:
    void ReadFrames();

    SOCKET m_listen = INVALID_SOCKET;
    SOCKET m_client = INVALID_SOCKET;
    unsigned short m_port = 0;
    std::thread m_reader;
    std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::deque<double> m_commands;
    int m_queries = 0;
};
