// Reassembly of the board's byte stream into 8-byte status frames, with the time-out
// that drops a partial frame after a pause. The main dialog owns one.
#pragma once

#include "RelayFrame.h"

#include <cstdint>

// Quiet ticks of the 30 ms timer after which a partial frame is dropped.
inline constexpr std::uint8_t RELAY_RX_TIMEOUT_TICKS = 10;

class CRelayRxState {
  public:
    // Takes one received byte; true when m_rxFrame now holds a complete frame whose
    // checksum is right (the caller applies it as status).
    bool PushRxByte(std::uint8_t byte);

    // One tick of the 30 ms timer.
    void TickRxTimeout();

    RelayFrame m_rxFrame{};
    std::uint8_t m_rxIndex = 0;
    std::uint8_t m_rxTimeout = 0;
};
