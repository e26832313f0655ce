// The portable rules behind the menu's look: the OS kind from the version
// numbers, the classic theme's name, and how colours are lightened.
#include "ClassicTheme.h"
#include "LightenColor.h"
#include "OsKind.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// The extended version (ext) decides; a 9x word below 4 ignores it, and a failed
// extended query (0.0) falls back to the family default.
TEST(OsKindDecision, EveryKindAndItsEdges) {
    struct Case {
        bool nineX;
        std::uint32_t major, minor;
        std::uint32_t extMajor, extMinor;
        OsKind expected;
    };
    const Case cases[] = {
        {true, 3, 95, 3, 95, OS_WIN32S},  {true, 0, 0, 0, 0, OS_WIN32S},
        {true, 4, 0, 4, 0, OS_WIN95},     {true, 4, 3, 4, 3, OS_WIN95},
        {true, 5, 0, 5, 0, OS_WIN95},     {true, 4, 10, 4, 10, OS_WIN98},
        {true, 4, 90, 4, 90, OS_WINME},   {false, 3, 51, 3, 51, OS_NT_OTHER},
        {false, 4, 0, 4, 0, OS_NT4},      {false, 4, 90, 4, 90, OS_NT4},
        {false, 5, 0, 5, 0, OS_WIN2000},  {false, 5, 1, 5, 1, OS_WINXP},
        {false, 5, 2, 5, 2, OS_NT_OTHER}, {false, 6, 0, 6, 0, OS_NT_OTHER},
        {false, 6, 1, 6, 1, OS_NT_OTHER}, {false, 10, 0, 10, 0, OS_NT_OTHER},
        {false, 0, 0, 0, 0, OS_NT_OTHER}, {true, 3, 10, 4, 10, OS_WIN32S},
        {false, 5, 1, 0, 0, OS_NT_OTHER}, {true, 4, 10, 0, 0, OS_WIN95},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.nineX ? "9x " : "NT ") << c.major << '.' << c.minor
                                        << " ext " << c.extMajor << '.' << c.extMinor);
        // The version word: major in the low byte, minor in the next, the 9x bit on top.
        const std::uint32_t word = (c.nineX ? 0x80000000u : 0) | (c.minor << 8) | c.major;
        EXPECT_EQ(DecideOsKind(word, c.extMajor, c.extMinor), c.expected);
    }
}

TEST(ClassicThemeName, RecognisesTheClassicThemeFileOnly) {
    struct Case {
        const char* value;
        bool classic;
    };
    const Case cases[] = {
        {"Windows Classic.theme", true},
        {"c:\\windows\\resources\\themes\\windows classic.theme", true},
        {"C:\\WINDOWS\\RESOURCES\\THEMES\\WINDOWS CLASSIC.THEME", true},
        {"indows Classic.theme", false}, // 20 characters
        {"", false},
        {"C:\\WINDOWS\\Resources\\Themes\\Luna.theme", false},
        {"Windows Classic.theme.bak", false},
        {"Windows_Classic.theme", false},
        {"Windows Classic.themf", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(IsClassicThemeName(c.value), c.classic);
    }
}

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
        {0x02000000u | Rgb(128, 128, 128), 0.5, Rgb(191, 191, 191)}, // top byte cleared
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.colour << " by " << c.fraction);
        EXPECT_EQ(LightenRgb(c.colour, c.fraction), c.expected);
    }
}

} // namespace
