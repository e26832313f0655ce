#include "CPen.h"

#include "ViewCache.h"

CPen* CPen::FromHandle(HPEN hPen) {
    return CachedView<CPen>(hPen, [](CPen& view, HPEN h) {
        if (view.GetSafeHandle() != h)
            view.AttachView(h);
    });
}
