// The listening socket and the one connection served at a time, with the fault options.
#pragma once

#include "BoardOptions.h"
#include "BoardState.h"
#include "FrameLog.h"

#include <chrono>
#include <csignal>
#include <cstddef>

class CBoardServer {
  public:
    // stopRequested is set by the SIGINT/SIGTERM handler.
    CBoardServer(const BoardOptions& options, const volatile std::sig_atomic_t& stopRequested);
    ~CBoardServer();
    CBoardServer(const CBoardServer&) = delete;
    CBoardServer& operator=(const CBoardServer&) = delete;

    // Listens, prints "port N", serves until stopped; returns the exit status.
    int Run();

  private:
    using Clock = std::chrono::steady_clock;

    bool Listen();
    void Accept();
    void OnConnected();
    void ReadClient();
    void HandleFrame(const RelayFrame& frame);
    void SendAnswer();
    void Flood();
    bool SendAll(const std::uint8_t* data, std::size_t size);
    bool Pause(unsigned ms);
    void CloseClient(const char* why);
    void ToggleIfDue();
    int PollTimeoutMs() const;

    const BoardOptions& m_options;
    const volatile std::sig_atomic_t& m_stopRequested;
    CBoardState m_state;
    CFrameLog m_log;
    int m_listenFd = -1;
    int m_clientFd = -1;
    RelayFrame m_rxFrame{};
    std::size_t m_rxIndex = 0;
    unsigned m_framesThisConnection = 0;
    unsigned long m_answersSent = 0;
    Clock::time_point m_nextToggle;
};
