#include "MenuHost.h"

#include "CWinApp.h"

#include <cstddef>

BOOL CreateMenuFont(CFont& font) {
    NONCLIENTMETRICSA metrics = {};
    // The size without the padded-border field, which every version accepts.
    metrics.cbSize = offsetof(NONCLIENTMETRICSA, iPaddedBorderWidth);
    ::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0);
    return font.CreateFontIndirect(&metrics.lfMenuFont);
}

HWND MainOrDesktopWindow() {
    CWnd* mainWnd = AfxGetMainWnd();
    return mainWnd != nullptr ? mainWnd->m_hWnd : ::GetDesktopWindow();
}
