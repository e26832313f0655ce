#include "DeleteRecorder.h"
#include "GlyphMenu.h"
#include "MenuTreeQueries.h"
#include "menu_test_ids.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>

namespace {

// Checks that each caption with a tab was padded with spaces just far enough
// to reach the widest left part plus one space, and nothing else changed.
void ExpectAligned(const GlyphMenu& menu, const std::vector<std::string>& original) {
    const MenuFontRuler ruler;
    ASSERT_EQ(menu.m_items.GetSize(), static_cast<INT_PTR>(original.size()));
    LONG target = -1;
    for (const std::string& text : original)
        target = std::max(target, ruler.Width(text.substr(0, text.find('\t')) + " "));
    for (std::size_t i = 0; i < original.size(); ++i) {
        SCOPED_TRACE(original[i]);
        const std::string now = TextOf(RecordAt(menu, static_cast<INT_PTR>(i)));
        const std::size_t tab = original[i].find('\t');
        if (tab == std::string::npos) {
            EXPECT_EQ(now, original[i]);
            continue;
        }
        const std::size_t newTab = now.find('\t');
        ASSERT_NE(newTab, std::string::npos);
        EXPECT_EQ(now.substr(newTab), original[i].substr(tab)) << "the part from the tab on";
        const std::string left = now.substr(0, newTab);
        ASSERT_GT(left.size(), tab) << "at least one space is added";
        EXPECT_EQ(left.substr(0, tab), original[i].substr(0, tab));
        EXPECT_EQ(left.find_first_not_of(' ', tab), std::string::npos) << "only spaces are added";
        EXPECT_GE(ruler.Width(left), target);
        EXPECT_LT(ruler.Width(left.substr(0, left.size() - 1)), target) << "no more than needed";
    }
}

TEST(GlyphMenuLoad, ByNameAndMissingResources) {
    GlyphMenu menu;
    EXPECT_TRUE(menu.LoadMenu("NAMEDMENU"));
    ASSERT_EQ(menu.m_items.GetSize(), 1) << "one item closes the top level";
    EXPECT_EQ(RecordAt(menu, 0)->m_id, static_cast<UINT>(ID_ONLY));
    EXPECT_STREQ(RecordAt(menu, 0)->m_text, L"Named");
    EXPECT_FALSE(menu.LoadMenu("NOSUCHMENU"));
    EXPECT_FALSE(menu.LoadMenu(9999));
    EXPECT_STREQ(RecordAt(menu, 0)->m_text, L"Named") << "a failed load leaves the menu alone";
}

TEST(GlyphMenuLoad, TopLevelBecomesPlainWithoutStateFlags) {
    GlyphMenu menu;
    ASSERT_TRUE(menu.LoadMenu(IDM_TEST_NESTED));
    const HMENU hMenu = menu.GetSafeHmenu();
    ASSERT_EQ(menu.GetMenuItemCount(), 4);
    ASSERT_EQ(menu.m_items.GetSize(), 4);
    const UINT popup = MF_POPUP | MF_BYPOSITION, plain = MF_STRING | MF_BYPOSITION;
    const UINT expected[] = {popup, popup, plain, plain};
    const char* const captions[] = {"&File", "&Help", "&Direct", ""};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(RecordAt(menu, i)->m_flags, expected[i]);
        const MENUITEMINFOA item = PlatformItem(hMenu, i);
        EXPECT_EQ(item.fType & (MFT_OWNERDRAW | MFT_SEPARATOR | MFT_MENUBREAK), 0u);
        EXPECT_EQ(item.fState & (MFS_GRAYED | MFS_CHECKED), 0u) << "template state flags are lost";
        CString text;
        menu.GetMenuString(i, text, MF_BYPOSITION);
        EXPECT_EQ(text, captions[i]);
    }
    EXPECT_EQ(menu.GetMenuItemID(2), static_cast<UINT>(ID_DIRECT));
    EXPECT_EQ(menu.GetMenuItemID(3), 0u) << "a top-level separator is an empty text item";
}

