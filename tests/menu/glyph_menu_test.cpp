// GlyphMenu's records, loading and editing on real platform menus under wine.
#include "CGdiObject.h"
#include "CStyledButton.h"
#include "FailingCreatePopupMenu.h"
#include "GlyphMenu.h"
#include "ThemeSetting.h"
#include "menu_test_ids.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

// Addresses given to operator delete while a FreedScope is alive, so a test can
// see what a destruction freed. Fixed storage: recording must not allocate.
namespace {
const void* g_freed[1 << 14];
int g_freedCount = -1;

void Free(void* address) noexcept {
    if (g_freedCount >= 0 && g_freedCount < static_cast<int>(std::size(g_freed)))
        g_freed[g_freedCount++] = address;
    std::free(address);
}
} // namespace

void operator delete(void* address) noexcept {
    Free(address);
}
void operator delete(void* address, std::size_t) noexcept {
    Free(address);
}

namespace {

struct FreedScope {
    FreedScope() { g_freedCount = 0; }
    ~FreedScope() { g_freedCount = -1; }
    bool Freed(const void* address) const {
        return std::find(g_freed, g_freed + g_freedCount, address) != g_freed + g_freedCount;
    }
};

MENUITEMINFOA PlatformItem(const CMenu& menu, int position) {
    MENUITEMINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_DATA | MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU;
    ::GetMenuItemInfoA(menu.GetSafeHmenu(), static_cast<UINT>(position), TRUE, &info);
    return info;
}

bool IsOwnerDrawn(const CMenu& menu, int position) {
    return (PlatformItem(menu, position).fType & MFT_OWNERDRAW) != 0;
}

GlyphMenuItem* RecordAt(const GlyphMenu& menu, INT_PTR index) {
    return static_cast<GlyphMenuItem*>(menu.m_items.GetAt(index));
}

std::string TextOf(const GlyphMenuItem* record) {
    return static_cast<const char*>(record->GetTextAnsi());
}

GlyphMenu& SubMenu(const CMenu& menu, int position) {
    CMenu* sub = CMenu::FromHandle(menu.GetSubMenu(position));
    EXPECT_TRUE(sub != nullptr && sub->IsKindOf(RUNTIME_CLASS(GlyphMenu))) << position;
    return *static_cast<GlyphMenu*>(sub);
}

int Registrations(HMENU hMenu) {
    int count = 0;
    for (INT_PTR i = 0; i < GlyphMenu::s_popupRegistry.GetSize(); ++i)
        count += GlyphMenu::s_popupRegistry[i] == hMenu;
    return count;
}

UINT_PTR AsId(const CMenu& menu) {
    return reinterpret_cast<UINT_PTR>(menu.GetSafeHmenu());
}

TEST(GlyphMenuAppend, RegisteredFlagsRecordAndCaption) {
    struct Case {
        const wchar_t* text;
        UINT flags, id, expected;
    };
    const Case cases[] = {
        {L"caption", MF_STRING | MF_GRAYED, 0, 0x900}, // id 0: a separator
        {L"caption", MF_GRAYED | MF_BYPOSITION, 0, 0xD00},
        {L"caption", MF_STRING, 7, 0x100},
        {nullptr, MF_CHECKED | MF_GRAYED, 8, 0x109},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        GlyphMenu menu;
        ASSERT_TRUE(menu.CreatePopupMenu());
        EXPECT_TRUE(menu.AppendItem(c.text, c.flags, c.id));
        const GlyphMenuItem* record = RecordAt(menu, 0);
        EXPECT_EQ(record->m_flags, c.expected);
        EXPECT_EQ(record->m_id, c.id);
        EXPECT_STREQ(record->m_text, c.text);
        EXPECT_EQ(PlatformItem(menu, 0).dwItemData, reinterpret_cast<ULONG_PTR>(record));
        EXPECT_EQ(PlatformItem(menu, 0).fType, c.expected & 0xF00 & ~MF_BYPOSITION);
    }
    GlyphMenu::s_sharedGlyphIds = {5, 9, 5};
    GlyphMenu menu;
    ASSERT_TRUE(menu.CreatePopupMenu());
    for (UINT id : {5, 9, 4})
        menu.AppendItem(L"x", MF_STRING, id);
    EXPECT_EQ(RecordAt(menu, 0)->m_globalImage, 0) << "an earlier glyph of the same command";
    EXPECT_EQ(RecordAt(menu, 1)->m_globalImage, 1);
    EXPECT_EQ(RecordAt(menu, 2)->m_globalImage, -1);
    GlyphMenu::s_sharedGlyphIds.clear();
}

TEST(GlyphMenuPopups, RegisteredPerAppendAndReleasedWithTheTree) {
    auto root = std::make_unique<GlyphMenu>();
    ASSERT_TRUE(root->CreateMenu());
    auto* popup = new GlyphMenu; // owned by root once appended
    ASSERT_TRUE(popup->CreatePopupMenu());
    auto* deeper = new GlyphMenu; // owned by popup once appended
    ASSERT_TRUE(deeper->CreatePopupMenu());
    const HMENU hPopup = popup->GetSafeHmenu(), hDeeper = deeper->GetSafeHmenu();
    popup->AppendItem(L"deeper", MF_POPUP, AsId(*deeper));
    deeper->AppendItem(L"leaf", MF_STRING, 40);
    root->AppendItem(L"first", MF_POPUP, AsId(*popup));
    root->AppendItem(L"again", MF_POPUP, AsId(*popup));
    EXPECT_EQ(RecordAt(*root, 1)->m_flags, static_cast<UINT>(MF_POPUP | MF_OWNERDRAW));
    EXPECT_EQ(Registrations(hPopup), 2);
    EXPECT_TRUE(GlyphMenu::IsRegisteredMenu(popup));
    EXPECT_FALSE(GlyphMenu::IsRegisteredMenu(root.get())) << "only appended popups";
    EXPECT_FALSE(GlyphMenu::IsRegisteredMenu(static_cast<CMenu*>(nullptr)));

    const std::vector<const void*> records = {RecordAt(*root, 0), RecordAt(*popup, 0),
                                              RecordAt(*deeper, 0), RecordAt(*deeper, 0)->m_text};
    FreedScope freed;
    root.reset();
    for (const void* record : records)
        EXPECT_TRUE(freed.Freed(record));
    EXPECT_TRUE(freed.Freed(popup));
    EXPECT_TRUE(freed.Freed(deeper));
    for (HMENU hMenu : {hPopup, hDeeper}) {
        EXPECT_FALSE(::IsMenu(hMenu));
        EXPECT_EQ(Registrations(hMenu), 0);
    }
}

TEST(GlyphMenuPopups, AFailedAppendKeepsTheRecordAndDestroyWithoutHandleFreesIt) {
    GlyphMenu menu;
    EXPECT_FALSE(menu.AppendItem(L"lost", MF_STRING, 12));
    ASSERT_EQ(menu.m_items.GetSize(), 1);
    const void* record = RecordAt(menu, 0);
    FreedScope freed;
    EXPECT_FALSE(menu.DestroyMenu());
    EXPECT_TRUE(freed.Freed(record));
    EXPECT_EQ(menu.m_items.GetSize(), 0);
}

// Checks that each caption with a tab was padded with spaces just far enough to
// reach the widest left part plus one space, and nothing else changed.
void ExpectAligned(const GlyphMenu& menu, const std::vector<std::string>& original) {
    CFont font;
    NONCLIENTMETRICSA metrics = {};
    metrics.cbSize = offsetof(NONCLIENTMETRICSA, iPaddedBorderWidth);
    ::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0);
    font.CreateFontIndirect(&metrics.lfMenuFont);
    const HDC dc = ::GetDC(nullptr);
    const HGDIOBJ old = ::SelectObject(dc, font.GetSafeHandle());
    const auto width = [dc](const std::string& text) {
        SIZE size{};
        ::GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
        return size.cx;
    };
    LONG target = -1;
    for (const std::string& text : original)
        target = std::max(target, width(text.substr(0, text.find('\t')) + " "));
    for (std::size_t i = 0; i < original.size(); ++i) {
        const std::string now = TextOf(RecordAt(menu, static_cast<INT_PTR>(i)));
        const std::size_t tab = original[i].find('\t'), newTab = now.find('\t');
        SCOPED_TRACE(original[i]);
        if (tab == std::string::npos) {
            EXPECT_EQ(now, original[i]);
            continue;
        }
        ASSERT_GT(newTab, tab);
        EXPECT_EQ(now.substr(newTab), original[i].substr(tab));
        EXPECT_EQ(now.substr(0, tab), original[i].substr(0, tab));
        EXPECT_EQ(now.find_first_not_of(' ', tab), newTab) << "only spaces are added";
        EXPECT_GE(width(now.substr(0, newTab)), target);
        EXPECT_LT(width(now.substr(0, newTab - 1)), target) << "no more than needed";
    }
    ::SelectObject(dc, old);
    ::ReleaseDC(nullptr, dc);
}

