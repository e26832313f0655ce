#include "DeleteRecorder.h"
#include "GlyphMenu.h"
#include "MenuTreeQueries.h"
#include "menu_test_ids.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

// The owner and position FindCommandOwner gives, as one value.
std::pair<CMenu*, int> OwnerOf(GlyphMenu& menu, UINT id) {
    int position = -2;
    CMenu* owner = menu.FindCommandOwner(id, &position);
    return {owner, position};
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

    // Appending to a loaded top level makes the right popup plain (record 4 at
    // position 6) and leaves other items owner-drawn.
    auto* popup = new GlyphMenu; // owned by menu once appended
    ASSERT_TRUE(popup->CreatePopupMenu());
    menu.AppendItem(L"Later", MF_POPUP, reinterpret_cast<UINT_PTR>(popup->GetSafeHmenu()));
    menu.AppendItem(L"Command", MF_STRING, 77);
    EXPECT_FALSE(IsOwnerDrawn(hMenu, 6));
    EXPECT_EQ(RecordAt(menu, 4)->m_flags, static_cast<UINT>(MF_POPUP | MF_BYPOSITION));
    CString text;
    menu.GetMenuString(6, text, MF_BYPOSITION);
    EXPECT_EQ(text, "Later");
    EXPECT_TRUE(IsOwnerDrawn(hMenu, 7));
}

TEST(GlyphMenuTopLevelOffset, ZeroWithoutAnExactMatchInPlace) {
    GlyphMenu menu;
    ASSERT_TRUE(menu.LoadMenu(IDM_TEST_NESTED));
    const HMENU hMenu = menu.GetSafeHmenu();
    // Position 0 now shows "&Help", which is record 1: it stands earlier than its record.
    ASSERT_TRUE(::RemoveMenu(hMenu, 0, MF_BYPOSITION));
    EXPECT_EQ(menu.TopLevelOffset(), 0);

    // Captions that differ in case only, or not at all present, match nothing.
    ASSERT_TRUE(::InsertMenuA(hMenu, 0, MF_BYPOSITION | MF_STRING, 9001, "System A"));
    ASSERT_TRUE(::InsertMenuA(hMenu, 1, MF_BYPOSITION | MF_STRING, 9003, "&file"));
    ASSERT_TRUE(::ModifyMenuA(hMenu, 2, MF_BYPOSITION | MF_POPUP,
                              reinterpret_cast<UINT_PTR>(::GetSubMenu(hMenu, 2)), "Hilfe"));
    ASSERT_TRUE(::ModifyMenuA(hMenu, 3, MF_BYPOSITION | MF_STRING, ID_DIRECT, "Direkt"));
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

    // The first separator claims the old record; the inserted item and the
    // second separator get fresh ones.
    const GlyphMenuItem* const kept[] = {separator, open, nullptr, saveAll, nullptr, recent};
    ASSERT_EQ(file->m_items.GetSize(), 6);
    for (int j = 0; j < 6; ++j) {
        SCOPED_TRACE(j);
        EXPECT_EQ(PlatformRecord(hFile, j), RecordAt(*file, j)) << "listed in position order";
        EXPECT_TRUE(IsOwnerDrawn(hFile, j));
        if (kept[j] != nullptr) {
            EXPECT_EQ(RecordAt(*file, j), kept[j]);
        }
    }
    EXPECT_EQ(TextOf(open), openText) << "an owner-drawn item has no platform text to take";
    EXPECT_EQ(open->m_flags, static_cast<UINT>(MF_OWNERDRAW | MF_BYPOSITION));

    const GlyphMenuItem* inserted = RecordAt(*file, 2);
    EXPECT_EQ(TextOf(inserted), "Inserted\tF9");
    EXPECT_EQ(inserted->m_id, 2100u);
    EXPECT_EQ(inserted->m_flags, static_cast<UINT>(MF_CHECKED | MF_OWNERDRAW | MF_BYPOSITION));
    EXPECT_NE(RecordAt(*file, 4), separator);
    EXPECT_EQ(RecordAt(*file, 4)->m_id, 0u);
    EXPECT_EQ(RecordAt(*file, 4)->m_flags & 0xD00u, 0xD00u);
    EXPECT_NE(PlatformItem(hFile, 4).fType & MFT_SEPARATOR, 0u);
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
    EXPECT_TRUE(menu.GetItemText(ID_OLD_A, text, MF_BYCOMMAND)) << "three levels down";
    EXPECT_EQ(std::string(text).substr(0, 5), "a.txt");
    EXPECT_TRUE(menu.GetItemText(ID_DIRECT, text, MF_BYCOMMAND));
    EXPECT_EQ(text, "&Direct");

    // A position without a record, an unknown id and a sub-menu without a
    // GlyphMenu behind it give no text.
    const HMENU raw = ::CreatePopupMenu();
    ASSERT_TRUE(::AppendMenuA(raw, MF_STRING, 4001, "Raw"));
    menu.AppendItem(L"Plain popup", MF_POPUP, reinterpret_cast<UINT_PTR>(raw));
    const auto [owner, position] = OwnerOf(menu, 4001);
    ASSERT_NE(owner, nullptr);
    EXPECT_EQ(owner->GetSafeHmenu(), raw);
    EXPECT_EQ(position, 0);
    text = "unchanged";
    EXPECT_FALSE(menu.GetItemText(5, text, MF_BYPOSITION));
    EXPECT_FALSE(menu.GetItemText(4242, text, MF_BYCOMMAND));
    EXPECT_FALSE(menu.GetItemText(4001, text, MF_BYCOMMAND));
    EXPECT_EQ(text, "unchanged");
}

