#pragma once
// The record behind one owner-drawn menu item; its address is the item data.

#include "CString.h"

class GlyphMenuItem {
  public:
    GlyphMenuItem() = default;
    ~GlyphMenuItem() { delete[] m_text; }
    GlyphMenuItem(const GlyphMenuItem&) = delete;
    GlyphMenuItem& operator=(const GlyphMenuItem&) = delete;

    // A null text leaves the record without a caption.
    void SetTextWide(const wchar_t* text);
    // Converts from the ANSI code page.
    void SetTextAnsi(const char* text);
    // Converts to the ANSI code page; empty without a caption.
    CString GetTextAnsi() const;

    wchar_t* m_text = nullptr; // UTF-16 caption, owned
    INT32 m_globalImage = -1;  // index in the shared glyph list, -1 for none
    UINT m_flags = 0;          // MF_ flags the item was last registered with
    UINT m_id = 0;             // command id, sub-menu handle of a popup, 0 for a separator
    UINT m_syncMark = 0;       // non-zero while claimed by a resynchronisation
};
