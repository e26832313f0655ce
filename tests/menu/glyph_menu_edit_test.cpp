#include "DeleteRecorder.h"
#include "GlyphMenu.h"
#include "MenuTreeQueries.h"
#include "menu_test_ids.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string TextOf(const GlyphMenuItem* record) {
    return static_cast<const char*>(record->GetTextAnsi());
}

TEST(GlyphMenuTopLevelOffset, CountsItemsThePlatformPutBefore) {
    GlyphMenu menu;
    EXPECT_EQ(menu.TopLevelOffset(), 0) << "not loaded";
    ASSERT_TRUE(menu.LoadMenu(IDM_TEST_NESTED));
    const HMENU hMenu = menu.GetSafeHmenu();
    EXPECT_EQ(menu.TopLevelOffset(), 0);

    ASSERT_TRUE(::InsertMenuA(hMenu, 0, MF_BYPOSITION | MF_STRING, 9001, "System A"));
    ASSERT_TRUE(::InsertMenuA(hMenu, 1, MF_BYPOSITION | MF_STRING, 9002, ""));
    EXPECT_EQ(menu.TopLevelOffset(), 2);

    // Appending a popup now makes the right item plain: record 4 at position 6.
    auto* popup = new GlyphMenu; // owned by menu once appended
    ASSERT_TRUE(popup->CreatePopupMenu());
    menu.AppendItem(L"Later", MF_POPUP, reinterpret_cast<UINT_PTR>(popup->GetSafeHmenu()));
    EXPECT_FALSE(IsOwnerDrawn(hMenu, 6));
    EXPECT_EQ(RecordAt(menu, 4)->m_flags, static_cast<UINT>(MF_POPUP | MF_BYPOSITION));
}

TEST(GlyphMenuTopLevelOffset, ZeroWithoutAnExactMatch) {
    GlyphMenu menu;
    ASSERT_TRUE(menu.LoadMenu(IDM_TEST_NESTED));
    const HMENU hMenu = menu.GetSafeHmenu();
    ASSERT_TRUE(::InsertMenuA(hMenu, 0, MF_BYPOSITION | MF_STRING, 9001, "System A"));
    // Captions that differ in case only, or not at all present, match nothing.
    ASSERT_TRUE(::ModifyMenuA(hMenu, 1, MF_BYPOSITION | MF_POPUP,
                              reinterpret_cast<UINT_PTR>(::GetSubMenu(hMenu, 1)), "&file"));
    ASSERT_TRUE(::ModifyMenuA(hMenu, 2, MF_BYPOSITION | MF_POPUP,
                              reinterpret_cast<UINT_PTR>(::GetSubMenu(hMenu, 2)), "Hilfe"));
    ASSERT_TRUE(::ModifyMenuA(hMenu, 3, MF_BYPOSITION | MF_STRING, ID_DIRECT, "Direkt"));
    EXPECT_EQ(menu.TopLevelOffset(), 0);
}

TEST(GlyphMenuTopLevelOffset, ZeroWhenTheMatchStandsEarlierThanItsRecord) {
    GlyphMenu menu;
    ASSERT_TRUE(menu.LoadMenu(IDM_TEST_NESTED));
    // Position 0 now shows "&Help", which is record 1.
    ASSERT_TRUE(::RemoveMenu(menu.GetSafeHmenu(), 0, MF_BYPOSITION));
    EXPECT_EQ(menu.TopLevelOffset(), 0);
}

