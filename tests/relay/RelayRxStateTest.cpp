#include "RelayRxState.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

RelayFrame StatusFrame(std::uint16_t channels) {
    return BuildRelayFrame(0x01, RELAY_CMD_QUERY, 0, 0, static_cast<std::uint8_t>(channels >> 8),
                           static_cast<std::uint8_t>(channels));
}

// Feeds bytes with no tick between them; returns the frames delivered.
std::vector<RelayFrame> Push(CRelayRxState& rx, const std::vector<std::uint8_t>& bytes) {
    std::vector<RelayFrame> delivered;
    for (std::uint8_t b : bytes)
        if (rx.PushRxByte(b))
            delivered.push_back(rx.m_rxFrame);
    return delivered;
}

std::vector<std::uint8_t> Bytes(const RelayFrame& frame) {
    return {frame.begin(), frame.end()};
}

void Tick(CRelayRxState& rx, int ticks) {
    for (int i = 0; i < ticks; ++i)
        rx.TickRxTimeout();
}

TEST(RelayRxState, BytesBackToBackAreOneFramePerEight) {
    CRelayRxState rx;
    const RelayFrame first = StatusFrame(0x8005), second = StatusFrame(0x0001);
    std::vector<std::uint8_t> stream = Bytes(first);
    stream.insert(stream.end(), second.begin(), second.end());
    EXPECT_EQ(Push(rx, stream), (std::vector<RelayFrame>{first, second}));
    EXPECT_EQ(rx.m_rxIndex, 0);
    EXPECT_EQ(rx.m_rxTimeout, RELAY_RX_TIMEOUT_TICKS);
}

TEST(RelayRxState, PausesOfUpToNineTicksKeepThePartialFrame) {
    for (int pause = 0; pause <= 9; ++pause) {
        SCOPED_TRACE(pause);
        CRelayRxState rx;
        const RelayFrame status = StatusFrame(0x0101);
        bool complete = false;
        for (std::size_t i = 0; i < status.size(); ++i) {
            EXPECT_FALSE(complete);
            complete = rx.PushRxByte(status[i]);
            if (i + 1 < status.size())
                Tick(rx, pause);
        }
        EXPECT_TRUE(complete);
        EXPECT_EQ(rx.m_rxFrame, status);
    }
}

TEST(RelayRxState, TenQuietTicksDropThePartialFrame) {
    CRelayRxState rx;
    const RelayFrame stale = StatusFrame(0xFFFF);
    const RelayFrame status = StatusFrame(0x0003);
    EXPECT_TRUE(Push(rx, {stale.begin(), stale.begin() + 5}).empty());
    EXPECT_EQ(rx.m_rxIndex, 5);
    Tick(rx, 10);
    EXPECT_EQ(rx.m_rxTimeout, 0);

    // The byte after the pause is byte 0 of a new frame.
    EXPECT_FALSE(rx.PushRxByte(status[0]));
    EXPECT_EQ(rx.m_rxIndex, 1);
    EXPECT_EQ(rx.m_rxFrame[0], status[0]);
    EXPECT_EQ(Push(rx, {status.begin() + 1, status.end()}), std::vector<RelayFrame>{status});
}

TEST(RelayRxState, TimeoutStopsAtZero) {
    CRelayRxState rx;
    Tick(rx, 3);
    EXPECT_EQ(rx.m_rxTimeout, 0);
    rx.PushRxByte(0x55);
    Tick(rx, 25);
    EXPECT_EQ(rx.m_rxTimeout, 0);
}

TEST(RelayRxState, ChecksumOneOffIsDroppedAndTheNextGoodFrameApplies) {
    CRelayRxState rx;
    RelayFrame bad = StatusFrame(0x00FF);
    bad[7] = static_cast<std::uint8_t>(bad[7] + 1);
    const RelayFrame good = StatusFrame(0x0010);
    EXPECT_TRUE(Push(rx, Bytes(bad)).empty());
    EXPECT_EQ(rx.m_rxIndex, 0);
    EXPECT_EQ(Push(rx, Bytes(good)), std::vector<RelayFrame>{good});
}

TEST(RelayRxState, FrameOutOfStepIsDroppedUntilAPause) {
    CRelayRxState rx;
    const RelayFrame status = StatusFrame(0x1234);
    // One stray byte puts the stream out of step: both cuts fail their checksum.
    std::vector<std::uint8_t> stream{0x00};
    for (int i = 0; i < 2; ++i)
        stream.insert(stream.end(), status.begin(), status.end());
    EXPECT_TRUE(Push(rx, stream).empty());
    EXPECT_EQ(rx.m_rxIndex, 1);
    Tick(rx, 10);
    EXPECT_EQ(Push(rx, Bytes(status)).size(), 1u);
}

// No header is checked: 0x00 + 0xFE + 0x42 + 0x02 + 0x40 = 0x182.
TEST(RelayRxState, AnyHeaderWithRightChecksumIsDelivered) {
    CRelayRxState rx;
    const RelayFrame frame{0x00, 0xFE, 0x42, 0x00, 0x00, 0x02, 0x40, 0x82};
    EXPECT_EQ(Push(rx, Bytes(frame)), std::vector<RelayFrame>{frame});
}

} // namespace
