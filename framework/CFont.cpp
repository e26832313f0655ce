#include "CFont.h"

#include "ViewCache.h"

CFont* CFont::FromHandle(HFONT hFont) {
    return CachedView<CFont>(hFont, [](CFont& view, HFONT h) {
        if (view.GetSafeHandle() != h)
            view.AttachView(h);
    });
}

BOOL CFont::CreateFont(int nHeight, int nWeight, LPCSTR pszFaceName) {
    LOGFONTA lf{};
    lf.lfHeight = nHeight;
    lf.lfWeight = nWeight;
    lf.lfCharSet = DEFAULT_CHARSET;
    if (pszFaceName != nullptr)
        ::lstrcpynA(lf.lfFaceName, pszFaceName, LF_FACESIZE);
    return CreateFontIndirect(&lf);
}
