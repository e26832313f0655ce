#include "CBitmap.h"

#include "CDC.h"

CBitmap CBitmap::FromHandle(HBITMAP hBitmap) {
    CBitmap view;
    view.AttachView(hBitmap);
    return view;
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
