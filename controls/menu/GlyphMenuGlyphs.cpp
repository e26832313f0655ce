// The shared glyph list: glyphs from toolbar bitmaps in the current button
// colours, their faded and shadow copies for the flat style, and the embossed
// form of disabled glyphs.
#include "GlyphMenu.h"

#include "CDC.h"
#include "CToolBar.h"
#include "LightenColor.h"
#include "MenuHost.h"
#include "ResourceBytes.h"

#include <cstring>
#include <vector>

namespace {

constexpr UINT kGlyphListFlags = ILC_COLORDDB | ILC_MASK;
constexpr DWORD kEmbossRop = 0x00E20746; // brush where the mask is black, else destination

COLORREF FaceColor() {
    return ::GetSysColor(COLOR_BTNFACE);
}

// Writes a system colour over a colour-table entry (blue, green, red, reserved).
void PutColor(RGBQUAD& entry, int systemColor) {
    const COLORREF color = ::GetSysColor(systemColor);
    entry = RGBQUAD{GetBValue(color), GetGValue(color), GetRValue(color), 0};
}

// Applies map to every pixel of a glyph that differs from the button face, as
// the glyph's own format stores the face.
template <class Map> void MapGlyphPixels(CBitmap& glyph, Map map) {
    CMemoryDC dc;
    dc.CreateCompatibleDC(nullptr);
    CSelectGuard selectGlyph(dc, glyph);
    const SIZE size = glyph.GetSize();

    CBitmap probe;
    probe.CreateCompatibleBitmap(&dc, size.cx, size.cy);
    CMemoryDC probeDc;
    probeDc.CreateCompatibleDC(&dc);
    COLORREF background;
    {
        CSelectGuard selectProbe(probeDc, probe);
        const CBrush face(FaceColor());
        const RECT all{0, 0, size.cx, size.cy};
        probeDc.FillRect(&all, &face);
        background = probeDc.GetPixel(1, 1);
    }

    for (int x = 0; x < size.cx; ++x)
        for (int y = 0; y < size.cy; ++y) {
            const COLORREF pixel = dc.GetPixel(x, y);
            if (pixel != background)
                dc.SetPixel(x, y, map(pixel));
        }
}

} // namespace

COLORREF GlyphMenu::LightenColor(COLORREF crColor, double fraction) {
    return LightenRgb(crColor, fraction);
}

BOOL GlyphMenu::ToolbarImageIndex(UINT id, int toolbarResource, int* imageIndex) {
    CToolBar bar;
    if (!bar.Create(MainOrDesktopWindow(), WS_CHILD | WS_VISIBLE | CBRS_TOP,
                    AFX_IDW_TOOLBAR) ||
        !bar.LoadToolBar(static_cast<UINT>(toolbarResource)))
        return FALSE;
    const int index = bar.CommandToIndex(id);
    if (index < 0)
        return FALSE;
    UINT buttonId = 0, style = 0;
    int image = 0;
    bar.GetButtonInfo(index, buttonId, style, image);
    // A separator's "image" is its width.
    if (style & BTNS_SEP)
        return FALSE;
    if (image > 0)
        *imageIndex = image;
    return TRUE;
}

BOOL GlyphMenu::HasGlyphVariants(int index) {
    const auto count = static_cast<long long>(s_sharedGlyphIds.size());
    if (index < 0 || index + 2LL >= count)
        return FALSE;
    return s_sharedGlyphIds[index + 1] == s_sharedGlyphIds[index] &&
           s_sharedGlyphIds[index + 2] == s_sharedGlyphIds[index];
}