TEST(GlyphMenuSync, RebuildsRecordsAfterChangesBehindTheObjectsBack) {
    GlyphMenu menu;
    ASSERT_TRUE(menu.LoadMenu(IDM_TEST_NESTED));
    GlyphMenu* file = GlyphSubMenu(menu, 0);
    ASSERT_NE(file, nullptr);
    const HMENU hFile = file->GetSafeHmenu();
    GlyphMenuItem* open = RecordAt(*file, 0);
    GlyphMenuItem* saveAll = RecordAt(*file, 1);
    GlyphMenuItem* separator = RecordAt(*file, 2);
    GlyphMenuItem* exit = RecordAt(*file, 3);
    GlyphMenuItem* recent = RecordAt(*file, 4);
    const std::string openText = TextOf(open);

    // Now: separator, Open, Inserted, Save All, separator, Recent.
    ASSERT_TRUE(::DeleteMenu(hFile, ID_EXIT, MF_BYCOMMAND));
    ASSERT_TRUE(
        ::InsertMenuA(hFile, 1, MF_BYPOSITION | MF_STRING | MF_CHECKED, 2100, "Inserted\tF9"));
    ASSERT_TRUE(::InsertMenuA(hFile, 0, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr));
    ASSERT_EQ(file->GetMenuItemCount(), 6);

    DeleteRecorder freed;
    file->SyncItemRecords();
    EXPECT_EQ(freed.CountOf(exit), 1) << "the removed item's record";
    for (GlyphMenuItem* kept : {open, saveAll, separator, recent})
        EXPECT_EQ(freed.CountOf(kept), 0);

    ASSERT_EQ(file->m_items.GetSize(), 6);
    for (int j = 0; j < 6; ++j) {
        SCOPED_TRACE(j);
        EXPECT_EQ(PlatformRecord(hFile, j), RecordAt(*file, j)) << "listed in position order";
        EXPECT_TRUE(IsOwnerDrawn(hFile, j));
        EXPECT_EQ(RecordAt(*file, j)->m_syncMark, (j == 2 || j == 4) ? 0u : 1u)
            << "claimed records keep their mark";
    }
    EXPECT_EQ(RecordAt(*file, 0), separator) << "the first separator claims the old record";
    EXPECT_EQ(RecordAt(*file, 1), open);
    EXPECT_EQ(TextOf(open), openText) << "an owner-drawn item has no platform text to take";
    EXPECT_EQ(open->m_flags, static_cast<UINT>(MF_OWNERDRAW | MF_BYPOSITION));

    const GlyphMenuItem* inserted = RecordAt(*file, 2);
    EXPECT_EQ(TextOf(inserted), "Inserted\tF9");
    EXPECT_EQ(inserted->m_id, 2100u);
    EXPECT_EQ(inserted->m_flags, static_cast<UINT>(MF_CHECKED | MF_OWNERDRAW | MF_BYPOSITION));
    EXPECT_EQ(RecordAt(*file, 3), saveAll);

    const GlyphMenuItem* second = RecordAt(*file, 4);
    EXPECT_NE(second, separator);
    EXPECT_EQ(second->m_id, 0u);
    EXPECT_EQ(second->m_flags & 0xD00u, 0xD00u);
    EXPECT_NE(PlatformItem(hFile, 4).fType & MFT_SEPARATOR, 0u);

    EXPECT_EQ(RecordAt(*file, 5), recent);
    EXPECT_EQ(::GetSubMenu(hFile, 5), GlyphSubMenu(*file, 5)->GetSafeHmenu());
}

TEST(GlyphMenuSync, MakesALoadedTopLevelOwnerDrawnAndTakesPlatformTexts) {
    GlyphMenu menu;
    ASSERT_TRUE(menu.LoadMenu(IDM_TEST_NESTED));
    const HMENU hMenu = menu.GetSafeHmenu();
    GlyphMenuItem* help = RecordAt(menu, 1);
    ASSERT_TRUE(::ModifyMenuA(hMenu, 2, MF_BYPOSITION | MF_STRING, ID_DIRECT, "&Renamed"));
    menu.SyncItemRecords();
    ASSERT_EQ(menu.m_items.GetSize(), 4);
    for (int j = 2; j < 4; ++j) {
        EXPECT_EQ(PlatformRecord(hMenu, j), RecordAt(menu, j));
        EXPECT_TRUE(IsOwnerDrawn(hMenu, j));
    }
    EXPECT_EQ(TextOf(RecordAt(menu, 2)), "&Renamed");
    EXPECT_EQ(RecordAt(menu, 1), help) << "a plain popup finds its record by handle";
    EXPECT_EQ(TextOf(help), "&Help");
    EXPECT_FALSE(IsOwnerDrawn(hMenu, 1)) << "a popup with a record is left as it is";
    EXPECT_NE(::GetSubMenu(hMenu, 1), nullptr);
}

