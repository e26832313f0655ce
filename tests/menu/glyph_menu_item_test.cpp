#include "GlyphMenuItem.h"

#include <gtest/gtest.h>

namespace {

TEST(GlyphMenuItemText, RoundTripsThroughCodePage936) {
    ASSERT_EQ(::GetACP(), 936u) << "tests expect LC_ALL=zh_CN.GBK under wine";
    struct Case {
        const char* ansi; // GBK bytes (the sources are compiled to GBK)
        const wchar_t* wide;
    };
    const Case cases[] = {
        {"打开文件(&O)\tCtrl+O", L"打开文件(&O)\tCtrl+O"},
        {"全部断开", L"全部断开"},
        {"Plain &ASCII", L"Plain &ASCII"},
        {"", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ansi);
        GlyphMenuItem item;
        item.SetTextAnsi(c.ansi);
        ASSERT_NE(item.m_text, nullptr);
        EXPECT_STREQ(item.m_text, c.wide);
        EXPECT_EQ(item.GetTextAnsi(), c.ansi);

        GlyphMenuItem fromWide;
        fromWide.SetTextWide(c.wide);
        EXPECT_EQ(fromWide.GetTextAnsi(), c.ansi);
    }
    GlyphMenuItem thai;
    thai.SetTextWide(L"A\u0E01B"); // a Thai letter has no GBK form
    EXPECT_EQ(thai.GetTextAnsi(), "A?B");
}

TEST(GlyphMenuItemText, KeepsItsOwnCopyAndNullMeansNoCaption) {
    wchar_t source[] = L"copy";
    GlyphMenuItem item;
    EXPECT_TRUE(item.GetTextAnsi().IsEmpty());
    item.SetTextWide(source);
    source[0] = L'X';
    EXPECT_STREQ(item.m_text, L"copy");

    item.SetTextAnsi(nullptr);
    EXPECT_EQ(item.m_text, nullptr);
    EXPECT_TRUE(item.GetTextAnsi().IsEmpty());
    item.SetTextWide(L"y");
    item.SetTextWide(nullptr);
    EXPECT_EQ(item.m_text, nullptr);
}

} // namespace
