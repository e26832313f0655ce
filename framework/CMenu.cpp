#include "CMenu.h"

#include "ViewCache.h"

#include <unordered_map>
#include <utility>

IMPLEMENT_DYNAMIC(CMenu, CObject)

namespace {

// Menus live on the user-interface thread only, so the maps need no lock.
std::unordered_map<HMENU, CMenu*>& PermanentMap() {
    static std::unordered_map<HMENU, CMenu*> map;
    return map;
}

// A view of a menu that no object owns: it forgets the handle instead of
// destroying the menu.
class CTempMenu : public CMenu {
  public:
    ~CTempMenu() override { m_hMenu = nullptr; }
    void Name(HMENU hMenu) { m_hMenu = hMenu; } // not owned
};

} // namespace

CMenu::~CMenu() {
    DestroyMenu();
}

CMenu::CMenu(CMenu&& other) noexcept {
    Attach(other.Detach());
}

CMenu& CMenu::operator=(CMenu&& other) noexcept {
    if (this != &other) {
        DestroyMenu();
        Attach(other.Detach());
    }
    return *this;
}

CMenu* CMenu::FromHandlePermanent(HMENU hMenu) {
    const auto found = PermanentMap().find(hMenu);
    return found == PermanentMap().end() ? nullptr : found->second;
}

CMenu* CMenu::FromHandle(HMENU hMenu) {
    if (hMenu == nullptr)
        return nullptr;
    if (CMenu* attached = FromHandlePermanent(hMenu))
        return attached;
    return CachedView<CTempMenu>(hMenu, [](CTempMenu& view, HMENU h) { view.Name(h); });
}

BOOL CMenu::Attach(HMENU hMenu) {
    if (hMenu == nullptr || m_hMenu != nullptr || FromHandlePermanent(hMenu) != nullptr)
        return FALSE;
    m_hMenu = hMenu;
    PermanentMap()[hMenu] = this;
    return TRUE;
}

HMENU CMenu::Detach() {
    HMENU hMenu = std::exchange(m_hMenu, nullptr);
    if (hMenu != nullptr) {
        const auto found = PermanentMap().find(hMenu);
        if (found != PermanentMap().end() && found->second == this)
            PermanentMap().erase(found);
    }
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

CMenu* CMenu::GetSubMenu(int position) const {
    return FromHandle(::GetSubMenu(m_hMenu, position));
}
