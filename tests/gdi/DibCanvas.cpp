#include "DibCanvas.h"

DibCanvas::DibCanvas(int width, int height, COLORREF fill) : m_width(width), m_height(height) {
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(bi.bmiHeader), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    if (!m_bitmap.Attach(::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0)) ||
        !m_dc.CreateCompatibleDC(nullptr))
        return;
    m_select.emplace(m_dc, m_bitmap);
    m_bits = static_cast<const DWORD*>(bits);
    m_dc.FillSolidRect(0, 0, width, height, fill);
}

COLORREF DibCanvas::Pixel(int x, int y) const {
    if (m_bits == nullptr || x < 0 || y < 0 || x >= m_width || y >= m_height)
        return CLR_INVALID;
    ::GdiFlush();
    DWORD bgr = m_bits[y * m_width + x];
    return RGB((bgr >> 16) & 0xFF, (bgr >> 8) & 0xFF, bgr & 0xFF);
}

int DibCanvas::Count(const RECT& rc, COLORREF color) const {
    int n = 0;
    for (int y = rc.top; y < rc.bottom; ++y)
        for (int x = rc.left; x < rc.right; ++x)
            n += Pixel(x, y) == color;
    return n;
}