// Positions past the records are refused even where the platform has items.
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
    using Found = std::pair<CMenu*, int>;
    EXPECT_EQ(OwnerOf(menu, ID_SHARED), Found(a1, 0));
    EXPECT_EQ(OwnerOf(menu, ID_SECOND), Found(a, 1));
    EXPECT_EQ(OwnerOf(menu, 4242), Found(nullptr, -1));
    EXPECT_EQ(OwnerOf(*b, ID_SHARED), Found(b, 0));

    // Without A1 the next depth-first match is B, before the top-level item.
    ASSERT_TRUE(::RemoveMenu(a->GetSafeHmenu(), 0, MF_BYPOSITION));
    EXPECT_EQ(OwnerOf(menu, ID_SHARED), Found(b, 0));
    ASSERT_TRUE(::RemoveMenu(menu.GetSafeHmenu(), 1, MF_BYPOSITION));
    EXPECT_EQ(OwnerOf(menu, ID_SHARED), Found(&menu, 1));
}

TEST(GlyphMenuHandleMenuChar, FirstCaseInsensitiveMnemonicInPopupsOnly) {
    GlyphMenu menu;
    ASSERT_TRUE(menu.CreatePopupMenu());
    UINT id = 100;
    for (const wchar_t* caption :
         {L"&Save", L"&save as", L"Fish &&Chips", L"文件(&F)", L"Plain", L"&Queue"})
        menu.AppendItem(caption, MF_STRING, ++id);
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
        EXPECT_EQ(GlyphMenu::HandleMenuChar(c.character, MF_POPUP, &menu), c.expected);
    }
    EXPECT_EQ(GlyphMenu::HandleMenuChar('s', MF_POPUP, nullptr), 0);

    // An item added behind the object's back: the records no longer match.
    const HMENU hMenu = menu.GetSafeHmenu();
    ASSERT_TRUE(::InsertMenuA(hMenu, 0, MF_BYPOSITION | MF_STRING, 7, "&Zebra"));
    EXPECT_EQ(GlyphMenu::HandleMenuChar('z', MF_SYSMENU, &menu), 0);
    EXPECT_EQ(menu.m_items.GetSize(), 6) << "no synchronisation for non-popups";
    EXPECT_FALSE(IsOwnerDrawn(hMenu, 0));

    EXPECT_EQ(GlyphMenu::HandleMenuChar('z', MF_POPUP, &menu), MAKELRESULT(0, MNC_EXECUTE));
    EXPECT_EQ(menu.m_items.GetSize(), 7);
    EXPECT_TRUE(IsOwnerDrawn(hMenu, 0));
    EXPECT_EQ(GlyphMenu::HandleMenuChar('s', MF_POPUP, &menu), MAKELRESULT(1, MNC_EXECUTE));
}

} // namespace
