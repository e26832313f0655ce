#include "RelayFrame.h"

std::uint8_t RelayChecksum(const RelayFrame& frame) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < RELAY_FRAME_SIZE - 1; ++i)
        sum += frame[i];
    return static_cast<std::uint8_t>(sum);
}

bool RelayChecksumOk(const RelayFrame& frame) {
    return frame[RELAY_FRAME_SIZE - 1] == RelayChecksum(frame);
}

RelayFrame BuildRelayFrame(std::uint8_t address, std::uint8_t command, std::uint8_t data0,
                           std::uint8_t data1, std::uint8_t data2, std::uint8_t data3) {
    RelayFrame frame{RELAY_FRAME_HEADER, address, command, data0, data1, data2, data3, 0};
    frame[7] = RelayChecksum(frame);
    return frame;
}

RelayFrame BuildRelayCommand(std::uint8_t command, std::uint32_t parameter) {
    return BuildRelayFrame(RELAY_BOARD_ADDRESS, command, static_cast<std::uint8_t>(parameter >> 24),
                           static_cast<std::uint8_t>(parameter >> 16),
                           static_cast<std::uint8_t>(parameter >> 8),
                           static_cast<std::uint8_t>(parameter));
}

std::uint32_t RelayFrameParameter(const RelayFrame& frame) {
    return std::uint32_t{frame[3]} << 24 | std::uint32_t{frame[4]} << 16 |
           std::uint32_t{frame[5]} << 8 | frame[6];
}

std::uint16_t RelayStatusChannels(const RelayFrame& frame) {
    return static_cast<std::uint16_t>(frame[5] << 8 | frame[6]);
}

bool RelayStatusChannelOn(const RelayFrame& frame, int channel) {
    if (channel < 1 || channel > RELAY_CHANNEL_COUNT)
        return false;
    return (RelayStatusChannels(frame) >> (channel - 1) & 1) != 0;
}

std::uint8_t RelayChannelCommand(std::uint8_t channelState) {
    return channelState == CHANNEL_OFF ? RELAY_CMD_ON : RELAY_CMD_OFF;
}