TEST(GlyphMenuLoad, PlainTopLevelOwnerDrawnLevelsBelowEachAlignedAsItCloses) {
    GlyphMenu menu;
    ASSERT_TRUE(menu.LoadMenu(IDM_TEST_NESTED));
    ASSERT_EQ(menu.GetMenuItemCount(), 4);
    const UINT popup = MF_POPUP | MF_BYPOSITION, plain = MF_STRING | MF_BYPOSITION;
    const UINT topFlags[] = {popup, popup, plain, plain};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(RecordAt(menu, i)->m_flags, topFlags[i]);
        EXPECT_EQ(PlatformItem(menu, i).fType, 0u) << "plain text, no separator or break";
        EXPECT_EQ(PlatformItem(menu, i).fState, 0u) << "template states are not kept";
    }
    CString text;
    menu.GetMenuString(1, text, MF_BYPOSITION);
    EXPECT_EQ(text, "&Help");
    EXPECT_EQ(menu.GetMenuItemID(3), 0u) << "a top-level separator is an empty text item";

    GlyphMenu& file = SubMenu(menu, 0);
    const UINT fileFlags[] = {0x100, 0x100, 0x900, 0x101, 0x110};
    ASSERT_EQ(file.m_items.GetSize(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(RecordAt(file, i)->m_flags, fileFlags[i]) << i;
        EXPECT_TRUE(IsOwnerDrawn(file, i));
    }
    GlyphMenu& recent = SubMenu(file, 4);
    GlyphMenu& older = SubMenu(recent, 0);
    for (GlyphMenu* sub : {&file, &recent, &older, &SubMenu(menu, 1)})
        EXPECT_TRUE(GlyphMenu::IsRegisteredMenu(sub));
    ExpectAligned(file, {"&Open\tCtrl+O", "Save &All Files\tCtrl+Shift+S", "", "E&xit", "&Recent"});
    ExpectAligned(older, {"a.txt\tF1", "a much longer name.txt\tF2"});

    GlyphMenu chinese;
    ASSERT_TRUE(chinese.LoadMenu(IDM_TEST_CHINESE));
    ExpectAligned(SubMenu(chinese, 0), {"打开(&O)\tCtrl+O", "关闭\tCtrl+W"});

    // Appending to a loaded top level turns an appended popup plain as well.
    auto* later = new GlyphMenu; // owned by menu once appended
    ASSERT_TRUE(later->CreatePopupMenu());
    menu.AppendItem(L"Later", MF_POPUP, AsId(*later));
    EXPECT_FALSE(IsOwnerDrawn(menu, 4));
    EXPECT_EQ(RecordAt(menu, 4)->m_flags, popup);
}

