#include "CFont.h"

CFont CFont::FromHandle(HFONT hFont) {
    CFont view;
    view.AttachView(hFont);
    return view;
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
