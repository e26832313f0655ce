#include "OsKind.h"

#include <gtest/gtest.h>

namespace {

constexpr std::uint32_t kNineX = 0x80000000u;

// The version word as the platform reports it: major version in the low byte,
// minor in the next, the 9x family bit on top.
constexpr std::uint32_t VersionWord(bool nineX, std::uint32_t major, std::uint32_t minor) {
    return (nineX ? kNineX : 0) | (minor << 8) | major;
}

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
        EXPECT_EQ(DecideOsKind(VersionWord(c.nineX, c.major, c.minor), c.extMajor, c.extMinor),
                  c.expected);
    }
}

} // namespace