int GlyphMenu::AddSharedGlyph(CImageList& source, int imageIndex, UINT id) {
    if (s_sharedGlyphs.GetSafeHandle() == nullptr)
        s_sharedGlyphs.Create(m_glyphWidth, m_glyphHeight, kGlyphListFlags, 1, 1);
    const HICON icon = source.ExtractIcon(imageIndex);
    if (icon == nullptr)
        return -1;

    CBitmap faded, shadow;
    const BOOL variants = IsFlatStyle() && s_flatGlyphVariants;
    if (variants) {
        CClientDC dc(MainOrDesktopWindow());
        RenderGlyph(&dc, source, imageIndex, faded);
        FadeGlyph(faded);
        RenderGlyph(&dc, source, imageIndex, shadow);
        ShadowGlyph(shadow);
    }

    const COLORREF face = FaceColor();
    int result = FindSharedGlyph(id);
    if (result >= 0) {
        s_sharedGlyphs.Replace(result, icon);
        if (variants && HasGlyphVariants(result)) {
            s_sharedGlyphs.Replace(result + 1, &faded, face);
            s_sharedGlyphs.Replace(result + 2, &shadow, face);
        }
    } else {
        result = static_cast<int>(s_sharedGlyphIds.size());
        s_sharedGlyphs.Add(icon);
        s_sharedGlyphIds.push_back(static_cast<INT32>(id));
        if (variants) {
            s_sharedGlyphs.Add(&faded, face);
            s_sharedGlyphs.Add(&shadow, face);
            s_sharedGlyphIds.insert(s_sharedGlyphIds.end(), 2, static_cast<INT32>(id));
        }
    }
    ::DestroyIcon(icon);
    return result;
}

BOOL GlyphMenu::AddGlyphBitmap(CImageList& list, int resourceId) {
    CBitmap bitmap = LoadMappedBitmap(resourceId);
    if (bitmap.GetSafeHandle() == nullptr)
        bitmap.LoadBitmap(static_cast<UINT>(resourceId & 0xFFFF));
    if (bitmap.GetSafeHandle() == nullptr || list.Add(&bitmap, FaceColor()) < 0)
        return FALSE;

    if (IsFlatStyle() && s_flatGlyphVariants) {
        CClientDC dc(MainOrDesktopWindow());
        CBitmap faded, shadow;
        RenderGlyph(&dc, list, 0, faded);
        FadeGlyph(faded);
        list.Add(&faded, FaceColor());
        RenderGlyph(&dc, list, 0, shadow);
        ShadowGlyph(shadow);
        list.Add(&shadow, FaceColor());
    }
    return TRUE;
}

WORD GlyphMenu::DibColorCount(const BITMAPINFOHEADER* header) {
    if (header->biClrUsed != 0)
        return static_cast<WORD>(header->biClrUsed);
    switch (header->biBitCount) {
    case 1:
        return 2;
    case 4:
        return 16;
    case 8:
        return 256;
    default:
        return 0;
    }
}

CBitmap GlyphMenu::LoadMappedBitmap(int resourceId) {
    CBitmap bitmap;
    const auto resource = ResourceBytes(MAKEINTRESOURCEA(resourceId & 0xFFFF), RT_BITMAP);
    const BYTE* bytes = resource.data();
    const DWORD size = static_cast<DWORD>(resource.size());
    if (size < sizeof(BITMAPINFOHEADER))
        return bitmap;

    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colors[16];
    } info;
    std::memcpy(&info.header, bytes, sizeof info.header);
    if (DibColorCount(&info.header) != 16 || info.header.biSize < sizeof info.header)
        return bitmap;
    // The bits follow the header and its colour table, wherever the header says it ends.
    const DWORD bitsOffset = info.header.biSize + sizeof info.colors;
    const LONG width = info.header.biWidth;
    const LONG height = info.header.biHeight < 0 ? -info.header.biHeight : info.header.biHeight;
    const DWORD stride = ((static_cast<DWORD>(width) * info.header.biBitCount + 31) / 32) * 4;
    const DWORD bitsSize = info.header.biCompression == BI_RGB ? stride * static_cast<DWORD>(height)
                                                               : info.header.biSizeImage;
    if (width <= 0 || height <= 0 || bitsOffset > size || bitsSize > size - bitsOffset)
        return bitmap;
    std::memcpy(info.colors, bytes + info.header.biSize, sizeof info.colors);
    info.header.biSize = sizeof info.header;

    for (RGBQUAD& entry : info.colors) {
        const COLORREF color = RGB(entry.rgbRed, entry.rgbGreen, entry.rgbBlue);
        if (color == RGB(0, 0, 0))
            PutColor(entry, COLOR_BTNTEXT);
        else if (color == RGB(0x80, 0x80, 0x80))
            PutColor(entry, COLOR_BTNSHADOW);
        else if (color == RGB(0xC0, 0xC0, 0xC0))
            PutColor(entry, COLOR_BTNFACE);
        else if (color == RGB(0xFF, 0xFF, 0xFF))
            PutColor(entry, COLOR_BTNHIGHLIGHT);
    }

    CClientDC screen(nullptr);
    if (bitmap.CreateCompatibleBitmap(&screen, width, height))
        ::SetDIBits(screen.GetSafeHdc(), bitmap.GetSafeHandle(), 0, static_cast<UINT>(height),
                    bytes + bitsOffset, reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS);
    return bitmap;
}

