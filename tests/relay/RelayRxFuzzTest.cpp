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
    const int parts = 1 + pick(rng) * 8;
    for (int p = 0; p < parts; ++p) {
        switch (pick(rng)) {
        case 0:
        case 1:
        case 2:
        case 3: {
            const RelayFrame frame = BuildRelayFrame(
                static_cast<std::uint8_t>(byte(rng)), static_cast<std::uint8_t>(byte(rng)),
                static_cast<std::uint8_t>(byte(rng)), static_cast<std::uint8_t>(byte(rng)),
                static_cast<std::uint8_t>(byte(rng)), static_cast<std::uint8_t>(byte(rng)));
            for (std::uint8_t b : frame)
                pushByte(b);
            break;
        }
        case 4:
        case 5:
            pushByte(static_cast<std::uint8_t>(byte(rng)));
            break;
        case 6:
        case 7:
            events.push_back(1);
            events.push_back(static_cast<std::uint8_t>(pause(rng)));
            break;
        default:
            for (int i = 0; i < pick(rng); ++i) {
                events.push_back(static_cast<std::uint8_t>(byte(rng)));
                events.push_back(static_cast<std::uint8_t>(byte(rng)));
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
}

TEST(RelayRxFuzz, FuzzEntryTakesEdgeInputs) {
    const std::uint8_t odd[] = {0x00};
    EXPECT_EQ(LLVMFuzzerTestOneInput(nullptr, 0), 0);
    EXPECT_EQ(LLVMFuzzerTestOneInput(odd, sizeof odd), 0);

    std::mt19937 rng(42);
    std::uniform_int_distribution<int> byte(0, 255), length(0, 600);
    for (int run = 0; run < 2000; ++run) {
        std::vector<std::uint8_t> input(static_cast<std::size_t>(length(rng)));
        for (auto& b : input)
            b = static_cast<std::uint8_t>(byte(rng));
        EXPECT_EQ(LLVMFuzzerTestOneInput(input.data(), input.size()), 0);
    }
}

} // namespace
