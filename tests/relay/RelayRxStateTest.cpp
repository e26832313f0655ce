#include "RelayRxState.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

const RelayFrame kStatus = {0x55, 0x01, 0x10, 0x00, 0x00, 0x80, 0x05, 0xEB};
const RelayFrame kForeign = {0x00, 0xFE, 0x42, 0x00, 0x00, 0x02, 0x40, 0x82}; // any header
constexpr int kTick = -1;

// Events: a byte, or kTick for one tick of the 30 ms timer.
std::vector<int> Bytes(const RelayFrame& frame, int ticksBetween = 0) {
    std::vector<int> events;
    for (std::uint8_t b : frame) {
        if (!events.empty())
            events.insert(events.end(), ticksBetween, kTick);
        events.push_back(b);
    }
    return events;
}

std::vector<int> Join(std::initializer_list<std::vector<int>> parts) {
    std::vector<int> all;
    for (const std::vector<int>& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

TEST(RelayRxState, FramesFromBytesAndTicks) {
    RelayFrame oneOff = kStatus;
    ++oneOff[7];
    const std::vector<int> fiveBytes(kStatus.begin(), kStatus.begin() + 5);
    const struct {
        const char* what;
        std::vector<int> events;
        std::vector<RelayFrame> delivered;
    } cases[] = {
        {"back to back", Join({Bytes(kStatus), Bytes(kForeign)}), {kStatus, kForeign}},
        {"pauses of 9 ticks", Bytes(kStatus, 9), {kStatus}},
        {"a pause of 10 ticks", Join({fiveBytes, std::vector<int>(10, kTick), Bytes(kStatus)}),
         {kStatus}},
        {"ticks stop at zero", Join({fiveBytes, std::vector<int>(300, kTick), Bytes(kStatus)}),
         {kStatus}},
        {"checksum one off", Join({Bytes(oneOff), Bytes(kStatus)}), {kStatus}},
        {"out of step until a pause",
         Join({{0x00}, Bytes(kStatus), Bytes(kStatus), std::vector<int>(10, kTick),
               Bytes(kStatus)}),
         {kStatus}},
    };
    for (const auto& c : cases) {
        CRelayRxState rx;
        std::vector<RelayFrame> delivered;
        for (int event : c.events)
            if (event == kTick)
                rx.TickRxTimeout();
            else if (rx.PushRxByte(static_cast<std::uint8_t>(event)))
                delivered.push_back(rx.m_rxFrame);
        EXPECT_EQ(delivered, c.delivered) << c.what;
    }
}

} // namespace