TEST(GlyphMenuLoad, ASecondLoadReplacesTheTreeAFailedOneLeavesItAlone) {
    GlyphMenu menu;
    EXPECT_FALSE(menu.LoadMenu("NOSUCHMENU"));
    EXPECT_FALSE(menu.LoadMenu(IDM_TEST_UNCLOSED));
    EXPECT_EQ(menu.GetSafeHmenu(), nullptr);
    ASSERT_TRUE(menu.LoadMenu(IDM_TEST_NESTED));
    const HMENU file = ::GetSubMenu(menu.GetSafeHmenu(), 0);
    const HMENU older = ::GetSubMenu(::GetSubMenu(file, 4), 0);
    ASSERT_TRUE(menu.LoadMenu("NAMEDMENU"));
    for (HMENU hMenu : {file, older}) {
        EXPECT_FALSE(::IsMenu(hMenu));
        EXPECT_FALSE(GlyphMenu::IsRegisteredMenu(hMenu));
    }
    ASSERT_EQ(menu.m_items.GetSize(), 1);
    const HMENU named = menu.GetSafeHmenu();

    // A broken template, or a sub-menu that cannot be made (the first or the
    // third of four), fails before the loaded menu is touched.
    const int registered = static_cast<int>(GlyphMenu::s_popupRegistry.GetSize());
    for (int successes : {-1, 0, 2}) {
        SCOPED_TRACE(successes);
        FailCreatePopupMenuAfter(successes);
        EXPECT_FALSE(menu.LoadMenu(successes < 0 ? IDM_TEST_UNCLOSED : IDM_TEST_NESTED));
        EXPECT_EQ(menu.GetSafeHmenu(), named);
        EXPECT_EQ(menu.GetMenuItemCount(), 1);
        ASSERT_EQ(menu.m_items.GetSize(), 1);
        EXPECT_STREQ(RecordAt(menu, 0)->m_text, L"Named");
        EXPECT_EQ(GlyphMenu::s_popupRegistry.GetSize(), registered);
    }
}

