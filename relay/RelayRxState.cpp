#include "RelayRxState.h"

bool CRelayRxState::PushRxByte(std::uint8_t byte) {
    if (m_rxTimeout == 0)
        m_rxIndex = 0;
    m_rxTimeout = RELAY_RX_TIMEOUT_TICKS;
    if (m_rxIndex <= 7)
        m_rxFrame[m_rxIndex] = byte;
    if (m_rxIndex != 7) {
        ++m_rxIndex;
        return false;
    }
    m_rxIndex = 0;
    return RelayChecksumOk(m_rxFrame);
}

void CRelayRxState::TickRxTimeout() {
    if (m_rxTimeout > 0)
        --m_rxTimeout;
}
