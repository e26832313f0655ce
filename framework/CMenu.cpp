#include "CMenu.h"

#include "HandleMap.h"

#include <utility>

IMPLEMENT_DYNAMIC(CMenu, CObject)

namespace {

HandleMap<HMENU, CMenu>& MenuMap() {
    static HandleMap<HMENU, CMenu> map;
    return map;
}

bool HasItemData(HMENU hMenu, ULONG_PTR itemData) {
    for (int position = ::GetMenuItemCount(hMenu) - 1; position >= 0; --position) {
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_DATA;
        if (::GetMenuItemInfoA(hMenu, static_cast<UINT>(position), TRUE, &info) &&
            info.dwItemData == itemData)
            return true;
    }
    return false;
}

} // namespace

CMenu::~CMenu() {
    DestroyMenu();
}

CMenu::CMenu(CMenu&& other) noexcept {
    Attach(other.Detach());
}

CMenu& CMenu::operator=(CMenu&& other) noexcept {
    if (this != &other)
        Attach(other.Detach());
    return *this;
}

CMenu* CMenu::FromHandle(HMENU hMenu) {
    return MenuMap().Find(hMenu);
}

CMenu* CMenu::HoldingItem(ULONG_PTR itemData) {
    if (itemData == 0)
        return nullptr;
    return MenuMap().FindIf([itemData](HMENU hMenu) { return HasItemData(hMenu, itemData); });
}

BOOL CMenu::Attach(HMENU hMenu) {
    if (hMenu != nullptr && FromHandle(hMenu) != nullptr)
        return FALSE;
    DestroyMenu();
    if (hMenu == nullptr || !MenuMap().Add(hMenu, this))
        return FALSE;
    m_hMenu = hMenu;
    return TRUE;
}

HMENU CMenu::Detach() {
    HMENU hMenu = std::exchange(m_hMenu, nullptr);
    MenuMap().Remove(hMenu, this);
    return hMenu;
}

BOOL CMenu::DestroyMenu() {
    if (m_hMenu == nullptr)
        return FALSE;
    return ::DestroyMenu(Detach());
}

int CMenu::GetMenuString(UINT id, CString& text, UINT flags) const {
    const int length = ::GetMenuStringA(m_hMenu, id, nullptr, 0, flags);
    if (length <= 0) {
        text.Empty();
        return 0;
    }
    const int copied = ::GetMenuStringA(m_hMenu, id, text.GetBuffer(length), length + 1, flags);
    text.ReleaseBuffer(copied > 0 ? copied : 0);
    return copied;
}