TEST(GlyphMenuLoad, DeeperLevelsStayOwnerDrawnAndEveryClosedLevelIsAligned) {
    GlyphMenu menu;
    ASSERT_TRUE(menu.LoadMenu(IDM_TEST_NESTED));
    GlyphMenu* file = GlyphSubMenu(menu, 0);
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(file->GetMenuItemCount(), 5);
    ASSERT_EQ(file->m_items.GetSize(), 5);
    const UINT expected[] = {0x100, 0x100, 0x900, 0x101, 0x110};
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(RecordAt(*file, i)->m_flags, expected[i]) << "a grayed separator is 0x900";
        EXPECT_TRUE(IsOwnerDrawn(file->GetSafeHmenu(), i));
    }

    GlyphMenu* recent = GlyphSubMenu(*file, 4);
    ASSERT_NE(recent, nullptr);
    GlyphMenu* older = GlyphSubMenu(*recent, 0);
    ASSERT_NE(older, nullptr);
    GlyphMenu* help = GlyphSubMenu(menu, 1);
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(RecordAt(*help, 0)->m_flags, static_cast<UINT>(MF_CHECKED | MF_OWNERDRAW));

    for (GlyphMenu* sub : {file, recent, older, help})
        EXPECT_TRUE(GlyphMenu::IsRegisteredMenu(sub));
    EXPECT_FALSE(GlyphMenu::IsRegisteredMenu(&menu));

    // The last item of "&Older" closes three levels at once; each is aligned.
    {
        SCOPED_TRACE("File");
        ExpectAligned(*file,
                      {"&Open\tCtrl+O", "Save &All Files\tCtrl+Shift+S", "", "E&xit", "&Recent"});
    }
    SCOPED_TRACE("Older");
    ExpectAligned(*older, {"a.txt\tF1", "a much longer name.txt\tF2"});
}

TEST(GlyphMenuLoad, ChineseCaptionsAreAlignedThroughTheCodePage) {
    GlyphMenu menu;
    ASSERT_TRUE(menu.LoadMenu(IDM_TEST_CHINESE));
    CString top;
    menu.GetMenuString(0, top, MF_BYPOSITION);
    EXPECT_EQ(top, "文件(&F)");
    GlyphMenu* file = GlyphSubMenu(menu, 0);
    ASSERT_NE(file, nullptr);
    ExpectAligned(*file, {"打开(&O)\tCtrl+O", "关闭\tCtrl+W"});
    EXPECT_EQ(std::wstring(RecordAt(*file, 1)->m_text).substr(0, 2), L"关闭");
}

TEST(GlyphMenuLoad, SecondLoadReplacesTheTree) {
    GlyphMenu menu;
    ASSERT_TRUE(menu.LoadMenu(IDM_TEST_NESTED));
    std::vector<GlyphMenu*> first;
    CollectTree(&menu, first);
    ASSERT_EQ(first.size(), 5u);
    std::vector<HMENU> oldHandles;
    for (GlyphMenu* m : first)
        oldHandles.push_back(m->GetSafeHmenu());

    {
        DeleteRecorder freed;
        ASSERT_TRUE(menu.LoadMenu(IDM_TEST_NESTED));
        for (std::size_t i = 1; i < first.size(); ++i)
            EXPECT_EQ(freed.CountOf(first[i]), 1);
    }
    for (HMENU hMenu : oldHandles) {
        EXPECT_FALSE(::IsMenu(hMenu));
        EXPECT_FALSE(GlyphMenu::IsRegisteredMenu(hMenu));
    }
    std::vector<GlyphMenu*> second;
    CollectTree(&menu, second);
    EXPECT_EQ(second.size(), 5u);
    EXPECT_EQ(menu.GetMenuItemCount(), 4);
    EXPECT_EQ(menu.m_items.GetSize(), 4);
    EXPECT_FALSE(IsOwnerDrawn(menu.GetSafeHmenu(), 0));
}

TEST(GlyphMenuLoad, BrokenTemplatesFailAndLeaveTheMenuAlone) {
    GlyphMenu menu;
    ASSERT_TRUE(menu.LoadMenu(IDM_TEST_NESTED));
    const HMENU hMenu = menu.GetSafeHmenu();
    const int registered = static_cast<int>(GlyphMenu::s_popupRegistry.GetSize());
    for (int id : {IDM_TEST_UNCLOSED, IDM_TEST_TRUNCATED}) {
        SCOPED_TRACE(id);
        EXPECT_FALSE(menu.LoadMenu(id));
        EXPECT_EQ(menu.GetSafeHmenu(), hMenu);
        EXPECT_EQ(menu.GetMenuItemCount(), 4);
        EXPECT_EQ(menu.m_items.GetSize(), 4);
        EXPECT_EQ(GlyphMenu::s_popupRegistry.GetSize(), registered);
    }

    GlyphMenu fresh;
    EXPECT_FALSE(fresh.LoadMenu(IDM_TEST_UNCLOSED));
    EXPECT_EQ(fresh.GetSafeHmenu(), nullptr);
    EXPECT_FALSE(fresh.m_loadedFromTemplate);
}

} // namespace
