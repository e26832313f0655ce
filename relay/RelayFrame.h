// The 8-byte frame spoken with the relay board.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

inline constexpr std::size_t RELAY_FRAME_SIZE = 8;
inline constexpr std::uint8_t RELAY_FRAME_HEADER = 0x55;
inline constexpr std::uint8_t RELAY_BOARD_ADDRESS = 0x01;
inline constexpr int RELAY_CHANNEL_COUNT = 16;

// Command codes, byte 2 of a command frame.
inline constexpr std::uint8_t RELAY_CMD_QUERY = 0x10;
inline constexpr std::uint8_t RELAY_CMD_OFF = 0x11;
inline constexpr std::uint8_t RELAY_CMD_ON = 0x12;
inline constexpr std::uint8_t RELAY_CMD_SET_ALL = 0x13;

// Last known state of a channel, kept in its button's owner byte.
inline constexpr std::uint8_t CHANNEL_UNSET = 0;
inline constexpr std::uint8_t CHANNEL_OFF = 1;
inline constexpr std::uint8_t CHANNEL_ON = 2;

// Byte 0 header, 1 address, 2 command, 3..6 parameter (MSB first), 7 checksum.
using RelayFrame = std::array<std::uint8_t, RELAY_FRAME_SIZE>;

// Sum of bytes 0 to 6 modulo 256.
std::uint8_t RelayChecksum(const RelayFrame& frame);

// True when byte 7 equals the checksum; header, address and command are not examined.
bool RelayChecksumOk(const RelayFrame& frame);

// Header 0x55, the six bytes as given, then the checksum; the layout SendFrame sends.
RelayFrame BuildRelayFrame(std::uint8_t address, std::uint8_t command, std::uint8_t data0,
                           std::uint8_t data1, std::uint8_t data2, std::uint8_t data3);

// A command frame to address 0x01 with a 32-bit parameter, most significant byte first.
RelayFrame BuildRelayCommand(std::uint8_t command, std::uint32_t parameter);

// Bytes 3 to 6 as one 32-bit number, most significant byte first.
std::uint32_t RelayFrameParameter(const RelayFrame& frame);

// Channel states of a status frame: bit n-1 stands for channel n (byte 6 = channels 1..8,
// byte 5 = channels 9..16), a set bit means on.
std::uint16_t RelayStatusChannels(const RelayFrame& frame);

// Whether channel 1..16 is on in a status frame.
bool RelayStatusChannelOn(const RelayFrame& frame, int channel);

// The command a click on a channel sends: on when it is known to be off, otherwise off.
std::uint8_t RelayChannelCommand(std::uint8_t channelState);
