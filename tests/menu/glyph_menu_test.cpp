// GlyphMenu's records, loading and editing on real platform menus under wine.
#include "CDC.h"
#include "CStyledButton.h"
#include "GlyphMenu.h"
#include "MenuHost.h"
#include "menu_test_ids.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

// A real failure would need the system's handle table exhausted, which other
// processes share, so the program's own import slot stands in for user32's.
int g_popupsBeforeFailure = -1;

HMENU WINAPI CreatePopupMenuOrFail() {
    if (g_popupsBeforeFailure >= 0 && g_popupsBeforeFailure-- == 0)
        return nullptr;
    static const auto real = reinterpret_cast<HMENU(WINAPI*)()>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleA("user32.dll"), "CreatePopupMenu")));
    return real();
}

} // namespace

extern "C" {
HMENU(WINAPI* __imp_CreatePopupMenu)() = CreatePopupMenuOrFail;
}

namespace {

MENUITEMINFOA PlatformItem(const CMenu& menu, int position) {
    MENUITEMINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_DATA | MIIM_FTYPE | MIIM_ID | MIIM_SUBMENU;
    ::GetMenuItemInfoA(menu.GetSafeHmenu(), static_cast<UINT>(position), TRUE, &info);
    return info;
}

GlyphMenuItem* RecordAt(const GlyphMenu& menu, INT_PTR index) {
    return static_cast<GlyphMenuItem*>(menu.m_items.GetAt(index));
}

// The record of a position is the platform item's data, and the item is owner-drawn.
void ExpectRecordAt(const GlyphMenu& menu, int position) {
    EXPECT_EQ(PlatformItem(menu, position).dwItemData,
              reinterpret_cast<ULONG_PTR>(RecordAt(menu, position)))
        << position;
    EXPECT_NE(PlatformItem(menu, position).fType & MFT_OWNERDRAW, 0u) << position;
}

std::string TextOf(const GlyphMenuItem* record) {
    return static_cast<const char*>(record->GetTextAnsi());
}

GlyphMenu& SubMenu(const CMenu& menu, int position) {
    CMenu* sub = CMenu::FromHandle(menu.GetSubMenu(position));
    EXPECT_TRUE(sub != nullptr && sub->IsKindOf(RUNTIME_CLASS(GlyphMenu))) << position;
    return *static_cast<GlyphMenu*>(sub);
}

UINT_PTR AsId(const CMenu& menu) {
    return reinterpret_cast<UINT_PTR>(menu.GetSafeHmenu());
}

// Id 0 makes a separator whatever the flags (by-position stays); other items
// become owner-drawn with their states. A popup appended twice leaves the
// registry, and the tree goes, with its root.
TEST(GlyphMenuAppend, FlagsRegistrationAndRelease) {
    auto root = std::make_unique<GlyphMenu>();
    auto* popup = new GlyphMenu;  // owned by root once appended
    auto* deeper = new GlyphMenu; // owned by popup once appended
    ASSERT_TRUE(root->CreateMenu() && popup->CreatePopupMenu() && deeper->CreatePopupMenu());
    const HMENU hPopup = popup->GetSafeHmenu(), hDeeper = deeper->GetSafeHmenu();
    popup->AppendItem(L"deeper", MF_POPUP, AsId(*deeper));
    root->AppendItem(L"caption", MF_GRAYED, 0);
    root->AppendItem(L"caption", MF_GRAYED | MF_BYPOSITION, 0);
    root->AppendItem(nullptr, MF_CHECKED | MF_GRAYED, 8);
    root->AppendItem(L"first", MF_POPUP, AsId(*popup));
    root->AppendItem(L"again", MF_POPUP, AsId(*popup));
    const UINT flags[] = {0x900, 0xD00, 0x109, 0x110, 0x110};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(RecordAt(*root, i)->m_flags, flags[i]) << i;
        ExpectRecordAt(*root, i);
        EXPECT_EQ(PlatformItem(*root, i).fType & MFT_SEPARATOR, flags[i] & MF_SEPARATOR);
    }
    EXPECT_STREQ(RecordAt(*root, 0)->m_text, L"caption") << "kept for a separator too";
    EXPECT_EQ(RecordAt(*root, 2)->m_text, nullptr);
    EXPECT_EQ(RecordAt(*root, 2)->m_id, 8u);
    EXPECT_TRUE(GlyphMenu::IsRegisteredMenu(popup));
    EXPECT_FALSE(GlyphMenu::IsRegisteredMenu(root.get())) << "only appended popups";

