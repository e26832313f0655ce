// One relayctl command over a connected board: frames out, status frames in (reassembled
// and checked as the panel does), switching verified against the board's status.
#pragma once

#include "BoardSocket.h"
#include "CommandLine.h"
#include "RelayRxState.h"

#include <chrono>
#include <csignal>
#include <string>
#include <vector>

// Exit codes.
inline constexpr int RELAYCTL_DONE = 0;
inline constexpr int RELAYCTL_BAD_USAGE = 1;
inline constexpr int RELAYCTL_NO_LINK = 2;
inline constexpr int RELAYCTL_NOT_CONFIRMED = 3;

// Set by the interrupt handler: watch ends, waits stop.
extern volatile std::sig_atomic_t g_relayctlStop;

class CRelayCtl {
  public:
    // where: "host:port" for messages.
    CRelayCtl(CBoardSocket& socket, const CommandLine& line, std::string where);

    // Runs the command; the exit code.
    int Run();

  private:
    using Clock = std::chrono::steady_clock;

    bool SendFrame(const RelayFrame& frame);
    // The next good status frame into m_status; false at the deadline or when the link is gone.
    bool NextStatus(Clock::time_point deadline);
    // Waits for a status in which the channels of mask read as in wanted, querying again up
    // to three times; says why to stderr when it fails.
    int Confirm(std::uint16_t mask, std::uint16_t wanted);
    // Sends the frames, then waits for a status in which the channels of mask read as in
    // wanted (a switch with --no-verify does not wait) and prints it if asked.
    int Exchange(const std::vector<RelayFrame>& frames, std::uint16_t mask, std::uint16_t wanted,
                 bool print = true);
    int Watch();
    int LinkLost() const;
    void Print(const std::string& time = {}) const;

    CBoardSocket& m_socket;    // not owned
    const CommandLine& m_line; // not owned
    const std::string m_where;
    CRelayRxState m_rx;
    bool m_lost = false;
    std::uint16_t m_status = 0; // channels of the last good status frame
};
