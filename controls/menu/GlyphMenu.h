#pragma once
// A menu whose items are owner-drawn, each backed by a GlyphMenuItem record
// with a UTF-16 caption and an index into one glyph list shared by all menus.
//
// A GlyphMenu owns its records and the GlyphMenu objects attached to the
// popup handles it appended, so destroying it releases the whole tree. Those
// objects are found through the menu handle map, which is why a GlyphMenu is
// neither copied nor moved.

#include "CGdiObject.h"
#include "CImageList.h"
#include "CMenu.h"
#include "CPtrArray.h"
#include "CRect.h"
#include "GlyphMenuItem.h"
#include "OsKind.h"

#include <vector>

enum MenuStyle : INT32 {
    MENU_STYLE_CLASSIC = 0,
    MENU_STYLE_FLAT = 1,
};

// Item ids and records hold a popup's menu handle in 32 bits; the handle
// widens back by sign extension, as the system widens its own handles.
inline UINT MenuKeyOf(HMENU hMenu) {
    return static_cast<UINT>(reinterpret_cast<UINT_PTR>(hMenu));
}
inline HMENU MenuHandleOfKey(UINT key) {
    return reinterpret_cast<HMENU>(static_cast<INT_PTR>(static_cast<LONG>(key)));
}

class CDC;
struct MenuItemLook;
struct FlatMenuColors;

class GlyphMenu : public CMenu {
    DECLARE_DYNAMIC(GlyphMenu)

  public:
    GlyphMenu();
    ~GlyphMenu() override;
    GlyphMenu(const GlyphMenu&) = delete;
    GlyphMenu& operator=(const GlyphMenu&) = delete;

    // Build the menu tree from a menu resource template of the executable.
    // FALSE, with the object as it was, when the resource is missing, its
    // template runs past its end or leaves a level open, or a menu cannot be made.
    virtual BOOL LoadMenu(int resourceId);
    virtual BOOL LoadMenu(const char* resourceName);
    // Releases sub-menus, records and the handle; FALSE when there was no handle.
    BOOL DestroyMenu() override;

    // Owner-drawn items; the window showing the menu routes them here.
    void MeasureItem(LPMEASUREITEMSTRUCT lpMeasureItemStruct) override;
    // Classic or flat, per item: flat only when themed and not on a palette device.
    void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override;
    void DrawItemClassic(LPDRAWITEMSTRUCT lpDrawItemStruct);
    void DrawItemFlat(LPDRAWITEMSTRUCT lpDrawItemStruct);
    // The check box of a checked item without glyph; hRadio is the item's
    // checked-state bitmap, set for radio items.
    BOOL DrawCheckClassic(CDC* pDC, const RECT& rect, BOOL bSelected, HBITMAP hRadio);
    BOOL DrawCheckFlat(CDC* pDC, const RECT& rect, HBITMAP hRadio, COLORREF crHighlight);
    static void DrawRadioDot(CDC* pDC, int x, int y, COLORREF crColor);
    static void DrawCheckTick(CDC* pDC, int x, int y, COLORREF crColor);

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
    // Frees the records that no item claimed and drops them from m_items.
    void DeleteUnmarkedRecords();
    // By position with MF_BYPOSITION, else by command id anywhere in the tree.
    BOOL GetItemText(UINT idOrPosition, CString& text, UINT flags);
    // Depth-first owner of a normal item with this id; position -1 and null if none.
    HMENU FindCommandOwner(UINT id, int* position);

    // The answer to WM_MENUCHAR for a popup menu.
    static LRESULT HandleMenuChar(UINT character, UINT flags, GlyphMenu* menu);
    static BOOL IsRegisteredMenu(CMenu* menu);
    static BOOL IsRegisteredMenu(HMENU hMenu);
    static BOOL IsClassicTheme();
    static BOOL IsXpThemed();
    static BOOL IsFlatStyle();
    static int FindSharedGlyph(UINT id);

    // The colour moved towards white by fraction, each channel on its own.
    static COLORREF LightenColor(COLORREF crColor, double fraction);

    // Glyphs: every menu draws from s_sharedGlyphs, keyed by command id.
    // The image of command id in a toolbar resource; *imageIndex unchanged
    // when the id has no button there or its image is 0.
    BOOL ToolbarImageIndex(UINT id, int toolbarResource, int* imageIndex);
    // Whether a faded and a shadow copy follow the glyph at index.
    static BOOL HasGlyphVariants(int index);
    // Puts image imageIndex of source into the shared list under id, replacing
    // the glyph an earlier id left; its index there, or -1.
    int AddSharedGlyph(CImageList& source, int imageIndex, UINT id);
    // Cuts a bitmap resource into the list's images, the button face transparent.
    BOOL AddGlyphBitmap(CImageList& list, int resourceId);
    // A 16-colour bitmap resource with the standard greys, black and white
    // turned into the current button colours; no handle for anything else.
    static CBitmap LoadMappedBitmap(int resourceId);
    static WORD DibColorCount(const BITMAPINFOHEADER* header);
    // The glyph on the button face, as a bitmap compatible with pDC.
    BOOL RenderGlyph(CDC* pDC, CImageList& list, int imageIndex, CBitmap& glyph);
    void FadeGlyph(CBitmap& glyph);
    void ShadowGlyph(CBitmap& glyph);
    // A disabled glyph: shadow silhouette over a highlight copy one pixel right
    // and down, on crBackground. The bitmap is overwritten.
    void DrawEmbossedGlyph(CDC* pDC, int x, int y, int width, int height, CBitmap& glyph, int srcX,
                           int srcY, COLORREF crBackground);

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
    // The flat style's room around a glyph: more when glyphs have a shadow to cast.
    static int FlatSpacing() { return s_flatGlyphVariants ? 7 : 4; }
    // The flat style's glyph column.
    int ColumnWidth() const { return FlatSpacing() + m_glyphWidth; }

    // Steps of the two painters.
    COLORREF FillClassicBackground(CDC* pDC, const CRect& itemRect, const MenuItemLook& look,
                                   COLORREF crBackground) const;
    void DrawClassicGlyph(CDC* pDC, const CRect& glyphFrame, const MenuItemLook& look,
                          COLORREF crBackground);
    void DrawFlatGlyph(CDC* pDC, const CRect& itemRect, const CRect& column,
                       const MenuItemLook& look, const FlatMenuColors& colors);
    // Both parts of the caption, left and right of its tabs, in one colour.
    void DrawItemText(CDC* pDC, const GlyphMenuItem* item, CRect rect, COLORREF crText) const;

    GlyphMenuItem* ItemAt(INT_PTR index) const {
        return static_cast<GlyphMenuItem*>(m_items.GetAt(index));
    }
    static void Unregister(HMENU hMenu);
    static INT32 ProbeOsKind();

    static BOOL s_themeChecked;
    static BOOL s_themeClassic;
};
