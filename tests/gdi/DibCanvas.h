#pragma once
// A 32-bit top-down DIB section selected into a memory DC, so tests can draw with the
// real GDI and read back exact pixels.

#include "CDC.h"

#include <optional>

class DibCanvas {
  public:
    DibCanvas(int width, int height, COLORREF fill = RGB(255, 255, 255));

    CDC& Dc() { return m_dc; }
    HDC Hdc() const { return m_dc.GetSafeHdc(); }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // The pixel as a COLORREF (0x00BBGGRR), after flushing GDI's batch.
    COLORREF Pixel(int x, int y) const;
    // Counts pixels of one colour inside a rectangle.
    int Count(const RECT& rc, COLORREF color) const;

  private:
    int m_width;
    int m_height;
    const DWORD* m_bits = nullptr;
    CBitmap m_bitmap;
    CMemoryDC m_dc;
    std::optional<CSelectGuard> m_select;
};
