// Loading a GlyphMenu from a menu template and keeping its records in step
// with the platform menu afterwards.
#include "GlyphMenu.h"

#include "CDC.h"
#include "CGdiObject.h"
#include "MenuHost.h"
#include "MenuTemplate.h"
#include "ResourceBytes.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string>

namespace {

LPCSTR AsItemData(GlyphMenuItem* item) {
    return reinterpret_cast<LPCSTR>(item);
}

void LowerAnsi(CString& text) {
    const int length = text.GetLength();
    ::CharLowerBuffA(text.GetBuffer(length), static_cast<DWORD>(length));
    text.ReleaseBuffer(length);
}

// Depth-first over a menu tree, in position order; sub-menus need no
// GlyphMenu behind them.
HMENU FindOwnerIn(HMENU menu, UINT id, int* position) {
    for (int p = 0; p < ::GetMenuItemCount(menu); ++p) {
        if (HMENU popup = ::GetSubMenu(menu, p)) {
            if (HMENU owner = FindOwnerIn(popup, id, position))
                return owner;
        } else if (::GetMenuItemID(menu, p) == id) {
            *position = p;
            return menu;
        }
    }
    *position = -1;
    return nullptr;
}

} // namespace

BOOL GlyphMenu::LoadMenu(int resourceId) {
    return LoadMenu(MAKEINTRESOURCEA(static_cast<WORD>(resourceId)));
}

BOOL GlyphMenu::LoadMenu(const char* resourceName) {
    const auto resource = ResourceBytes(resourceName, RT_MENU);
    if (resource.empty())
        return FALSE;
    // Read the whole template and make every menu it needs before the old tree
    // goes, so that a failure leaves this menu as it was.
    const auto items = ReadMenuTemplate(resource);
    if (!items)
        return FALSE;
    std::vector<std::unique_ptr<GlyphMenu>> popups;
    for (const MenuTemplateItem& entry : *items) {
        if (!entry.popup)
            continue;
        popups.push_back(std::make_unique<GlyphMenu>());
        if (!popups.back()->CreatePopupMenu())
            return FALSE;
    }
    const HMENU hBar = ::CreateMenu();
    if (hBar == nullptr)
        return FALSE;

    Attach(hBar); // the old tree goes

    // The open levels, bottom first; the top one receives the next item. The reader has
    // already worked out which item ends which levels.
    using PopupStack = std::vector<GlyphMenu*>;
    PopupStack levels{this};
    auto nextPopup = popups.begin();
    for (const MenuTemplateItem& entry : *items) {
        const std::wstring caption(entry.caption.begin(), entry.caption.end());
        GlyphMenu* level = levels.back();
        if (entry.popup) {
            GlyphMenu* popup = (nextPopup++)->release(); // owned by level through its popup handles
            level->AppendItem(caption.c_str(), entry.flags,
                              reinterpret_cast<UINT_PTR>(popup->GetSafeHmenu()));
            levels.push_back(popup);
        } else {
            level->AppendItem(caption.c_str(), entry.flags, entry.id);
            for (int closed = 0; closed < entry.levelsClosed; ++closed) {
                levels.back()->AlignShortcutText();
                levels.pop_back();
            }
        }
    }

    // The system draws the top level; only deeper levels stay owner-drawn.
    for (int i = 0; i < GetMenuItemCount() && i < m_items.GetSize(); ++i) {
        GlyphMenuItem* item = ItemAt(i);
        const CString text = item->GetTextAnsi();
        if (HMENU popup = GetSubMenu(i)) {
            item->m_flags = MF_POPUP | MF_BYPOSITION;
            ModifyMenu(i, item->m_flags, reinterpret_cast<UINT_PTR>(popup), text);
        } else {
            item->m_flags = MF_STRING | MF_BYPOSITION;
            ModifyMenu(i, item->m_flags, item->m_id, text);
        }
    }
    m_loadedFromTemplate = TRUE;
    return TRUE;
}

void GlyphMenu::AlignShortcutText() {
    CFont font;
    CreateMenuFont(font);
    CClientDC dc(MainOrDesktopWindow());
    CSelectGuard selectFont(dc, font);
    const auto width = [&dc](const CString& text) {
        return dc.GetTextExtent(text, text.GetLength()).cx;
    };

    const int count = GetMenuItemCount();
    const int records = static_cast<int>(m_items.GetSize());
    int target = -1;
    for (int i = 0; i < count && i < records; ++i) {
        const CString text = ItemAt(i)->GetTextAnsi();
        const int tab = text.Find('\t');
        CString left = tab < 0 ? text : text.Left(tab);
        left += " ";
        target = std::max(target, static_cast<int>(width(left)));
    }
    for (int i = 0; i < count && i < records; ++i) {
        const CString text = ItemAt(i)->GetTextAnsi();
        const int tab = text.Find('\t');
        if (tab < 0)
            continue;
        CString left = text.Left(tab);
        // A space that adds no width would never reach the target.
        for (LONG current = width(left); current < target;) {
            left += " ";
            const LONG padded = width(left);
            if (padded <= current)
                break;
            current = padded;
        }
        ItemAt(i)->SetTextAnsi(left + text.Mid(tab));
    }
}

int GlyphMenu::TopLevelOffset() {
    if (!m_loadedFromTemplate)
        return 0;
    const int count = GetMenuItemCount();
    for (int i = 0; i < count; ++i) {
        CString text;
        GetMenuString(i, text, MF_BYPOSITION);
        if (text.IsEmpty())
            continue;
        for (INT_PTR j = 0; j < m_items.GetSize(); ++j)
            if (ItemAt(j)->GetTextAnsi() == text)
                return i >= j ? i - static_cast<int>(j) : 0;
    }
    return 0;
}