TEST(GlyphMenuSync, RebuildsRecordsInPositionOrderAfterChangesBehindTheObjectsBack) {
    GlyphMenu menu;
    ASSERT_TRUE(menu.LoadMenu(IDM_TEST_NESTED));
    GlyphMenu& file = SubMenu(menu, 0);
    const HMENU hFile = file.GetSafeHmenu();
    GlyphMenuItem *open = RecordAt(file, 0), *saveAll = RecordAt(file, 1),
                  *separator = RecordAt(file, 2), *exit = RecordAt(file, 3),
                  *recent = RecordAt(file, 4);
    const std::string openText = TextOf(open);
    // Now: separator, Open, Inserted, Save All, separator, Recent.
    ASSERT_TRUE(::DeleteMenu(hFile, ID_EXIT, MF_BYCOMMAND));
    ASSERT_TRUE(::InsertMenuA(hFile, 1, MF_BYPOSITION | MF_CHECKED, 2100, "Inserted\tF9"));
    ASSERT_TRUE(::InsertMenuA(hFile, 0, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr));

    FreedScope freed;
    file.SyncItemRecords();
    EXPECT_TRUE(freed.Freed(exit));
    const GlyphMenuItem* const kept[] = {separator, open, nullptr, saveAll, nullptr, recent};
    ASSERT_EQ(file.m_items.GetSize(), 6);
    for (int j = 0; j < 6; ++j) {
        SCOPED_TRACE(j);
        EXPECT_EQ(PlatformItem(file, j).dwItemData, reinterpret_cast<ULONG_PTR>(RecordAt(file, j)));
        EXPECT_TRUE(IsOwnerDrawn(file, j));
        if (kept[j] != nullptr) {
            EXPECT_EQ(RecordAt(file, j), kept[j]);
        }
    }
    EXPECT_EQ(TextOf(open), openText) << "an owner-drawn item has no platform text to take";
    EXPECT_EQ(open->m_flags, static_cast<UINT>(MF_OWNERDRAW | MF_BYPOSITION));
    EXPECT_EQ(TextOf(RecordAt(file, 2)), "Inserted\tF9");
    EXPECT_EQ(RecordAt(file, 2)->m_flags, static_cast<UINT>(MF_CHECKED | 0x500));
    EXPECT_EQ(RecordAt(file, 4)->m_flags, 0xD03u) << "a fresh record for the grayed separator";

    // The loaded top level becomes owner-drawn too, except a popup that has a record.
    ASSERT_TRUE(::ModifyMenuA(menu.GetSafeHmenu(), 2, MF_BYPOSITION, ID_DIRECT, "&Renamed"));
    menu.SyncItemRecords();
    EXPECT_TRUE(IsOwnerDrawn(menu, 2));
    EXPECT_EQ(TextOf(RecordAt(menu, 2)), "&Renamed");
    EXPECT_FALSE(IsOwnerDrawn(menu, 1));
    EXPECT_EQ(TextOf(RecordAt(menu, 1)), "&Help");
}

