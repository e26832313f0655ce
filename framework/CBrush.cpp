#include "CBrush.h"

#include "ViewCache.h"

CBrush* CBrush::FromHandle(HBRUSH hBrush) {
    return CachedView<CBrush>(hBrush, [](CBrush& view, HBRUSH h) {
        if (view.GetSafeHandle() != h)
            view.AttachView(h);
    });
}
