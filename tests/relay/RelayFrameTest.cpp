#include "RelayFrame.h"

#include <gtest/gtest.h>

namespace {

struct WireFrame {
    const char* meaning;
    std::uint8_t command;
    std::uint32_t parameter;
    RelayFrame wire;
};

// Every frame the panel sends, as it goes on the wire.
const WireFrame kWireFrames[] = {
    {"query status", RELAY_CMD_QUERY, 0, {0x55, 0x01, 0x10, 0x00, 0x00, 0x00, 0x00, 0x66}},
    {"channel 1 off", RELAY_CMD_OFF, 1, {0x55, 0x01, 0x11, 0x00, 0x00, 0x00, 0x01, 0x68}},
    {"channel 1 on", RELAY_CMD_ON, 1, {0x55, 0x01, 0x12, 0x00, 0x00, 0x00, 0x01, 0x69}},
    {"channel 16 off", RELAY_CMD_OFF, 16, {0x55, 0x01, 0x11, 0x00, 0x00, 0x00, 0x10, 0x77}},
    {"channel 16 on", RELAY_CMD_ON, 16, {0x55, 0x01, 0x12, 0x00, 0x00, 0x00, 0x10, 0x78}},
    {"all on", RELAY_CMD_SET_ALL, 0xFFFFFFFF, {0x55, 0x01, 0x13, 0xFF, 0xFF, 0xFF, 0xFF, 0x65}},
    {"all off", RELAY_CMD_SET_ALL, 0, {0x55, 0x01, 0x13, 0x00, 0x00, 0x00, 0x00, 0x69}},
    // Overview, "Road of one click".
    {"channel 5 on", RELAY_CMD_ON, 5, {0x55, 0x01, 0x12, 0x00, 0x00, 0x00, 0x05, 0x6D}},
    {"channel 5 off", RELAY_CMD_OFF, 5, {0x55, 0x01, 0x11, 0x00, 0x00, 0x00, 0x05, 0x6C}},
};

TEST(RelayFrame, EveryCommandFrameByteForByte) {
    for (const WireFrame& f : kWireFrames) {
        SCOPED_TRACE(f.meaning);
        EXPECT_EQ(BuildRelayCommand(f.command, f.parameter), f.wire);
        EXPECT_EQ(BuildRelayFrame(0x01, f.command, f.wire[3], f.wire[4], f.wire[5], f.wire[6]),
                  f.wire);
        EXPECT_TRUE(RelayChecksumOk(f.wire));
        EXPECT_EQ(RelayFrameParameter(f.wire), f.parameter);
    }
}

// The low byte of the sum: 7 * 0xFF = 0x6F9; one off either way is rejected.
TEST(RelayFrame, ChecksumDropsTheCarryAndOneOffIsRejected) {
    EXPECT_EQ(RelayChecksum(RelayFrame{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0}), 0xF9);
    RelayFrame frame{0x55, 0x01, 0x12, 0x00, 0x00, 0x00, 0x05, 0x6E};
    EXPECT_FALSE(RelayChecksumOk(frame));
    frame[7] = 0x6C;
    EXPECT_FALSE(RelayChecksumOk(frame));
}

TEST(RelayFrame, StatusBitsMapToChannels) {
    const RelayFrame frame{0x55, 0x01, 0x10, 0x00, 0x00, 0x80, 0x05, 0xEB};
    EXPECT_EQ(RelayStatusChannels(frame), 0x8005);
    for (int channel = 1; channel <= RELAY_CHANNEL_COUNT; ++channel) {
        const bool on = channel == 1 || channel == 3 || channel == 16;
        EXPECT_EQ(RelayStatusChannelOn(frame, channel), on) << "channel " << channel;
    }
    EXPECT_FALSE(RelayStatusChannelOn(frame, 0));
    EXPECT_FALSE(RelayStatusChannelOn(frame, 17));

    // Any header with a right checksum counts as a status.
    const RelayFrame foreign{0xAA, 0x07, 0x99, 0x12, 0x34, 0x00, 0x04, 0x94};
    EXPECT_TRUE(RelayChecksumOk(foreign));
    EXPECT_EQ(RelayStatusChannels(foreign), 0x0004);
}

TEST(RelayFrame, ChannelCommandIsOnOnlyWhenKnownOff) {
    EXPECT_EQ(RelayChannelCommand(CHANNEL_OFF), RELAY_CMD_ON);
    EXPECT_EQ(RelayChannelCommand(CHANNEL_ON), RELAY_CMD_OFF);
    EXPECT_EQ(RelayChannelCommand(CHANNEL_UNSET), RELAY_CMD_OFF);
    EXPECT_EQ(RelayChannelCommand(7), RELAY_CMD_OFF);
}

} // namespace