    // Destroyed as any menu is, through the base: sub-menu objects deleted, menus destroyed,
    // records released.
    EXPECT_TRUE(static_cast<CMenu&>(*root).DestroyMenu());
    EXPECT_EQ(root->m_items.GetSize(), 0);
    for (HMENU hMenu : {hPopup, hDeeper})
        EXPECT_TRUE(!::IsMenu(hMenu) && !GlyphMenu::IsRegisteredMenu(hMenu) &&
                    CMenu::FromHandle(hMenu) == nullptr);
}

// Each caption with a tab is padded with spaces just far enough to reach the
// widest left part plus one space; nothing else changes.
void ExpectAligned(const GlyphMenu& menu, const std::vector<std::string>& original) {
    CFont font;
    CreateMenuFont(font);
    CClientDC dc(nullptr);
    CSelectGuard selectFont(dc, font);
    const auto width = [&dc](const std::string& text) {
        return dc.GetTextExtent(text.c_str(), static_cast<int>(text.size())).cx;
    };
    LONG target = -1;
    for (const std::string& text : original)
        target = std::max(target, width(text.substr(0, text.find('\t')) + " "));
    for (std::size_t i = 0; i < original.size(); ++i) {
        const std::string now = TextOf(RecordAt(menu, static_cast<INT_PTR>(i)));
        const std::size_t tab = original[i].find('\t'), newTab = now.find('\t');
        if (tab == std::string::npos) {
            EXPECT_EQ(now, original[i]);
            continue;
        }
        EXPECT_EQ(now.substr(0, tab) + now.substr(newTab), original[i]) << now;
        EXPECT_EQ(now.find_first_not_of(' ', tab), newTab) << "only spaces are added: " << now;
        EXPECT_GE(width(now.substr(0, newTab)), target) << now;
        EXPECT_LT(width(now.substr(0, newTab - 1)), target) << "no more than needed: " << now;
    }
}

TEST(GlyphMenuLoad, PlainTopLevelOwnerDrawnLevelsBelowAlignedAndReplacedOnlyWhole) {
    GlyphMenu menu;
    ASSERT_TRUE(menu.LoadMenu(IDM_TEST_NESTED));
    ASSERT_EQ(menu.GetMenuItemCount(), 4);
    const UINT popup = MF_POPUP | MF_BYPOSITION, plain = MF_STRING | MF_BYPOSITION;
    const UINT topFlags[] = {popup, popup, plain, plain};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(RecordAt(menu, i)->m_flags, topFlags[i]) << i;
        EXPECT_EQ(PlatformItem(menu, i).fType, 0u) << "plain text, no separator or break";
        EXPECT_EQ(menu.GetMenuState(i, MF_BYPOSITION) & (MF_GRAYED | MF_CHECKED), 0u)
            << "states go";
    }
    EXPECT_EQ(menu.GetMenuItemID(3), 0u) << "a top-level separator is an empty text item";

    GlyphMenu& file = SubMenu(menu, 0);
    const UINT fileFlags[] = {0x100, 0x100, 0x900, 0x101, 0x110};
    ASSERT_EQ(file.m_items.GetSize(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(RecordAt(file, i)->m_flags, fileFlags[i]) << i;
        ExpectRecordAt(file, i);
    }
    GlyphMenu& older = SubMenu(SubMenu(file, 4), 0);
    for (GlyphMenu* sub : {&file, &SubMenu(file, 4), &older, &SubMenu(menu, 1)})
        EXPECT_TRUE(GlyphMenu::IsRegisteredMenu(sub));
    ExpectAligned(file, {"&Open\tCtrl+O", "Save &All Files\tCtrl+Shift+S", "", "E&xit", "&Recent"});
    ExpectAligned(older, {"打开(&O).txt\tF1", "a much longer name.txt\tF2"});

    // "&Direct" at the top shares its id with the first item of "&Older": depth
    // first, in position order, the deeper one is found first.
    CString text("unchanged");
    EXPECT_TRUE(menu.GetItemText(ID_OLD_A, text, MF_BYCOMMAND));
    EXPECT_EQ(std::string(text).substr(0, 12), "打开(&O).txt");
    int position = -2;
    EXPECT_EQ(menu.FindCommandOwner(ID_OLD_B, &position), older.GetSafeHmenu());
    EXPECT_EQ(position, 1);
    ASSERT_TRUE(::RemoveMenu(older.GetSafeHmenu(), 0, MF_BYPOSITION));
    EXPECT_EQ(menu.FindCommandOwner(ID_OLD_A, &position), menu.GetSafeHmenu());
    EXPECT_EQ(position, 2);
    EXPECT_EQ(menu.FindCommandOwner(4242, &position), nullptr);
    EXPECT_EQ(position, -1);
    EXPECT_FALSE(menu.GetItemText(4, text, MF_BYPOSITION)) << "no record there";

    // Appending to a loaded top level turns an appended popup plain as well.
    auto* later = new GlyphMenu; // owned by menu once appended
    ASSERT_TRUE(later->CreatePopupMenu());
    menu.AppendItem(L"Later", MF_POPUP, AsId(*later));
    EXPECT_EQ(PlatformItem(menu, 4).fType, 0u);
    EXPECT_EQ(RecordAt(menu, 4)->m_flags, popup);

    // A second load replaces the tree; a missing resource, a broken template, or a
    // sub-menu that cannot be made (the first or the third of four) fails before
    // the loaded menu is touched.
    const HMENU hFile = file.GetSafeHmenu(), hOlder = older.GetSafeHmenu();
    ASSERT_TRUE(menu.LoadMenu("NAMEDMENU"));
    EXPECT_TRUE(!::IsMenu(hFile) && !::IsMenu(hOlder) && !GlyphMenu::IsRegisteredMenu(hOlder));
    const HMENU named = menu.GetSafeHmenu();
    const INT_PTR registered = GlyphMenu::s_popupRegistry.GetSize();
    EXPECT_FALSE(menu.LoadMenu("NOSUCHMENU"));
    for (int popupsMade : {-1, 0, 2}) {
        g_popupsBeforeFailure = popupsMade;
        EXPECT_FALSE(menu.LoadMenu(popupsMade < 0 ? IDM_TEST_UNCLOSED : IDM_TEST_NESTED));
        g_popupsBeforeFailure = -1;
        EXPECT_EQ(menu.GetSafeHmenu(), named);
        EXPECT_EQ(menu.GetMenuItemCount(), 1);
        ASSERT_EQ(menu.m_items.GetSize(), 1);
        EXPECT_STREQ(RecordAt(menu, 0)->m_text, L"Named");
        EXPECT_EQ(GlyphMenu::s_popupRegistry.GetSize(), registered);
    }
}