TEST(GlyphMenuRecords, TakeRecordForIdClaimsEachRecordOnce) {
    GlyphMenu menu;
    ASSERT_TRUE(menu.CreatePopupMenu());
    menu.AppendItem(L"a", MF_STRING, 5);
    menu.AppendItem(L"b", MF_STRING, 6);
    menu.AppendItem(L"c", MF_STRING, 5);
    menu.SetAllSyncMarks(0);
    EXPECT_EQ(menu.TakeRecordForId(5), RecordAt(menu, 0));
    EXPECT_EQ(menu.TakeRecordForId(5), RecordAt(menu, 2));
    EXPECT_EQ(menu.TakeRecordForId(5), nullptr);
    EXPECT_EQ(menu.TakeRecordForId(7), nullptr);

    GlyphMenuItem* unclaimed = RecordAt(menu, 1);
    DeleteRecorder freed;
    menu.DeleteUnmarkedRecords();
    EXPECT_EQ(freed.CountOf(unclaimed), 1);
    EXPECT_EQ(freed.CountOf(RecordAt(menu, 0)), 0);
    EXPECT_EQ(menu.m_items.GetSize(), 3) << "the slots are left to the caller";
    menu.SyncItemRecords();
    EXPECT_EQ(menu.m_items.GetSize(), 3);
    EXPECT_STREQ(RecordAt(menu, 1)->m_text, L"") << "a fresh record for the owner-drawn item";
}

TEST(GlyphMenuItemText, ByPositionAndByCommandId) {
    GlyphMenu menu;
    ASSERT_TRUE(menu.LoadMenu(IDM_TEST_NESTED));
    CString text("unchanged");
    EXPECT_TRUE(menu.GetItemText(2, text, MF_BYPOSITION));
    EXPECT_EQ(text, "&Direct");
    text = "unchanged";
    EXPECT_FALSE(menu.GetItemText(4, text, MF_BYPOSITION));
    EXPECT_EQ(text, "unchanged");

    EXPECT_TRUE(menu.GetItemText(ID_OLD_A, text, MF_BYCOMMAND)) << "three levels down";
    EXPECT_EQ(std::string(text).substr(0, 5), "a.txt");
    EXPECT_TRUE(menu.GetItemText(ID_DIRECT, text, MF_BYCOMMAND));
    EXPECT_EQ(text, "&Direct");
    text = "unchanged";
    EXPECT_FALSE(menu.GetItemText(4242, text, MF_BYCOMMAND));
    EXPECT_EQ(text, "unchanged");

    // A sub-menu without a GlyphMenu behind it holds no records.
    const HMENU raw = ::CreatePopupMenu();
    ASSERT_TRUE(::AppendMenuA(raw, MF_STRING, 4001, "Raw"));
    menu.AppendItem(L"Plain popup", MF_POPUP, reinterpret_cast<UINT_PTR>(raw));
    int position = -2;
    CMenu* owner = menu.FindCommandOwner(4001, &position);
    ASSERT_NE(owner, nullptr);
    EXPECT_EQ(owner->GetSafeHmenu(), raw);
    EXPECT_EQ(position, 0);
    EXPECT_FALSE(menu.GetItemText(4001, text, MF_BYCOMMAND));
}

TEST(GlyphMenuItemText, NoRecordsNoText) {
    GlyphMenu menu;
    ASSERT_TRUE(menu.CreatePopupMenu());
    ASSERT_TRUE(::AppendMenuA(menu.GetSafeHmenu(), MF_STRING, 1, "platform only"));
    CString text;
    for (UINT position = 0; position < 3; ++position)
        EXPECT_FALSE(menu.GetItemText(position, text, MF_BYPOSITION));
}

