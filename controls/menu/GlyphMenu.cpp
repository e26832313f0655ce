#include "GlyphMenu.h"

#include "ThemeSetting.h"

IMPLEMENT_DYNAMIC(GlyphMenu, CMenu)

// Destroyed in reverse order when the program ends; the glyph list's
// destructor destroys its image list.
CImageList GlyphMenu::s_sharedGlyphs;
std::vector<INT32> GlyphMenu::s_sharedGlyphIds;
CPtrArray GlyphMenu::s_popupRegistry;
INT32 GlyphMenu::s_osKind = GlyphMenu::ProbeOsKind();
BOOL GlyphMenu::s_themeChecked = FALSE;
BOOL GlyphMenu::s_themeClassic = FALSE;

GlyphMenu::GlyphMenu() = default;

GlyphMenu::~GlyphMenu() {
    DestroyMenu();
}

INT32 GlyphMenu::ProbeOsKind() {
    const DWORD versionWord = ::GetVersion();
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    if (!::GetVersionExA(&info))
        info.dwMajorVersion = info.dwMinorVersion = 0;
    return DecideOsKind(versionWord, info.dwMajorVersion, info.dwMinorVersion);
}

BOOL GlyphMenu::DestroyMenu() {
    if (m_hMenu != nullptr)
        Unregister(m_hMenu);
    for (INT_PTR i = m_popupHandles.GetSize() - 1; i >= 0; --i) {
        const HMENU hPopup = static_cast<HMENU>(m_popupHandles[i]);
        Unregister(hPopup);
        // A handle appended twice finds its object only the first time: the
        // deleted object has left the handle map.
        CMenu* popup = CMenu::FromHandle(hPopup);
        if (popup != nullptr && popup->IsKindOf(RUNTIME_CLASS(GlyphMenu)))
            delete popup;
    }
    m_popupHandles.RemoveAll();
    for (INT_PTR i = 0; i < m_items.GetSize(); ++i)
        delete ItemAt(i);
    m_items.RemoveAll();
    return CMenu::DestroyMenu();
}

void GlyphMenu::Unregister(HMENU hMenu) {
    for (INT_PTR i = s_popupRegistry.GetSize() - 1; i >= 0; --i)
        if (s_popupRegistry[i] == hMenu)
            s_popupRegistry.RemoveAt(i);
}

BOOL GlyphMenu::AppendItem(const wchar_t* text, UINT flags, UINT_PTR id, int glyphResource) {
    if (id == 0)
        flags = MF_SEPARATOR | MF_OWNERDRAW | (flags & MF_BYPOSITION);
    else
        flags |= MF_OWNERDRAW;
    if (flags & MF_POPUP) {
        s_popupRegistry.Add(reinterpret_cast<void*>(id));
        m_popupHandles.Add(reinterpret_cast<void*>(id));
    }

    auto* item = new GlyphMenuItem;
    m_items.Add(item);
    item->SetTextWide(text);
    if (glyphResource >= 0) {
        int imageIndex = 0;
        ToolbarImageIndex(static_cast<UINT>(id), glyphResource, &imageIndex);
        CImageList bitmapImages;
        bitmapImages.Create(m_glyphWidth, m_glyphHeight, ILC_COLORDDB | ILC_MASK, 1, 1);
        if (AddGlyphBitmap(bitmapImages, glyphResource))
            item->m_globalImage = AddSharedGlyph(bitmapImages, imageIndex, static_cast<UINT>(id));
    } else {
        item->m_globalImage = FindSharedGlyph(static_cast<UINT>(id));
    }
    item->m_flags = flags;
    // Menu handles are 32-bit values even in 64-bit processes.
    item->m_id = static_cast<UINT>(id);

    const BOOL appended = AppendMenu(flags, id, reinterpret_cast<LPCSTR>(item));
    if (m_loadedFromTemplate)
        MakeTopLevelPlain();
    return appended;
}

int GlyphMenu::FindSharedGlyph(UINT id) {
    for (size_t i = 0; i < s_sharedGlyphIds.size(); ++i)
        if (static_cast<UINT>(s_sharedGlyphIds[i]) == id)
            return static_cast<int>(i);
    return -1;
}

BOOL GlyphMenu::IsRegisteredMenu(CMenu* menu) {
    return menu != nullptr && IsRegisteredMenu(menu->GetSafeHmenu());
}

BOOL GlyphMenu::IsRegisteredMenu(HMENU hMenu) {
    for (INT_PTR i = 0; i < s_popupRegistry.GetSize(); ++i)
        if (s_popupRegistry[i] == hMenu)
            return TRUE;
    return FALSE;
}

BOOL GlyphMenu::IsClassicTheme() {
    if (!s_themeChecked) {
        s_themeChecked = TRUE;
        s_themeClassic = ReadClassicThemeSetting();
    }
    return s_themeClassic;
}

BOOL GlyphMenu::IsXpThemed() {
    return s_osKind == OS_WINXP && !IsClassicTheme();
}

BOOL GlyphMenu::IsFlatStyle() {
    return (IsXpThemed() ? s_flatModeWhenThemed : s_modeOtherwise) == MENU_STYLE_FLAT;
}