// After changes behind the object's back: the claimed separator stands at
// position 2, where the item with command id 2 must not be touched, and a popup
// without a record brings its item count in the high byte of its state.
TEST(GlyphMenuSync, RebuildsOneRecordPerItemInPositionOrder) {
    GlyphMenu menu;
    ASSERT_TRUE(menu.CreatePopupMenu());
    menu.AppendItem(L"&Open", MF_STRING, 1);
    menu.AppendItem(nullptr, MF_STRING, 0);
    menu.AppendItem(L"&Two", MF_STRING, 2);
    menu.AppendItem(L"Gone", MF_STRING, 3);
    GlyphMenuItem *open = RecordAt(menu, 0), *separator = RecordAt(menu, 1),
                  *two = RecordAt(menu, 2);
    const HMENU sub = ::CreatePopupMenu(); // destroyed with menu
    ::AppendMenuA(sub, MF_STRING, 71, "x");
    ::AppendMenuA(sub, MF_STRING, 72, "y");
    ASSERT_TRUE(::DeleteMenu(menu.GetSafeHmenu(), 3, MF_BYCOMMAND));
    ASSERT_TRUE(::InsertMenuA(menu.GetSafeHmenu(), 0, MF_BYPOSITION | MF_CHECKED, 9, "New\tF9"));
    ASSERT_TRUE(::AppendMenuA(menu.GetSafeHmenu(), MF_POPUP | MF_GRAYED,
                              reinterpret_cast<UINT_PTR>(sub), "&Sub"));
    menu.SyncItemRecords();
    ASSERT_EQ(menu.m_items.GetSize(), 5);
    for (int j = 0; j < 5; ++j)
        ExpectRecordAt(menu, j);
    EXPECT_EQ(RecordAt(menu, 1), open);
    EXPECT_EQ(RecordAt(menu, 2), separator);
    EXPECT_EQ(RecordAt(menu, 3), two);
    EXPECT_EQ(std::string(TextOf(open)), "&Open") << "an owner-drawn item has no text to take";
    EXPECT_EQ(open->m_flags, static_cast<UINT>(MF_OWNERDRAW | MF_BYPOSITION));
    EXPECT_EQ(separator->m_flags, 0x900u);
    EXPECT_NE(PlatformItem(menu, 2).fType & MFT_SEPARATOR, 0u);
    EXPECT_EQ(PlatformItem(menu, 3).fType & MFT_SEPARATOR, 0u);
    EXPECT_EQ(menu.GetMenuItemID(3), 2u);
    EXPECT_EQ(TextOf(RecordAt(menu, 0)), "New\tF9");
    EXPECT_EQ(RecordAt(menu, 0)->m_flags, static_cast<UINT>(MF_CHECKED | 0x500));
    const GlyphMenuItem* popup = RecordAt(menu, 4);
    EXPECT_EQ(popup->m_flags, static_cast<UINT>(MF_GRAYED | 0x510));
    EXPECT_EQ(popup->m_id, MenuKeyOf(sub));
    EXPECT_EQ(TextOf(popup), "&Sub");
    EXPECT_EQ(PlatformItem(menu, 4).hSubMenu, sub);

    // Records nobody claims are freed and leave no slot behind.
    menu.SetAllSyncMarks(0);
    menu.TakeRecordForId(2);
    menu.DeleteUnmarkedRecords();
    ASSERT_EQ(menu.m_items.GetSize(), 1);
    EXPECT_EQ(RecordAt(menu, 0), two);
}

