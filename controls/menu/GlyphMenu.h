#pragma once
// A menu whose items are owner-drawn, each backed by a GlyphMenuItem record
// with a UTF-16 caption and an index into one glyph list shared by all menus.
//
// A GlyphMenu owns its records and the GlyphMenu objects attached to the
// popup handles it appended, so destroying it releases the whole tree. Those
// objects are found through the menu handle map, which is why a GlyphMenu is
// neither copied nor moved.

#include "CImageList.h"
#include "CMenu.h"
#include "CPtrArray.h"
#include "GlyphMenuItem.h"
#include "OsKind.h"

#include <vector>

enum MenuStyle : INT32 {
    MENU_STYLE_CLASSIC = 0,
    MENU_STYLE_FLAT = 1,
};

class GlyphMenu : public CMenu {
    DECLARE_DYNAMIC(GlyphMenu)

  public:
    GlyphMenu() = default;
    ~GlyphMenu() override;
    GlyphMenu(const GlyphMenu&) = delete;
    GlyphMenu& operator=(const GlyphMenu&) = delete;

    // Build the menu tree from a menu resource template of the executable.
    // FALSE, with the object as it was, when the resource is missing or its
    // template runs past its end or leaves a level open.
    virtual BOOL LoadMenu(int resourceId);
    virtual BOOL LoadMenu(const char* resourceName);
    // Releases sub-menus, records and the handle; FALSE when there was no handle.
    virtual BOOL DestroyMenu();

    // Appends an owner-drawn item (a separator when id is 0). For MF_POPUP, id
    // is the sub-menu's handle. glyphResource -1: the item has no glyph resource.
    BOOL AppendItem(const wchar_t* text, UINT flags, UINT_PTR id, int glyphResource = -1);

    // Pads the captions so that the text after a tab starts at the same place.
    void AlignShortcutText();
    // Platform items that stand before the items this object registered.
    int TopLevelOffset();
    // Turns the popups of a loaded top level into plain system popups.
    void MakeTopLevelPlain();
    // Re-registers the item at a position with a fresh record, which it returns
    // without listing it.
    GlyphMenuItem* ReplaceItemRecord(UINT position, UINT flags, UINT id, CString text);
    // Rebuilds m_items: one record per platform item, in position order.
    void SyncItemRecords();
    GlyphMenuItem* TakeRecordForId(UINT id);
    void SetAllSyncMarks(UINT value);
    // Frees unclaimed records; their slots in m_items become null, for the
    // caller to remove.
    void DeleteUnmarkedRecords();
    // By position with MF_BYPOSITION, else by command id anywhere in the tree.
    BOOL GetItemText(UINT idOrPosition, CString& text, UINT flags);
    // Depth-first owner of a normal item with this id; position -1 and null if none.
    CMenu* FindCommandOwner(UINT id, int* position);

    // The answer to WM_MENUCHAR for a popup menu.
    static LRESULT HandleMenuChar(UINT character, UINT flags, GlyphMenu* menu);
    static BOOL IsRegisteredMenu(CMenu* menu);
    static BOOL IsRegisteredMenu(HMENU hMenu);
    static BOOL IsClassicTheme();
    static BOOL IsXpThemed();
    static BOOL IsFlatStyle();
    static int FindSharedGlyph(UINT id);

    CPtrArray m_items;        // GlyphMenuItem*, owned
    CPtrArray m_popupHandles; // HMENU of every popup appended here
    INT32 m_glyphWidth = 16;
    INT32 m_glyphHeight = 15;
    BOOL m_loadedFromTemplate = FALSE; // never cleared once loaded

    // Class-wide, constructed in this order at start-up.
    static CImageList s_sharedGlyphs;
    static std::vector<INT32> s_sharedGlyphIds; // command id of each shared glyph
    static CPtrArray s_popupRegistry;           // HMENU of every appended popup
    static INT32 s_osKind;                      // OsKind, probed at start-up
    static constexpr INT32 s_flatModeWhenThemed = MENU_STYLE_FLAT;
    static constexpr INT32 s_modeOtherwise = MENU_STYLE_CLASSIC;
    static constexpr BOOL s_classicSelectDisabled = TRUE;
    static constexpr BOOL s_flatSelectDisabled = FALSE;
    static constexpr BOOL s_flatGlyphVariants = TRUE;

  private:
    GlyphMenuItem* ItemAt(INT_PTR index) const {
        return static_cast<GlyphMenuItem*>(m_items.GetAt(index));
    }
    static void Unregister(HMENU hMenu);
    static INT32 ProbeOsKind();

    static BOOL s_themeChecked;
    static BOOL s_themeClassic;
};