// A separator record claimed at a later position must change the item at that
// position, not the item whose command id equals the position.
TEST(GlyphMenuSync, SeparatorIsModifiedByPosition) {
    GlyphMenu menu;
    ASSERT_TRUE(menu.CreatePopupMenu());
    menu.AppendItem(L"zero", MF_STRING, 5);
    menu.AppendItem(nullptr, MF_STRING, 0);
    menu.AppendItem(L"&One", MF_STRING, 1);
    const GlyphMenuItem* separator = RecordAt(menu, 1);
    menu.SyncItemRecords();
    EXPECT_EQ(PlatformItem(menu, 1).dwItemData, reinterpret_cast<ULONG_PTR>(separator));
    EXPECT_NE(PlatformItem(menu, 1).fType & MFT_SEPARATOR, 0u);
    EXPECT_EQ(PlatformItem(menu, 2).fType & MFT_SEPARATOR, 0u);
    EXPECT_EQ(menu.GetMenuItemID(2), 1u);
    EXPECT_EQ(PlatformItem(menu, 2).dwItemData, reinterpret_cast<ULONG_PTR>(RecordAt(menu, 2)));
}

// A popup inserted without a record gets one; the item count in the high byte
// of its state does not become flags.
TEST(GlyphMenuSync, PopupWithoutARecordGetsOneWithItsStateFlagsOnly) {
    GlyphMenu menu;
    ASSERT_TRUE(menu.CreatePopupMenu());
    menu.AppendItem(L"&First", MF_STRING, 5);
    const HMENU sub = ::CreatePopupMenu(); // destroyed with menu
    for (UINT id : {71, 72})
        ::AppendMenuA(sub, MF_STRING, id, "x");
    ASSERT_TRUE(::InsertMenuA(menu.GetSafeHmenu(), 1, MF_BYPOSITION | MF_POPUP | MF_GRAYED,
                              reinterpret_cast<UINT_PTR>(sub), "&Sub"));
    ASSERT_EQ(menu.GetMenuState(1, MF_BYPOSITION) >> 8, 2u);
    menu.SyncItemRecords();
    ASSERT_EQ(menu.m_items.GetSize(), 2);
    const GlyphMenuItem* record = RecordAt(menu, 1);
    EXPECT_EQ(record->m_flags, static_cast<UINT>(MF_GRAYED | MF_POPUP | MF_OWNERDRAW | MF_BYPOSITION));
    EXPECT_EQ(record->m_id, MenuKeyOf(sub));
    EXPECT_EQ(TextOf(record), "&Sub");
    const MENUITEMINFOA item = PlatformItem(menu, 1);
    EXPECT_EQ(item.hSubMenu, sub);
    EXPECT_EQ(item.fType, static_cast<UINT>(MFT_OWNERDRAW));
    EXPECT_EQ(item.dwItemData, reinterpret_cast<ULONG_PTR>(record));
}

TEST(GlyphMenuSync, FreedRecordsLeaveNoSlotBehind) {
    GlyphMenu menu;
    ASSERT_TRUE(menu.CreatePopupMenu());
    for (UINT id : {5, 6, 7})
        menu.AppendItem(L"x\ty", MF_STRING, id);
    GlyphMenuItem *first = RecordAt(menu, 0), *unclaimed = RecordAt(menu, 1),
                  *last = RecordAt(menu, 2);
    menu.SetAllSyncMarks(0);
    menu.TakeRecordForId(5);
    menu.TakeRecordForId(7);
    FreedScope freed;
    menu.DeleteUnmarkedRecords();
    EXPECT_TRUE(freed.Freed(unclaimed));
    ASSERT_EQ(menu.m_items.GetSize(), 2);
    EXPECT_EQ(RecordAt(menu, 0), first);
    EXPECT_EQ(RecordAt(menu, 1), last);
    menu.AlignShortcutText();
}