void GlyphMenu::MakeTopLevelPlain() {
    const int offset = TopLevelOffset();
    for (int p = offset; p < GetMenuItemCount(); ++p) {
        const INT_PTR j = p - offset;
        HMENU popup = j < m_items.GetSize() ? GetSubMenu(p) : nullptr;
        if (popup == nullptr)
            continue;
        GlyphMenuItem* item = ItemAt(j);
        item->m_flags = MF_POPUP | MF_BYPOSITION;
        ModifyMenu(p, item->m_flags, reinterpret_cast<UINT_PTR>(popup), item->GetTextAnsi());
    }
}

GlyphMenuItem* GlyphMenu::ReplaceItemRecord(UINT position, UINT flags, UINT id, CString text) {
    auto* item = new GlyphMenuItem;
    item->SetTextAnsi(text);
    item->m_flags = flags;
    item->m_id = id;
    ModifyMenu(position, flags, reinterpret_cast<UINT_PTR>(MenuHandleOfKey(id)),
               (flags & MF_OWNERDRAW) ? AsItemData(item) : nullptr);
    return item;
}

void GlyphMenu::SyncItemRecords() {
    SetAllSyncMarks(0);
    CPtrArray synced;
    for (int j = 0; j < GetMenuItemCount(); ++j) {
        const UINT state = GetMenuState(j, MF_BYPOSITION);
        GlyphMenuItem* item = nullptr;
        if (state & MF_POPUP) {
            const UINT id = MenuKeyOf(::GetSubMenu(m_hMenu, j));
            item = TakeRecordForId(id);
            CString text;
            GetMenuString(j, text, MF_BYPOSITION);
            // The high byte of a popup's state is its item count.
            if (item == nullptr)
                item = ReplaceItemRecord(
                    j, (state & 0xFF) | MF_BYPOSITION | MF_POPUP | MF_OWNERDRAW, id, text);
            else if (!text.IsEmpty())
                item->SetTextAnsi(text);
        } else if (state & MF_SEPARATOR) {
            item = TakeRecordForId(0);
            if (item == nullptr)
                item = ReplaceItemRecord(j, state | MF_SEPARATOR | MF_BYPOSITION | MF_OWNERDRAW, 0,
                                         CString());
            else
                ModifyMenu(j, item->m_flags | MF_BYPOSITION, 0, AsItemData(item));
        } else {
            const UINT id = GetMenuItemID(j);
            item = TakeRecordForId(id);
            CString text;
            GetMenuString(j, text, MF_BYPOSITION);
            const UINT flags = state | MF_BYPOSITION | MF_OWNERDRAW;
            if (item == nullptr) {
                item = ReplaceItemRecord(j, flags, id, text);
            } else {
                item->m_flags = flags;
                if (!text.IsEmpty())
                    item->SetTextAnsi(text);
                ModifyMenu(j, flags, id, AsItemData(item));
            }
        }
        synced.Add(item);
    }
    DeleteUnmarkedRecords();
    m_items.RemoveAll();
    m_items.Append(synced);
}

GlyphMenuItem* GlyphMenu::TakeRecordForId(UINT id) {
    for (INT_PTR i = 0; i < m_items.GetSize(); ++i) {
        GlyphMenuItem* item = ItemAt(i);
        if (item->m_id == id && item->m_syncMark == 0) {
            item->m_syncMark = 1;
            return item;
        }
    }
    return nullptr;
}

void GlyphMenu::SetAllSyncMarks(UINT value) {
    for (INT_PTR i = 0; i < m_items.GetSize(); ++i)
        ItemAt(i)->m_syncMark = value;
}

// Every other operation reads m_items without a null check, so no freed slot stays behind.
void GlyphMenu::DeleteUnmarkedRecords() {
    for (INT_PTR i = m_items.GetSize() - 1; i >= 0; --i) {
        if (ItemAt(i)->m_syncMark == 0) {
            delete ItemAt(i);
            m_items.RemoveAt(i);
        }
    }
}

BOOL GlyphMenu::GetItemText(UINT idOrPosition, CString& text, UINT flags) {
    if (flags & MF_BYPOSITION) {
        if (idOrPosition >= static_cast<UINT>(m_items.GetSize()))
            return FALSE;
        text = ItemAt(idOrPosition)->GetTextAnsi();
        return TRUE;
    }
    int position = -1;
    CMenu* owner = CMenu::FromHandle(FindCommandOwner(idOrPosition, &position));
    if (owner == nullptr || !owner->IsKindOf(RUNTIME_CLASS(GlyphMenu)))
        return FALSE;
    return static_cast<GlyphMenu*>(owner)->GetItemText(position, text, MF_BYPOSITION);
}

HMENU GlyphMenu::FindCommandOwner(UINT id, int* position) {
    return FindOwnerIn(m_hMenu, id, position);
}

LRESULT GlyphMenu::HandleMenuChar(UINT character, UINT flags, GlyphMenu* menu) {
    if (menu == nullptr || !(flags & MF_POPUP))
        return 0;
    CString key("&");
    const char typed[2] = {static_cast<char>(character & 0xFF), '\0'};
    key += typed;
    LowerAnsi(key);

    const int count = menu->GetMenuItemCount();
    if (count != menu->m_items.GetSize())
        menu->SyncItemRecords();
    for (int i = 0; i < count; ++i) {
        CString text;
        if (!menu->GetItemText(i, text, MF_BYPOSITION))
            continue;
        LowerAnsi(text);
        if (std::strstr(text, key) != nullptr)
            return (MNC_EXECUTE << 16) | (i & 0xFFFF);
    }
    return 0;
}
