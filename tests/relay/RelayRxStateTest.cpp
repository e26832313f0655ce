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

TEST(RelayRxState, StartsEmpty) {
    const CRelayRxState rx;
    EXPECT_EQ(rx.m_rxIndex, 0);
    EXPECT_EQ(rx.m_rxTimeout, 0);
    EXPECT_EQ(rx.m_rxFrame, RelayFrame{});
}

TEST(RelayRxState, EightBytesBackToBackAreOneFrame) {
    CRelayRxState rx;
    const RelayFrame status = StatusFrame(0x8005);
    const auto delivered = Push(rx, Bytes(status));
    ASSERT_EQ(delivered.size(), 1u);
    EXPECT_EQ(delivered[0], status);
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
    const auto delivered = Push(rx, {status.begin() + 1, status.end()});
    ASSERT_EQ(delivered.size(), 1u);
    EXPECT_EQ(delivered[0], status);
}

TEST(RelayRxState, TimeoutStopsAtZero) {
    CRelayRxState rx;
    Tick(rx, 3);
    EXPECT_EQ(rx.m_rxTimeout, 0);
    rx.PushRxByte(0x55);
    Tick(rx, 25);
    EXPECT_EQ(rx.m_rxTimeout, 0);
}

TEST(RelayRxState, SixteenBytesBackToBackAreTwoFrames) {
    CRelayRxState rx;
    const RelayFrame first = StatusFrame(0x0001);
    const RelayFrame second = StatusFrame(0x8000);
    std::vector<std::uint8_t> stream = Bytes(first);
    stream.insert(stream.end(), second.begin(), second.end());
    const auto delivered = Push(rx, stream);
    ASSERT_EQ(delivered.size(), 2u);
    EXPECT_EQ(delivered[0], first);
    EXPECT_EQ(delivered[1], second);
}

TEST(RelayRxState, ChecksumOneOffIsDroppedAndTheNextGoodFrameApplies) {
    CRelayRxState rx;
    RelayFrame bad = StatusFrame(0x00FF);
    bad[7] = static_cast<std::uint8_t>(bad[7] + 1);
    const RelayFrame good = StatusFrame(0x0010);
    EXPECT_TRUE(Push(rx, Bytes(bad)).empty());
    EXPECT_EQ(rx.m_rxIndex, 0);
    const auto delivered = Push(rx, Bytes(good));
    ASSERT_EQ(delivered.size(), 1u);
    EXPECT_EQ(delivered[0], good);
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

TEST(RelayRxState, AnyHeaderWithRightChecksumIsDelivered) {
    CRelayRxState rx;
    RelayFrame frame{0x00, 0xFE, 0x42, 0x00, 0x00, 0x02, 0x40, 0};
    frame[7] = RelayChecksum(frame);
    const auto delivered = Push(rx, Bytes(frame));
    ASSERT_EQ(delivered.size(), 1u);
    EXPECT_EQ(RelayStatusChannels(delivered[0]), 0x0240);
}

} // namespace
