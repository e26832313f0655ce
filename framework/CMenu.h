#pragma once
// A menu: owns the menu handle attached to it (see HandleMap.h), found again
// through the menu map, so a popup handle leads back to the object that
// manages it. Views of other menus are plain HMENUs.

#include "CObject.h"
#include "CString.h"

class CMenu : public CObject {
    DECLARE_DYNAMIC(CMenu)

  public:
    CMenu() = default;
    ~CMenu() override;
    CMenu(CMenu&& other) noexcept;
    CMenu& operator=(CMenu&& other) noexcept;
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;

    // Owner-drawn items; the window that receives WM_DRAWITEM/WM_MEASUREITEM
    // for an item passes it here. A plain menu draws nothing itself.
    virtual void DrawItem(LPDRAWITEMSTRUCT) {}
    virtual void MeasureItem(LPMEASUREITEMSTRUCT) {}

    HMENU GetSafeHmenu() const { return m_hMenu; }

    // The object attached to a handle, or null.
    static CMenu* FromHandle(HMENU hMenu);
    // The object whose menu has an item with this item data, or null for none
    // or no data.
    static CMenu* HoldingItem(ULONG_PTR itemData);

    // Destroys the menu held before (see HandleMap.h); refused, with nothing changed,
    // when the handle is attached already.
    BOOL Attach(HMENU hMenu);
    HMENU Detach();

    BOOL CreateMenu() { return Attach(::CreateMenu()); }
    BOOL CreatePopupMenu() { return Attach(::CreatePopupMenu()); }
    // Detaches and destroys the menu; FALSE when there was none. Virtual, so that a
    // menu with records of its own releases them however it is reached.
    virtual BOOL DestroyMenu();

    // For MF_OWNERDRAW items newItem is the item data, as with the Win32 calls.
    BOOL AppendMenu(UINT flags, UINT_PTR idNewItem = 0, LPCSTR newItem = nullptr) {
        return ::AppendMenuA(m_hMenu, flags, idNewItem, newItem);
    }
    BOOL ModifyMenu(UINT position, UINT flags, UINT_PTR idNewItem = 0, LPCSTR newItem = nullptr) {
        return ::ModifyMenuA(m_hMenu, position, flags, idNewItem, newItem);
    }
    int GetMenuItemCount() const { return ::GetMenuItemCount(m_hMenu); }
    UINT GetMenuItemID(int position) const { return ::GetMenuItemID(m_hMenu, position); }
    UINT GetMenuState(UINT id, UINT flags) const { return ::GetMenuState(m_hMenu, id, flags); }
    int GetMenuString(UINT id, CString& text, UINT flags) const;
    // The popup at a position, or null when the item there is not a popup.
    HMENU GetSubMenu(int position) const { return ::GetSubMenu(m_hMenu, position); }

  protected:
    HMENU m_hMenu = nullptr;
};
