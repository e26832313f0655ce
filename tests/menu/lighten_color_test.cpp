#include "LightenColor.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr std::uint32_t Rgb(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return r | (g << 8) | (b << 16);
}

TEST(LightenColor, Table) {
    struct Case {
        std::uint32_t colour;
        double fraction;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {Rgb(10, 20, 30), 0.0, Rgb(10, 20, 30)},
        {Rgb(10, 20, 30), -0.5, Rgb(10, 20, 30)},
        {Rgb(10, 20, 30), 1.5, Rgb(10, 20, 30)},
        {Rgb(10, 20, 30), std::nan(""), Rgb(10, 20, 30)},
        {Rgb(10, 20, 30), 1.0, Rgb(255, 255, 255)},
        // 128 + 63.5 = 191.5, truncated; each channel on its own.
        {Rgb(128, 0, 255), 0.5, Rgb(191, 127, 255)},
        {Rgb(0, 128, 0), 0.5, Rgb(127, 191, 127)},
        {Rgb(0, 0, 128), 0.5, Rgb(127, 127, 191)},
        // 100 + 0.3 * 155 = 146.5
        {Rgb(100, 100, 100), 0.3, Rgb(146, 146, 146)},
        {Rgb(0, 0, 0), 0.25, Rgb(63, 63, 63)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.colour << " by " << c.fraction);
        EXPECT_EQ(LightenRgb(c.colour, c.fraction), c.expected);
    }
}

TEST(LightenColor, TopByteIsCleared) {
    EXPECT_EQ(LightenRgb(0x02000000u | Rgb(128, 128, 128), 0.5), Rgb(191, 191, 191));
}

} // namespace
