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

constexpr std::uint16_t kEnd = MenuTemplateBuilder::kEnd;

// A copy of exactly the given size, so the sanitizers see any read past its end.
std::optional<std::vector<MenuTemplateItem>> ReadExact(const std::vector<std::uint8_t>& bytes,
                                                       std::size_t size) {
    std::vector<std::uint8_t> exact(bytes.begin(), bytes.begin() + static_cast<long>(size));
    exact.shrink_to_fit();
    return ReadMenuTemplate(exact);
}

const std::vector<std::uint8_t> kNested = MenuTemplateBuilder()
                                              .Popup(0x08, u"&File")
                                              .Item(0, 101, u"&Open\tCtrl+O")
                                              .Item(0, 0, u"")
                                              .Popup(kEnd, u"&More")
                                              .Popup(kEnd, u"&Deep")
                                              .Item(kEnd | 0x01, 102, u"打开")
                                              .Popup(kEnd, u"&Help")
                                              .Item(kEnd, 103, u"&About")
                                              .Raw(0xFF)
                                              .Bytes();

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
        SCOPED_TRACE(i);
        EXPECT_EQ(std::tie(got.flags, got.id, got.popup, got.levelsClosed, got.caption),
                  std::tie(want.flags, want.id, want.popup, want.levelsClosed, want.caption));
    }
    const auto skipped = ReadMenuTemplate(MenuTemplateBuilder(6).Item(kEnd, 9, u"A").Bytes());
    ASSERT_TRUE(skipped);
    EXPECT_EQ(skipped->at(0).id, 9) << "the header's offset is skipped";
}

TEST(MenuTemplateReader, RejectsEveryTruncationAndMalformedTemplates) {
    const std::size_t full = kNested.size() - 1; // without the trailing byte
    ASSERT_TRUE(ReadExact(kNested, full));
    for (std::size_t size = 0; size < full; ++size)
        EXPECT_FALSE(ReadExact(kNested, size)) << size;

    auto offsetPastEnd = MenuTemplateBuilder().Item(kEnd, 1, u"a").Bytes();
    offsetPastEnd[2] = 0xF0;
    offsetPastEnd[3] = 0xFF;
    for (const auto& bytes : {MenuTemplateBuilder().Popup(0, u"P").Item(kEnd, 1, u"a").Bytes(),
                              MenuTemplateBuilder().Item(0, 1, u"a").Item(0, 2, u"b").Bytes(),
                              offsetPastEnd})
        EXPECT_FALSE(ReadExact(bytes, bytes.size()));
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
    const Case cases[] = {
        {true, 3, 95, 3, 95, OS_WIN32S},  {true, 3, 10, 4, 10, OS_WIN32S},
        {true, 4, 0, 4, 0, OS_WIN95},     {true, 5, 0, 5, 0, OS_WIN95},
        {true, 4, 10, 4, 10, OS_WIN98},   {true, 4, 90, 4, 90, OS_WINME},
        {true, 4, 10, 0, 0, OS_WIN95},    {false, 3, 51, 3, 51, OS_NT_OTHER},
        {false, 4, 0, 4, 0, OS_NT4},      {false, 4, 90, 4, 90, OS_NT4},
        {false, 5, 0, 5, 0, OS_WIN2000},  {false, 5, 1, 5, 1, OS_WINXP},
        {false, 5, 2, 5, 2, OS_NT_OTHER}, {false, 6, 0, 6, 0, OS_NT_OTHER},
        {false, 5, 1, 0, 0, OS_NT_OTHER},
    };
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

constexpr std::uint32_t Rgb(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return r | (g << 8) | (b << 16);
}

TEST(LightenColor, EachChannelTruncatedAndFractionsOutsideTheRangeIgnored) {
    struct Case {
        std::uint32_t color;
        double fraction;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {Rgb(10, 20, 30), 0.0, Rgb(10, 20, 30)},
        {Rgb(10, 20, 30), -0.5, Rgb(10, 20, 30)},
        {Rgb(10, 20, 30), 1.5, Rgb(10, 20, 30)},
        {Rgb(10, 20, 30), std::nan(""), Rgb(10, 20, 30)},
        {Rgb(10, 20, 30), 1.0, Rgb(255, 255, 255)},
        {Rgb(128, 0, 255), 0.5, Rgb(191, 127, 255)}, // 128 + 63.5, truncated
        {Rgb(0, 128, 0), 0.5, Rgb(127, 191, 127)},
        {Rgb(0, 0, 128), 0.5, Rgb(127, 127, 191)},
        {0x02000000u | Rgb(100, 100, 100), 0.3, Rgb(146, 146, 146)}, // top byte cleared
    };
    for (const Case& c : cases)
        EXPECT_EQ(LightenRgb(c.color, c.fraction), c.expected) << std::hex << c.color << " by "
                                                               << c.fraction;
}

} // namespace