TEST(MenuHandleKey, WidensBySignExtension) {
    for (const INT_PTR handle : {INT_PTR{0x0002004C}, INT_PTR{-0x7FFEFFB4}}) {
        const HMENU hMenu = reinterpret_cast<HMENU>(handle);
        EXPECT_EQ(MenuHandleOfKey(MenuKeyOf(hMenu)), hMenu) << std::hex << handle;
    }
}

// The button answers mnemonics for registered popups that have a GlyphMenu behind
// them, with the first case-insensitive match; anything else gets the default answer.
TEST(StyledButtonMenuChar, MnemonicsOfRegisteredGlyphMenusOnly) {
    CStyledButton button;
    const HWND hButton = ::CreateWindowExA(0, "BUTTON", "", WS_POPUP, 0, 0, 20, 20, nullptr,
                                           nullptr, nullptr, nullptr);
    ASSERT_TRUE(button.SubclassWindow(hButton));
    GlyphMenu parent, unregistered;
    auto* menu = new GlyphMenu;                   // owned by parent once appended
    const HMENU plainPopup = ::CreatePopupMenu(); // destroyed with parent
    ASSERT_TRUE(parent.CreatePopupMenu() && menu->CreatePopupMenu() &&
                unregistered.CreatePopupMenu());
    UINT id = 100;
    for (const wchar_t* caption : {L"&Save", L"&save as", L"Fish &&Chips", L"文件(&F)", L"&Queue"})
        menu->AppendItem(caption, MF_STRING, ++id);
    unregistered.AppendItem(L"&Open", MF_STRING, 3);
    ::AppendMenuA(plainPopup, MF_STRING, 2, "&Open");
    CMenu plainOwner; // destroyed before parent, which then finds no object for it
    ASSERT_TRUE(plainOwner.CreatePopupMenu() && plainOwner.AppendMenu(MF_STRING, 4, "&Open"));
    parent.AppendItem(L"glyph", MF_POPUP, AsId(*menu));
    parent.AppendItem(L"plain", MF_POPUP, reinterpret_cast<UINT_PTR>(plainPopup));
    parent.AppendItem(L"plain object", MF_POPUP, AsId(plainOwner));
    const auto ask = [hButton](UINT character, UINT flags, UINT_PTR hMenu) {
        return ::SendMessageA(hButton, WM_MENUCHAR, MAKEWPARAM(character, flags),
                              static_cast<LPARAM>(hMenu));
    };
    for (const auto& [character, position] :
         {std::pair{'S', 0}, std::pair{'s', 0}, std::pair{'c', 2}, std::pair{'f', 3}})
        EXPECT_EQ(ask(character, MF_POPUP, AsId(*menu)), MAKELRESULT(position, MNC_EXECUTE))
            << character;
    EXPECT_EQ(GlyphMenu::HandleMenuChar(0x100 | 'q', MF_POPUP, menu), MAKELRESULT(4, MNC_EXECUTE));
    EXPECT_EQ(ask('x', MF_POPUP, AsId(*menu)), 0);
    for (UINT_PTR other :
         {reinterpret_cast<UINT_PTR>(plainPopup), AsId(plainOwner), AsId(unregistered)})
        EXPECT_EQ(ask('o', MF_POPUP, other),
                  ::DefWindowProcA(hButton, WM_MENUCHAR, MAKEWPARAM('o', MF_POPUP),
                                   static_cast<LPARAM>(other)));

    // An item added behind the object's back: popups only resynchronise.
    ASSERT_TRUE(::InsertMenuA(menu->GetSafeHmenu(), 0, MF_BYPOSITION, 7, "&Zebra"));
    EXPECT_EQ(ask('z', MF_SYSMENU, AsId(*menu)), 0);
    EXPECT_EQ(menu->m_items.GetSize(), 5);
    EXPECT_EQ(ask('z', MF_POPUP, AsId(*menu)), MAKELRESULT(0, MNC_EXECUTE));
    ExpectRecordAt(*menu, 0);
    ::DestroyWindow(hButton);
}

} // namespace
