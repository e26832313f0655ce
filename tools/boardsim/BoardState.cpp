#include "BoardState.h"

#include "FrameLog.h"

#include <string>

CBoardState::CBoardState(std::uint16_t channels, std::FILE* display)
    : m_channels(channels), m_display(display) {}

bool CBoardState::ApplyCommand(const RelayFrame& frame) {
    const std::uint32_t parameter = RelayFrameParameter(frame);
    const bool validChannel = parameter >= 1 && parameter <= RELAY_CHANNEL_COUNT;
    const std::uint16_t bit = validChannel ? static_cast<std::uint16_t>(1u << (parameter - 1)) : 0;
    switch (frame[2]) {
    case RELAY_CMD_OFF:
        Set(static_cast<std::uint16_t>(m_channels & ~bit), "command");
        return true;
    case RELAY_CMD_ON:
        Set(static_cast<std::uint16_t>(m_channels | bit), "command");
        return true;
    case RELAY_CMD_SET_ALL:
        Set(static_cast<std::uint16_t>(parameter), "set all");
        return true;
    default:
        return false;
    }
}

void CBoardState::Toggle(int channel) {
    Set(static_cast<std::uint16_t>(m_channels ^ (1u << (channel - 1))), "by hand");
}

RelayFrame CBoardState::StatusFrame() const {
    return BuildRelayFrame(RELAY_BOARD_ADDRESS, RELAY_CMD_QUERY, 0, 0,
                           static_cast<std::uint8_t>(m_channels >> 8),
                           static_cast<std::uint8_t>(m_channels));
}

void CBoardState::Set(std::uint16_t channels, const char* cause) {
    const std::uint16_t changed = m_channels ^ channels;
    m_channels = channels;
    if (changed == 0)
        return;
    // Time of day only: the person watching wants to match it to the panel.
    const std::string time = LogTimestamp().substr(11);
    std::string picture;
    for (int channel = 1; channel <= RELAY_CHANNEL_COUNT; ++channel) {
        picture += (channels >> (channel - 1) & 1) ? '#' : '.';
        if (channel % 4 == 0 && channel < RELAY_CHANNEL_COUNT)
            picture += ' ';
    }
    for (int channel = 1; channel <= RELAY_CHANNEL_COUNT; ++channel) {
        if (changed >> (channel - 1) & 1)
            std::fprintf(m_display, "%s channel %d %s (%s)  [%s]\n", time.c_str(), channel,
                         (channels >> (channel - 1) & 1) ? "on" : "off", cause, picture.c_str());
    }
    std::fflush(m_display);
}