BOOL GlyphMenu::RenderGlyph(CDC* pDC, CImageList& list, int imageIndex, CBitmap& glyph) {
    const HICON icon = list.ExtractIcon(imageIndex);
    CMemoryDC memory;
    memory.CreateCompatibleDC(pDC);
    glyph.CreateCompatibleBitmap(pDC, m_glyphWidth, m_glyphHeight);
    {
        CSelectGuard selectGlyph(memory, glyph);
        const CBrush face(FaceColor());
        // A missing image leaves a blank glyph rather than whatever the new bitmap held.
        const RECT all{0, 0, m_glyphWidth, m_glyphHeight};
        memory.FillRect(&all, &face);
        if (icon != nullptr)
            ::DrawIconEx(memory.GetSafeHdc(), 0, 0, icon, m_glyphWidth, m_glyphHeight, 0,
                         face.GetSafeHandle(), DI_NORMAL);
    }
    if (icon != nullptr)
        ::DestroyIcon(icon);
    return TRUE;
}

void GlyphMenu::FadeGlyph(CBitmap& glyph) {
    MapGlyphPixels(glyph, [](COLORREF pixel) { return LightenColor(pixel, 0.3); });
}

void GlyphMenu::ShadowGlyph(CBitmap& glyph) {
    COLORREF shadow = ::GetSysColor(COLOR_BTNSHADOW);
    if (!IsXpThemed())
        shadow = LightenColor(shadow, 0.49);
    MapGlyphPixels(glyph, [shadow](COLORREF) { return shadow; });
}

void GlyphMenu::DrawEmbossedGlyph(CDC* pDC, int x, int y, int width, int height, CBitmap& glyph,
                                  int srcX, int srcY, COLORREF crBackground) {
    CMemoryDC maskDc;
    maskDc.CreateCompatibleDC(nullptr);
    CBitmap mask;
    mask.CreateBitmap(width, height, 1, 1, nullptr);
    CSelectGuard selectMask(maskDc, mask);
    ::PatBlt(maskDc.GetSafeHdc(), 0, 0, width, height, WHITENESS);

    CMemoryDC colorDc;
    colorDc.CreateCompatibleDC(pDC);
    CSelectGuard selectGlyph(colorDc, glyph);
    // Face and highlight pixels turn white in the mask; black is the silhouette.
    colorDc.SetBkColor(FaceColor());
    maskDc.BitBlt(0, 0, width, height, &colorDc, srcX, srcY, SRCCOPY);
    colorDc.SetBkColor(::GetSysColor(COLOR_BTNHIGHLIGHT));
    maskDc.BitBlt(0, 0, width, height, &colorDc, srcX, srcY, SRCPAINT);

    colorDc.FillSolidRect(0, 0, width, height, crBackground);
    colorDc.SetBkColor(RGB(0, 0, 0));
    colorDc.SetTextColor(RGB(255, 255, 255));
    {
        const CBrush highlight(::GetSysColor(COLOR_BTNHIGHLIGHT));
        CSelectGuard selectBrush(colorDc, highlight);
        colorDc.BitBlt(0, 0, width, height, &maskDc, 0, 0, kEmbossRop);
        pDC->BitBlt(x + 1, y + 1, width, height, &colorDc, 0, 0, SRCCOPY);
        colorDc.BitBlt(1, 1, width, height, &maskDc, 0, 0, kEmbossRop);
    }
    const CBrush shadow(::GetSysColor(COLOR_BTNSHADOW));
    CSelectGuard selectBrush(colorDc, shadow);
    colorDc.BitBlt(0, 0, width, height, &maskDc, 0, 0, kEmbossRop);
    pDC->BitBlt(x, y, width, height, &colorDc, 0, 0, SRCCOPY);
}
