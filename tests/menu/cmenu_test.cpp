#include "CMenu.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <utility>

namespace {

TEST(CMenuHandleMap, AttachedObjectIsFoundUntilDetached) {
    CMenu menu;
    ASSERT_TRUE(menu.CreatePopupMenu());
    const HMENU hMenu = menu.GetSafeHmenu();
    EXPECT_EQ(CMenu::FromHandlePermanent(hMenu), &menu);
    EXPECT_EQ(CMenu::FromHandle(hMenu), &menu);

    EXPECT_EQ(menu.Detach(), hMenu);
    EXPECT_EQ(menu.GetSafeHmenu(), nullptr);
    EXPECT_EQ(CMenu::FromHandlePermanent(hMenu), nullptr);
    EXPECT_TRUE(::IsMenu(hMenu)) << "Detach must not destroy the menu";
    EXPECT_TRUE(::DestroyMenu(hMenu));
}

TEST(CMenuHandleMap, RefusesSecondOwnersAndNullHandles) {
    CMenu first;
    ASSERT_TRUE(first.CreateMenu());
    CMenu second;
    EXPECT_FALSE(second.Attach(first.GetSafeHmenu()));
    EXPECT_FALSE(second.Attach(nullptr));
    EXPECT_EQ(CMenu::FromHandlePermanent(first.GetSafeHmenu()), &first);

    const HMENU other = ::CreatePopupMenu();
    EXPECT_FALSE(first.Attach(other)) << "an object holds one menu at a time";
    EXPECT_TRUE(::DestroyMenu(other));
}

TEST(CMenuOwnership, DestructorAndDestroyMenuReleaseTheMenu) {
    HMENU hMenu = nullptr;
    {
        CMenu menu;
        ASSERT_TRUE(menu.CreatePopupMenu());
        hMenu = menu.GetSafeHmenu();
    }
    EXPECT_FALSE(::IsMenu(hMenu));
    EXPECT_EQ(CMenu::FromHandlePermanent(hMenu), nullptr);

    CMenu menu;
    ASSERT_TRUE(menu.CreateMenu());
    hMenu = menu.GetSafeHmenu();
    EXPECT_TRUE(menu.DestroyMenu());
    EXPECT_FALSE(::IsMenu(hMenu));
    EXPECT_FALSE(menu.DestroyMenu()) << "no menu left to destroy";
}

TEST(CMenuOwnership, MoveHandsOverTheHandleAndItsMapEntry) {
    CMenu source;
    ASSERT_TRUE(source.CreatePopupMenu());
    const HMENU hMenu = source.GetSafeHmenu();
    {
        CMenu target(std::move(source));
        EXPECT_EQ(source.GetSafeHmenu(), nullptr);
        EXPECT_EQ(target.GetSafeHmenu(), hMenu);
        EXPECT_EQ(CMenu::FromHandlePermanent(hMenu), &target);

        CMenu assigned;
        ASSERT_TRUE(assigned.CreateMenu());
        const HMENU replaced = assigned.GetSafeHmenu();
        assigned = std::move(target);
        EXPECT_FALSE(::IsMenu(replaced)) << "assignment releases the menu held before";
        EXPECT_EQ(CMenu::FromHandlePermanent(hMenu), &assigned);
    }
    EXPECT_FALSE(::IsMenu(hMenu));
}

TEST(CMenuViews, TemporaryViewsNeverDestroyTheirMenu) {
    const HMENU hMenu = ::CreatePopupMenu();
    ASSERT_NE(hMenu, nullptr);
    CMenu* view = CMenu::FromHandle(hMenu);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->GetSafeHmenu(), hMenu);
    EXPECT_EQ(CMenu::FromHandle(hMenu), view) << "one view per handle";
    EXPECT_EQ(CMenu::FromHandlePermanent(hMenu), nullptr);
    EXPECT_EQ(CMenu::FromHandle(nullptr), nullptr);

    // Views are freed when their thread ends; the menu must outlive them.
    std::thread([hMenu] { ASSERT_NE(CMenu::FromHandle(hMenu), nullptr); }).join();
    EXPECT_TRUE(::IsMenu(hMenu));
    EXPECT_TRUE(::DestroyMenu(hMenu));
}

TEST(CMenuViews, GetSubMenuGivesTheAttachedObjectOrAView) {
    CMenu bar;
    ASSERT_TRUE(bar.CreateMenu());
    CMenu attached;
    ASSERT_TRUE(attached.CreatePopupMenu());
    const HMENU plain = ::CreatePopupMenu();
    ASSERT_TRUE(bar.AppendMenu(MF_STRING, 10, "item"));
    ASSERT_TRUE(bar.AppendMenu(MF_POPUP, reinterpret_cast<UINT_PTR>(plain), "plain"));
    ASSERT_TRUE(
        bar.AppendMenu(MF_POPUP, reinterpret_cast<UINT_PTR>(attached.GetSafeHmenu()), "attached"));

    EXPECT_EQ(bar.GetSubMenu(0), nullptr);
    ASSERT_NE(bar.GetSubMenu(1), nullptr);
    EXPECT_EQ(bar.GetSubMenu(1)->GetSafeHmenu(), plain);
    EXPECT_EQ(bar.GetSubMenu(2), &attached);
    EXPECT_EQ(bar.GetSubMenu(3), nullptr);
}

TEST(CMenuText, GetMenuStringReadsAnsiTextInTheCodePage) {
    CMenu menu;
    ASSERT_TRUE(menu.CreatePopupMenu());
    const char* const caption = "打开(&O)\tCtrl+O";
    const int length = static_cast<int>(std::strlen(caption));
    ASSERT_EQ(length, 15) << "two GBK double-byte characters";
    ASSERT_TRUE(menu.AppendMenu(MF_STRING, 5, caption));
    ASSERT_TRUE(menu.AppendMenu(MF_STRING, 6, ""));

    CString text("stale");
    EXPECT_EQ(menu.GetMenuString(5, text, MF_BYCOMMAND), length);
    EXPECT_EQ(text, caption);
    text.Empty();
    EXPECT_EQ(menu.GetMenuString(0, text, MF_BYPOSITION), length);
    EXPECT_EQ(text, caption);

    text = "stale";
    EXPECT_EQ(menu.GetMenuString(6, text, MF_BYCOMMAND), 0);
    EXPECT_TRUE(text.IsEmpty());
    text = "stale";
    EXPECT_EQ(menu.GetMenuString(99, text, MF_BYCOMMAND), 0);
    EXPECT_TRUE(text.IsEmpty());
}

} // namespace