TEST(MenuHandleKey, WidensBySignExtension) {
    for (const INT_PTR handle : {INT_PTR{0x0002004C}, INT_PTR{-0x7FFEFFB4}}) {
        const HMENU hMenu = reinterpret_cast<HMENU>(handle);
        EXPECT_EQ(MenuHandleOfKey(MenuKeyOf(hMenu)), hMenu) << std::hex << handle;
    }
}

TEST(GlyphMenuItemText, ByPositionAndByCommandIdDepthFirst) {
    GlyphMenu menu;
    ASSERT_TRUE(menu.LoadMenu(IDM_TEST_DUPLICATES));
    GlyphMenu &a = SubMenu(menu, 0), &b = SubMenu(menu, 1);
    CString text("unchanged");
    EXPECT_TRUE(menu.GetItemText(ID_SHARED, text, MF_BYCOMMAND));
    EXPECT_EQ(text, "in A1") << "the first in depth-first position order";
    EXPECT_TRUE(menu.GetItemText(1, text, MF_BYPOSITION));
    EXPECT_EQ(text, "B");
    int position = -2;
    EXPECT_EQ(menu.FindCommandOwner(ID_SECOND, &position), a.GetSafeHmenu());
    EXPECT_EQ(position, 1);
    ASSERT_TRUE(::RemoveMenu(a.GetSafeHmenu(), 0, MF_BYPOSITION));
    EXPECT_EQ(menu.FindCommandOwner(ID_SHARED, &position), b.GetSafeHmenu());
    ASSERT_TRUE(::RemoveMenu(menu.GetSafeHmenu(), 1, MF_BYPOSITION));
    EXPECT_EQ(menu.FindCommandOwner(ID_SHARED, &position), menu.GetSafeHmenu());
    EXPECT_EQ(position, 1);
    EXPECT_EQ(menu.FindCommandOwner(4242, &position), nullptr);
    EXPECT_EQ(position, -1);

    // No record at the position, no such id, or no GlyphMenu behind the owner.
    const HMENU raw = ::CreatePopupMenu();
    ::AppendMenuA(raw, MF_STRING, 4001, "Raw");
    menu.AppendItem(L"Plain popup", MF_POPUP, reinterpret_cast<UINT_PTR>(raw));
    text = "unchanged";
    EXPECT_FALSE(menu.GetItemText(5, text, MF_BYPOSITION));
    EXPECT_FALSE(menu.GetItemText(4242, text, MF_BYCOMMAND));
    EXPECT_FALSE(menu.GetItemText(4001, text, MF_BYCOMMAND));
    EXPECT_EQ(text, "unchanged");
}

TEST(GlyphMenuHandleMenuChar, FirstCaseInsensitiveMnemonicOfPopupsOnly) {
    GlyphMenu menu;
    ASSERT_TRUE(menu.CreatePopupMenu());
    UINT id = 100;
    for (const wchar_t* caption : {L"&Save", L"&save as", L"Fish &&Chips", L"文件(&F)", L"&Queue"})
        menu.AppendItem(caption, MF_STRING, ++id);
    const std::pair<UINT, LRESULT> cases[] = {
        {'S', MAKELRESULT(0, MNC_EXECUTE)}, {'s', MAKELRESULT(0, MNC_EXECUTE)},
        {'c', MAKELRESULT(2, MNC_EXECUTE)}, {'f', MAKELRESULT(3, MNC_EXECUTE)},
        {0x100 | 'q', MAKELRESULT(4, MNC_EXECUTE)}, {'x', 0},
    };
    for (const auto& [character, expected] : cases)
        EXPECT_EQ(GlyphMenu::HandleMenuChar(character, MF_POPUP, &menu), expected) << character;
    EXPECT_EQ(GlyphMenu::HandleMenuChar('s', MF_POPUP, nullptr), 0);

    // An item added behind the object's back: popups only resynchronise.
    ASSERT_TRUE(::InsertMenuA(menu.GetSafeHmenu(), 0, MF_BYPOSITION, 7, "&Zebra"));
    EXPECT_EQ(GlyphMenu::HandleMenuChar('z', MF_SYSMENU, &menu), 0);
    EXPECT_EQ(menu.m_items.GetSize(), 5);
    EXPECT_EQ(GlyphMenu::HandleMenuChar('z', MF_POPUP, &menu), MAKELRESULT(0, MNC_EXECUTE));
    EXPECT_TRUE(IsOwnerDrawn(menu, 0));
}

