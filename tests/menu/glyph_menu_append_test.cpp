#include "DeleteRecorder.h"
#include "GlyphMenu.h"
#include "MenuTreeQueries.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

UINT_PTR AsId(HMENU hMenu) {
    return reinterpret_cast<UINT_PTR>(hMenu);
}

TEST(GlyphMenuAppend, FlagsOfTheRegisteredItem) {
    struct Case {
        const char* name;
        const wchar_t* text;
        UINT flags;
        UINT id;
        UINT expected;
    };
    const Case cases[] = {
        {"id 0 is a separator", L"caption", MF_STRING | MF_GRAYED, 0, 0x900},
        {"separator keeps by-position", L"caption", MF_STRING | MF_GRAYED | MF_BYPOSITION, 0,
         0xD00},
        {"string item", L"caption", MF_STRING, 7, 0x100},
        {"state flags stay", L"caption", MF_CHECKED | MF_GRAYED, 8, 0x109},
        {"already owner-drawn", L"caption", MF_OWNERDRAW, 9, 0x100},
        {"null text gives no caption", nullptr, MF_STRING, 3, 0x100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GlyphMenu menu;
        ASSERT_TRUE(menu.CreatePopupMenu());
        EXPECT_TRUE(menu.AppendItem(c.text, c.flags, c.id));
        ASSERT_EQ(menu.m_items.GetSize(), 1);
        const GlyphMenuItem* record = RecordAt(menu, 0);
        EXPECT_EQ(record->m_flags, c.expected);
        EXPECT_EQ(record->m_id, c.id);
        EXPECT_STREQ(record->m_text, c.text) << "the caption is stored even for separators";

        const HMENU hMenu = menu.GetSafeHmenu();
        EXPECT_EQ(PlatformRecord(hMenu, 0), record) << "the record is the item data";
        EXPECT_TRUE(IsOwnerDrawn(hMenu, 0));
        EXPECT_EQ((PlatformItem(hMenu, 0).fType & MFT_SEPARATOR) != 0, c.id == 0);
    }
}

TEST(GlyphMenuAppend, GlyphComesFromAnEarlierItemWithTheSameCommand) {
    GlyphMenu::s_sharedGlyphIds = {5, 9, 5};
    GlyphMenu menu;
    ASSERT_TRUE(menu.CreatePopupMenu());
    menu.AppendItem(L"five", MF_STRING, 5);
    menu.AppendItem(L"nine", MF_STRING, 9);
    menu.AppendItem(L"four", MF_STRING, 4);
    menu.AppendItem(L"nine, own glyph resource", MF_STRING, 9, 0);
    EXPECT_EQ(RecordAt(menu, 0)->m_globalImage, 0) << "first match wins";
    EXPECT_EQ(RecordAt(menu, 1)->m_globalImage, 1);
    EXPECT_EQ(RecordAt(menu, 2)->m_globalImage, -1);
    EXPECT_EQ(RecordAt(menu, 3)->m_globalImage, -1) << "there is no bitmap resource 0";
    GlyphMenu::s_sharedGlyphIds.clear();
}

TEST(GlyphMenuAppend, FailedAppendStillListsTheRecord) {
    GlyphMenu menu; // no menu handle
    EXPECT_FALSE(menu.AppendItem(L"lost", MF_STRING, 12));
    ASSERT_EQ(menu.m_items.GetSize(), 1);
    EXPECT_EQ(RecordAt(menu, 0)->m_id, 12u);
    EXPECT_FALSE(menu.DestroyMenu()) << "no handle, yet the records are freed";
    EXPECT_EQ(menu.m_items.GetSize(), 0);
}

TEST(GlyphMenuPopups, HandleAppendedTwiceIsRegisteredTwiceAndLeavesWithItsParent) {
    auto parent = std::make_unique<GlyphMenu>();
    ASSERT_TRUE(parent->CreateMenu());
    auto* popup = new GlyphMenu; // owned by parent once appended
    ASSERT_TRUE(popup->CreatePopupMenu());
    const HMENU hPopup = popup->GetSafeHmenu();
    popup->AppendItem(L"inside", MF_STRING, 40);

    EXPECT_TRUE(parent->AppendItem(L"first", MF_POPUP, AsId(hPopup)));
    EXPECT_TRUE(parent->AppendItem(L"second", MF_POPUP, AsId(hPopup)));
    EXPECT_EQ(RegistryCount(hPopup), 2);
    EXPECT_EQ(parent->m_popupHandles.GetSize(), 2);
    EXPECT_EQ(RecordAt(*parent, 0)->m_flags, static_cast<UINT>(MF_POPUP | MF_OWNERDRAW));
    EXPECT_TRUE(GlyphMenu::IsRegisteredMenu(hPopup));
    EXPECT_TRUE(GlyphMenu::IsRegisteredMenu(popup));
    EXPECT_FALSE(GlyphMenu::IsRegisteredMenu(parent->GetSafeHmenu()));
    EXPECT_FALSE(GlyphMenu::IsRegisteredMenu(static_cast<CMenu*>(nullptr)));

    // Freeing of records, sub-menus and handles is checked on a deeper tree below.
    DeleteRecorder freed;
    EXPECT_TRUE(parent->DestroyMenu());
    EXPECT_EQ(RegistryCount(hPopup), 0);
    EXPECT_EQ(freed.CountOf(popup), 1) << "deleted once, though listed twice";
    EXPECT_EQ(parent->m_popupHandles.GetSize(), 0);
    EXPECT_EQ(parent->m_items.GetSize(), 0);
}

TEST(GlyphMenuPopups, DestroyingAMenuUnregistersItsOwnHandle) {
    GlyphMenu parent;
    ASSERT_TRUE(parent.CreateMenu());
    auto* popup = new GlyphMenu;
    ASSERT_TRUE(popup->CreatePopupMenu());
    const HMENU hPopup = popup->GetSafeHmenu();
    parent.AppendItem(L"popup", MF_POPUP, AsId(hPopup));
    ASSERT_TRUE(GlyphMenu::IsRegisteredMenu(hPopup));

    // The popup object, destroyed on its own, takes its entry with it; the
    // parent then finds no object for the handle.
    EXPECT_TRUE(popup->DestroyMenu());
    EXPECT_FALSE(GlyphMenu::IsRegisteredMenu(hPopup));
    EXPECT_EQ(parent.m_popupHandles.GetSize(), 1);
    DeleteRecorder freed;
    parent.DestroyMenu();
    EXPECT_EQ(freed.CountOf(popup), 0) << "a handle-less object is no longer found by handle";
    delete popup;
}

TEST(GlyphMenuPopups, DestroyingATreeFreesEveryRecordAndSubMenu) {
    auto root = std::make_unique<GlyphMenu>();
    ASSERT_TRUE(root->CreateMenu());
    root->AppendItem(L"top", MF_STRING, 1);
    // Two levels below the root, three records each.
    std::vector<HMENU> handles;
    GlyphMenu* level = root.get();
    for (int depth = 0; depth < 2; ++depth) {
        auto* popup = new GlyphMenu;
        ASSERT_TRUE(popup->CreatePopupMenu());
        handles.push_back(popup->GetSafeHmenu());
        level->AppendItem(L"popup", MF_POPUP, AsId(popup->GetSafeHmenu()));
        popup->AppendItem(L"a", MF_STRING, 10 + depth);
        popup->AppendItem(nullptr, MF_STRING, 0);
        level = popup;
    }
    level->AppendItem(L"leaf", MF_STRING, 99);

    std::vector<GlyphMenu*> tree;
    CollectTree(root.get(), tree);
    ASSERT_EQ(tree.size(), 3u);
    std::vector<const void*> records, texts;
    for (GlyphMenu* menu : tree)
        for (INT_PTR i = 0; i < menu->m_items.GetSize(); ++i) {
            records.push_back(RecordAt(*menu, i));
            if (RecordAt(*menu, i)->m_text != nullptr)
                texts.push_back(RecordAt(*menu, i)->m_text);
        }
    ASSERT_EQ(records.size(), 8u);

    DeleteRecorder freed;
    root.reset();
    for (const void* record : records)
        EXPECT_EQ(freed.CountOf(record), 1);
    for (const void* text : texts)
        EXPECT_EQ(freed.CountOf(text), 1);
    EXPECT_EQ(freed.CountOf(tree[1]), 1);
    EXPECT_EQ(freed.CountOf(tree[2]), 1);
    for (HMENU hMenu : handles) {
        EXPECT_FALSE(::IsMenu(hMenu));
        EXPECT_FALSE(GlyphMenu::IsRegisteredMenu(hMenu));
        EXPECT_EQ(CMenu::FromHandlePermanent(hMenu), nullptr);
    }
}

TEST(GlyphMenuClassWide, StartUpStyleAndRunTimeClass) {
    // Wine reports an NT version after XP, so the classic style is in force.
    EXPECT_EQ(GlyphMenu::s_osKind, OS_NT_OTHER);
    EXPECT_FALSE(GlyphMenu::IsXpThemed());
    EXPECT_FALSE(GlyphMenu::IsFlatStyle());

    GlyphMenu menu;
    EXPECT_STREQ(menu.GetRuntimeClass()->m_lpszClassName, "GlyphMenu");
    EXPECT_EQ(menu.GetRuntimeClass()->m_pBaseClass, RUNTIME_CLASS(CMenu));
    EXPECT_TRUE(menu.IsKindOf(RUNTIME_CLASS(CObject)));
    EXPECT_FALSE(CMenu().IsKindOf(RUNTIME_CLASS(GlyphMenu)));
}

} // namespace
