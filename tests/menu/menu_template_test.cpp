#include "MenuTemplate.h"
#include "MenuTemplateBuilder.h"

#include <gtest/gtest.h>

namespace {

constexpr std::uint16_t kEnd = MenuTemplateBuilder::kEnd;
constexpr std::uint16_t kGrayed = 0x01;
constexpr std::uint16_t kChecked = 0x08;

// A copy in a buffer of exactly the given size, so the sanitizers see any
// read past its end.
std::optional<std::vector<MenuTemplateItem>> ReadExact(const std::vector<std::uint8_t>& bytes,
                                                       std::size_t size) {
    std::vector<std::uint8_t> exact(bytes.begin(), bytes.begin() + size);
    exact.shrink_to_fit();
    return ReadMenuTemplate(exact);
}

std::vector<std::uint8_t> NestedTemplate() {
    return MenuTemplateBuilder()
        .Popup(0, u"&File")
        .Item(0, 101, u"&Open\tCtrl+O")
        .Item(0, 0, u"")
        .Popup(kEnd, u"&More")
        .Popup(kEnd, u"&Deep")
        .Item(kEnd | kGrayed, 102, u"&Last")
        .Popup(kEnd, u"&Help")
        .Item(kEnd, 103, u"&About")
        .Bytes();
}

TEST(MenuTemplateReader, ReadsEveryItemOfWellFormedTemplates) {
    // Expected items as {flags, id, popup, levels closed, caption}.
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        std::vector<MenuTemplateItem> items;
    };
    const Case cases[] = {
        {"one item",
         MenuTemplateBuilder().Item(kEnd, 7, u"Only").Bytes(),
         {{0, 7, false, 1, u"Only"}}},
        // Each level closes on its last normal item, several at once.
        {"nested levels",
         NestedTemplate(),
         {{0x10, 0, true, 0, u"&File"},
          {0, 101, false, 0, u"&Open\tCtrl+O"},
          {0, 0, false, 0, u""},
          {0x10, 0, true, 0, u"&More"},
          {0x10, 0, true, 0, u"&Deep"},
          {kGrayed, 102, false, 3, u"&Last"},
          {0x10, 0, true, 0, u"&Help"},
          {0, 103, false, 2, u"&About"}}},
        {"state flags and non-ASCII captions",
         MenuTemplateBuilder()
             .Popup(kChecked, u"文件")
             .Item(kEnd | kGrayed | kChecked, 5, u"打开")
             .Item(kEnd, 6, u"x")
             .Bytes(),
         {{0x10 | kChecked, 0, true, 0, u"文件"},
          {kGrayed | kChecked, 5, false, 1, u"打开"},
          {0, 6, false, 1, u"x"}}},
        {"header offset skipped, bytes after the end ignored",
         MenuTemplateBuilder(6).Item(kEnd, 9, u"A").Raw(0xFF).Raw(0xFF).Bytes(),
         {{0, 9, false, 1, u"A"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto items = ReadMenuTemplate(c.bytes);
        ASSERT_TRUE(items);
        ASSERT_EQ(items->size(), c.items.size());
        for (std::size_t i = 0; i < c.items.size(); ++i) {
            SCOPED_TRACE(i);
            const MenuTemplateItem &got = (*items)[i], &want = c.items[i];
            EXPECT_EQ(got.popup, want.popup);
            EXPECT_EQ(got.flags, want.flags);
            EXPECT_EQ(got.id, want.id);
            EXPECT_EQ(got.caption, want.caption);
            EXPECT_EQ(got.levelsClosed, want.levelsClosed);
        }
    }
}

TEST(MenuTemplateReader, EveryTruncationFails) {
    const auto bytes = NestedTemplate();
    ASSERT_TRUE(ReadExact(bytes, bytes.size()));
    for (std::size_t size = 0; size < bytes.size(); ++size) {
        SCOPED_TRACE(size);
        EXPECT_FALSE(ReadExact(bytes, size));
    }
}

TEST(MenuTemplateReader, RejectsMalformedTemplates) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
    };
    const Case cases[] = {
        {"level never closed", MenuTemplateBuilder().Popup(0, u"P").Item(kEnd, 1, u"a").Bytes()},
        {"top level never closed", MenuTemplateBuilder().Item(0, 1, u"a").Item(0, 2, u"b").Bytes()},
        {"header offset past the end", MenuTemplateBuilder().Item(kEnd, 1, u"a").Bytes()},
        {"caption without terminator", MenuTemplateBuilder().Item(kEnd, 1, u"").Bytes()},
        {"odd byte after the last word", MenuTemplateBuilder().Raw(0x80).Bytes()},
        {"empty buffer", {}},
    };
    std::vector<Case> prepared(std::begin(cases), std::end(cases));
    prepared[2].bytes[2] = 0xF0; // offset 0xFFF0 (low byte)
    prepared[2].bytes[3] = 0xFF;
    prepared[3].bytes.resize(prepared[3].bytes.size() - 2);
    for (const Case& c : prepared) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(ReadExact(c.bytes, c.bytes.size()));
    }
}

} // namespace