TEST(GlyphMenuFindCommandOwner, DepthFirstInPositionOrder) {
    GlyphMenu menu;
    ASSERT_TRUE(menu.LoadMenu(IDM_TEST_DUPLICATES));
    GlyphMenu* a = GlyphSubMenu(menu, 0);
    ASSERT_NE(a, nullptr);
    GlyphMenu* a1 = GlyphSubMenu(*a, 0);
    GlyphMenu* b = GlyphSubMenu(menu, 1);

    struct Case {
        UINT id;
        CMenu* owner;
        int position;
    };
    const Case cases[] = {
        {ID_SHARED, a1, 0},
        {ID_SECOND, a, 1},
        {4242, nullptr, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        int position = -2;
        EXPECT_EQ(menu.FindCommandOwner(c.id, &position), c.owner);
        EXPECT_EQ(position, c.position);
    }
    int position = -2;
    EXPECT_EQ(b->FindCommandOwner(ID_SHARED, &position), b);
    EXPECT_EQ(position, 0);

    // Without A1 the next depth-first match is B, before the top-level item.
    ASSERT_TRUE(::RemoveMenu(a->GetSafeHmenu(), 0, MF_BYPOSITION));
    EXPECT_EQ(menu.FindCommandOwner(ID_SHARED, &position), b);
    ASSERT_TRUE(::RemoveMenu(menu.GetSafeHmenu(), 1, MF_BYPOSITION));
    EXPECT_EQ(menu.FindCommandOwner(ID_SHARED, &position), &menu);
    EXPECT_EQ(position, 1);
}

class HandleMenuCharTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_menu.CreatePopupMenu());
        for (const wchar_t* caption :
             {L"&Save", L"&save as", L"Fish &&Chips", L"文件(&F)", L"Plain", L"&Queue"})
            m_menu.AppendItem(caption, MF_STRING, ++m_nextId);
    }

    GlyphMenu m_menu;
    UINT m_nextId = 100;
};

TEST_F(HandleMenuCharTest, FirstCaseInsensitiveMnemonicWins) {
    struct Case {
        UINT character;
        LRESULT expected;
    };
    const Case cases[] = {
        {'S', MAKELRESULT(0, MNC_EXECUTE)},
        {'s', MAKELRESULT(0, MNC_EXECUTE)},
        {'c', MAKELRESULT(2, MNC_EXECUTE)},
        {'F', MAKELRESULT(3, MNC_EXECUTE)},
        {'f', MAKELRESULT(3, MNC_EXECUTE)},
        {0x100 | 'q', MAKELRESULT(5, MNC_EXECUTE)},
        {'p', 0},
        {'x', 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<char>(c.character));
        EXPECT_EQ(GlyphMenu::HandleMenuChar(c.character, MF_POPUP, &m_menu), c.expected);
    }
}

TEST_F(HandleMenuCharTest, OnlyForPopupsAndSyncsOnDemand) {
    EXPECT_EQ(GlyphMenu::HandleMenuChar('s', MF_POPUP, nullptr), 0);

    // An item added behind the object's back: the records no longer match.
    ASSERT_TRUE(::InsertMenuA(m_menu.GetSafeHmenu(), 0, MF_BYPOSITION | MF_STRING, 7, "&Zebra"));
    EXPECT_EQ(GlyphMenu::HandleMenuChar('z', MF_SYSMENU, &m_menu), 0);
    EXPECT_EQ(m_menu.m_items.GetSize(), 6) << "no synchronisation for non-popups";
    EXPECT_FALSE(IsOwnerDrawn(m_menu.GetSafeHmenu(), 0));

    EXPECT_EQ(GlyphMenu::HandleMenuChar('z', MF_POPUP, &m_menu), MAKELRESULT(0, MNC_EXECUTE));
    EXPECT_EQ(m_menu.m_items.GetSize(), 7);
    EXPECT_TRUE(IsOwnerDrawn(m_menu.GetSafeHmenu(), 0));
    EXPECT_EQ(GlyphMenu::HandleMenuChar('s', MF_POPUP, &m_menu), MAKELRESULT(1, MNC_EXECUTE));
}

} // namespace