// The button answers mnemonics only for registered popups that have a
// GlyphMenu behind them; anything else gets the default answer.
TEST(StyledButtonMenuChar, OnlyRegisteredGlyphMenus) {
    CStyledButton button;
    const HWND hButton = ::CreateWindowExA(0, "BUTTON", "", WS_POPUP | BS_PUSHBUTTON, 0, 0, 20,
                                           20, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(button.SubclassWindow(hButton));
    GlyphMenu parent;
    ASSERT_TRUE(parent.CreatePopupMenu());
    auto* glyphPopup = new GlyphMenu; // owned by parent once appended
    ASSERT_TRUE(glyphPopup->CreatePopupMenu());
    glyphPopup->AppendItem(L"&Open", MF_STRING, 1);
    const HMENU plainPopup = ::CreatePopupMenu(); // destroyed with parent
    ::AppendMenuA(plainPopup, MF_STRING, 2, "&Open");
    GlyphMenu unregistered;
    ASSERT_TRUE(unregistered.CreatePopupMenu());
    unregistered.AppendItem(L"&Open", MF_STRING, 3);
    parent.AppendItem(L"glyph", MF_POPUP, AsId(*glyphPopup));
    parent.AppendItem(L"plain", MF_POPUP, reinterpret_cast<UINT_PTR>(plainPopup));

    const WPARAM typed = MAKEWPARAM('o', MF_POPUP);
    const auto ask = [&](HMENU hMenu) {
        return ::SendMessageA(hButton, WM_MENUCHAR, typed, reinterpret_cast<LPARAM>(hMenu));
    };
    EXPECT_EQ(ask(glyphPopup->GetSafeHmenu()), MAKELRESULT(0, MNC_EXECUTE));
    for (HMENU other : {plainPopup, unregistered.GetSafeHmenu()})
        EXPECT_EQ(ask(other),
                  ::DefWindowProcA(hButton, WM_MENUCHAR, typed, reinterpret_cast<LPARAM>(other)));
    ::DestroyWindow(hButton);
}

TEST(GlyphMenuItemText, RoundTripsThroughCodePage936) {
    ASSERT_EQ(::GetACP(), 936u) << "tests expect LC_ALL=zh_CN.GBK under wine";
    for (const auto& [ansi, wide] : {std::pair{"打开文件(&O)\tCtrl+O", L"打开文件(&O)\tCtrl+O"},
                                     std::pair{"", L""}}) {
        GlyphMenuItem item;
        item.SetTextAnsi(ansi);
        EXPECT_STREQ(item.m_text, wide);
        EXPECT_EQ(item.GetTextAnsi(), ansi);
    }
    GlyphMenuItem item;
    item.SetTextWide(L"A\u0E01B"); // a Thai letter has no GBK form
    EXPECT_EQ(item.GetTextAnsi(), "A?B");
    item.SetTextAnsi(nullptr);
    EXPECT_EQ(item.m_text, nullptr);
    EXPECT_TRUE(item.GetTextAnsi().IsEmpty());
}

TEST(ThemeSetting, ReadsTheCurrentUsersThemeFromTheRegistry) {
    EXPECT_EQ(GlyphMenu::s_osKind, OS_NT_OTHER) << "wine reports an NT version after XP";
    const char* key = "Software\\Microsoft\\Plus!\\Themes\\Current";
    ::RegDeleteKeyA(HKEY_CURRENT_USER, key);
    EXPECT_FALSE(ReadClassicThemeSetting()) << "no key";
    for (const auto& [value, classic] :
         {std::pair{"c:\\windows\\resources\\themes\\windows classic.theme", true},
          std::pair{"C:\\WINDOWS\\Resources\\Themes\\Luna.theme", false}}) {
        ASSERT_EQ(::RegSetValueA(HKEY_CURRENT_USER, key, REG_SZ, value, 0), ERROR_SUCCESS);
        EXPECT_EQ(ReadClassicThemeSetting() != FALSE, classic) << value;
    }
    ::RegDeleteKeyA(HKEY_CURRENT_USER, key);
}

} // namespace
