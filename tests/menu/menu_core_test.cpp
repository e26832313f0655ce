// The portable parts of the menu: the template reader, the OS kind from the
// version numbers, the classic theme's name and the colour tints.
#include "ClassicTheme.h"
#include "LightenColor.h"
#include "MenuTemplate.h"
#include "MenuTemplateBuilder.h"
#include "OsKind.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

namespace {

// Each level closes on its last normal item, several at once.
// clang-format off
const std::vector<std::uint8_t> kNested = MenuTemplate({
    {0x18, 0, u"&File"}, {0, 101, u"&Open\tCtrl+O"}, {0, 0, u""}, {0x90, 0, u"&More"}, {0x90, 0, u"&Deep"},
    {0x81, 102, u"打开"}, {0x90, 0, u"&Help"}, {0x80, 103, u"&About"}});
// clang-format on

TEST(MenuTemplateReader, ReadsEveryItemAndClosesSeveralLevelsAtOnce) {
    const auto items = ReadMenuTemplate(kNested);
    ASSERT_TRUE(items);
    const MenuTemplateItem expected[] = {
        {0x18, 0, true, 0, u"&File"}, {0, 101, false, 0, u"&Open\tCtrl+O"},
        {0, 0, false, 0, u""},        {0x10, 0, true, 0, u"&More"},
        {0x10, 0, true, 0, u"&Deep"}, {0x01, 102, false, 3, u"打开"},
        {0x10, 0, true, 0, u"&Help"}, {0, 103, false, 2, u"&About"}};
    ASSERT_EQ(items->size(), std::size(expected));
    for (std::size_t i = 0; i < items->size(); ++i) {
        const MenuTemplateItem &got = (*items)[i], &want = expected[i];
        EXPECT_EQ(std::tie(got.flags, got.id, got.popup, got.levelsClosed, got.caption),
                  std::tie(want.flags, want.id, want.popup, want.levelsClosed, want.caption))
            << i;
    }
    EXPECT_EQ(ReadMenuTemplate(MenuTemplate({{0x80, 9, u"A"}}, 6))->at(0).id, 9)
        << "the header's offset is skipped";
}

// Every truncation (each copied to a buffer of exactly its size, so the sanitizers
// see a read past the end), a level left open and an offset past the end fail.
TEST(MenuTemplateReader, RejectsTruncatedAndMalformedTemplates) {
    for (std::size_t size = 0; size <= kNested.size(); ++size) {
        std::vector<std::uint8_t> exact(kNested.begin(), kNested.begin() + static_cast<long>(size));
        exact.shrink_to_fit();
        EXPECT_EQ(ReadMenuTemplate(exact).has_value(), size == kNested.size()) << size;
    }
    auto offsetPastEnd = MenuTemplate({{0x80, 1, u"a"}});
    offsetPastEnd[2] = offsetPastEnd[3] = 0xFF;
    for (const auto& bytes : {MenuTemplate({{0x10, 0, u"P"}, {0x80, 1, u"a"}}),
                              MenuTemplate({{0, 1, u"a"}, {0, 2, u"b"}}), offsetPastEnd})
        EXPECT_FALSE(ReadMenuTemplate(bytes));
}

// The version word has the major version in its low byte, the minor in the next
// and the 9x bit on top; the extended version decides, and a failed extended query
// (0.0) falls back to the family's default.
TEST(OsKindDecision, EveryKindAndItsEdges) {
    struct Case {
        bool nineX;
        std::uint32_t major, minor, extMajor, extMinor;
        OsKind expected;
    };
    // clang-format off
    const Case cases[] = {
        {true, 3, 95, 3, 95, OS_WIN32S}, {true, 3, 10, 4, 10, OS_WIN32S}, {true, 4, 0, 4, 0, OS_WIN95},
        {true, 5, 0, 5, 0, OS_WIN95}, {true, 4, 10, 4, 10, OS_WIN98}, {true, 4, 90, 4, 90, OS_WINME},
        {true, 4, 10, 0, 0, OS_WIN95}, {false, 3, 51, 3, 51, OS_NT_OTHER}, {false, 4, 0, 4, 0, OS_NT4},
        {false, 4, 90, 4, 90, OS_NT4}, {false, 5, 0, 5, 0, OS_WIN2000}, {false, 5, 1, 5, 1, OS_WINXP},
        {false, 5, 2, 5, 2, OS_NT_OTHER}, {false, 6, 0, 6, 0, OS_NT_OTHER}, {false, 5, 1, 0, 0, OS_NT_OTHER}};
    // clang-format on
    for (const Case& c : cases) {
        const std::uint32_t word = (c.nineX ? 0x80000000u : 0) | (c.minor << 8) | c.major;
        EXPECT_EQ(DecideOsKind(word, c.extMajor, c.extMinor), c.expected)
            << (c.nineX ? "9x " : "NT ") << c.extMajor << '.' << c.extMinor;
    }
}

TEST(ClassicThemeName, TheClassicThemeFileInAnyCaseOnly) {
    EXPECT_TRUE(IsClassicThemeName("Windows Classic.theme"));
    EXPECT_TRUE(IsClassicThemeName("c:\\windows\\resources\\themes\\windows classic.theme"));
    EXPECT_TRUE(IsClassicThemeName("C:\\THEMES\\WINDOWS CLASSIC.THEME"));
    for (const char* other : {"indows Classic.theme", "", "C:\\Themes\\Luna.theme",
                              "Windows Classic.theme.bak", "Windows_Classic.theme"})
        EXPECT_FALSE(IsClassicThemeName(other)) << other;
}

// Colours are 0x00BBGGRR.
TEST(LightenColor, EachChannelTruncatedAndFractionsOutsideTheRangeIgnored) {
    for (double fraction : {0.0, -0.5, 1.5, std::nan("")})
        EXPECT_EQ(LightenRgb(0x1E140A, fraction), 0x1E140Au) << fraction;
    EXPECT_EQ(LightenRgb(0x1E140A, 1.0), 0xFFFFFFu);
    EXPECT_EQ(LightenRgb(0xFF0080, 0.5), 0xFF7FBFu) << "128 + 63.5, truncated";
    EXPECT_EQ(LightenRgb(0x008000, 0.5), 0x7FBF7Fu);
    EXPECT_EQ(LightenRgb(0x02646464, 0.3), 0x929292u) << "the top byte cleared";
}

} // namespace
