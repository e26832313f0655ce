#include "rx_fuzz.h"

#include "RelayFrame.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

// Streams mixing whole good frames, noise bytes and pauses around the 10-tick edge,
// encoded for RunRxFuzzInput.
std::vector<std::uint8_t> RandomStream(std::mt19937& rng) {
    std::vector<std::uint8_t> events;
    auto pushByte = [&](std::uint8_t b) {
        events.push_back(0);
        events.push_back(b);
    };
    std::uniform_int_distribution<int> pick(0, 9), byte(0, 255), pause(0, 15);
    auto random = [&] { return static_cast<std::uint8_t>(byte(rng)); };
    const int parts = 1 + pick(rng) * 8;
    for (int p = 0; p < parts; ++p) {
        const int kind = pick(rng);
        if (kind < 4) {
            const RelayFrame frame =
                BuildRelayFrame(random(), random(), random(), random(), random(), random());
            for (std::uint8_t b : frame)
                pushByte(b);
        } else if (kind < 6) {
            pushByte(random());
        } else if (kind < 8) {
            events.push_back(1);
            events.push_back(static_cast<std::uint8_t>(pause(rng)));
        } else {
            for (int i = 0; i < pick(rng); ++i) {
                events.push_back(random());
                events.push_back(random());
            }
        }
    }
    return events;
}

TEST(RelayRxFuzz, RandomStreamsOnlyDeliverGoodFramesAndMatchTheModel) {
    std::size_t delivered = 0;
    for (unsigned seed = 1; seed <= 16; ++seed) {
        std::mt19937 rng(seed);
        for (int run = 0; run < 300; ++run) {
            const std::vector<std::uint8_t> events = RandomStream(rng);
            const RxFuzzResult result = RunRxFuzzInput(events.data(), events.size());
            ASSERT_EQ(result.failure, "") << "seed " << seed << " run " << run;
            delivered += result.framesDelivered;
        }
    }
    // The streams must reach the delivering path, not only the dropping one.
    EXPECT_GT(delivered, 1000u);
    // Unstructured input reaches the entry as well: nothing, or half an event.
    const std::uint8_t half[] = {0x00};
    EXPECT_EQ(LLVMFuzzerTestOneInput(nullptr, 0), 0);
    EXPECT_EQ(LLVMFuzzerTestOneInput(half, sizeof half), 0);
}

} // namespace
