#include "CBitmap.h"

#include "ViewCache.h"

#include "CDC.h"

CBitmap* CBitmap::FromHandle(HBITMAP hBitmap) {
    return CachedView<CBitmap>(hBitmap, [](CBitmap& view, HBITMAP h) {
        if (view.GetSafeHandle() != h)
            view.AttachView(h);
    });
}

BOOL CBitmap::CreateCompatibleBitmap(CDC* pDC, int nWidth, int nHeight) {
    return Attach(::CreateCompatibleBitmap(pDC->GetSafeHdc(), nWidth, nHeight));
}

BOOL CBitmap::LoadBitmap(LPCSTR pszResourceName) {
    return Attach(::LoadBitmapA(::GetModuleHandleA(nullptr), pszResourceName));
}

SIZE CBitmap::GetSize() const {
    BITMAP bm{};
    if (GetBitmap(&bm) == 0)
        return SIZE{0, 0};
    return SIZE{bm.bmWidth, bm.bmHeight};
}
