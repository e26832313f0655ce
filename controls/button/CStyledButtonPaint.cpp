// The owner-draw pipeline of CStyledButton.
#include "CStyledButton.h"

#include "CDC.h"
#include "CGdiObject.h"

namespace {

constexpr UINT kCaptionFormat = DT_WORDBREAK | DT_CENTER;
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);

// One bevel line: from the first point to the second and on to the third.
struct BevelLine {
    int colorIndex;
    POINT points[3];
};

} // namespace

void CStyledButton::DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) {
    CDC dc(lpDrawItemStruct->hDC);
    CDC* pDC = &dc;
    const CRect rcItem = lpDrawItemStruct->rcItem;
    DerivePaintState(lpDrawItemStruct->itemState);

    CRect rcWork = rcItem;
    pDC->SetBkMode(TRANSPARENT);
    DrawOutline(pDC, &rcWork);
    if (m_bParentBackground)
        PaintParentCopy(pDC);
    else
        PaintFace(pDC, &rcWork);
    DrawEdgeForState(pDC, rcWork);

    CString caption;
    GetWindowText(caption);
    const BOOL bHasCaption = !caption.IsEmpty();
    CRect rcCaption = rcItem;
    if (m_icons[0].hIcon.GetSafeHandle() != nullptr)
        DrawIconImage(pDC, bHasCaption, rcItem, &rcCaption, m_bPaintPressed, m_bPaintDisabled);
    if (m_bitmaps[0].hImage.GetSafeHandle() != nullptr) {
        // Monochrome masks take these two colours when blitted onto colour.
        pDC->SetBkColor(kWhite);
        pDC->SetTextColor(kBlack);
        DrawBitmapImage(pDC, bHasCaption, rcItem, &rcCaption, m_bPaintPressed, m_bPaintDisabled);
    }
    if (bHasCaption)
        DrawCaption(pDC, caption, rcCaption);

    if ((!m_bFlatLook || m_bFlatFocusRect) && m_bPaintFocused) {
        CRect rcFocus = rcWork;
        rcFocus.DeflateRect(3, 3);
        pDC->DrawFocusRect(&rcFocus);
    }
}

void CStyledButton::DerivePaintState(UINT itemState) {
    const BOOL bSelected = (itemState & ODS_SELECTED) != 0;
    if (m_bCheckBoxMode)
        m_bPaintPressed = bSelected || m_nCheckState != 0;
    else
        m_bPaintPressed = bSelected || (m_dropMenu.GetSafeHmenu() != nullptr && m_bMenuOpen);
    m_bPaintFocused = itemState & ODS_FOCUS;
    m_bPaintDisabled = itemState & ODS_DISABLED;
}

// The 3-D look marks the focused or default button with a black outline; the rest of the
// paint lies inside it.
void CStyledButton::DrawOutline(CDC* pDC, CRect* pWork) {
    if (m_bFlatLook || !(m_bPaintFocused || m_bDefaultButton))
        return;
    CBrush black(kBlack);
    pDC->FrameRect(pWork, &black);
    pWork->DeflateRect(1, 1);
}

void CStyledButton::DrawEdgeForState(CDC* pDC, const CRect& rcWork) {
    if (m_bFlatLook) {
        if (m_bFlatEdge && (m_bPaintPressed || m_bHovering))
            PaintEdge(pDC, &rcWork);
    } else if (m_bPaintPressed) {
        CBrush shadow(::GetSysColor(COLOR_BTNSHADOW));
        pDC->FrameRect(&rcWork, &shadow);
    } else {
        DrawRaisedBevel(pDC, rcWork);
    }
}

void CStyledButton::DrawRaisedBevel(CDC* pDC, const CRect& rcWork) {
    const int left = rcWork.left, top = rcWork.top, right = rcWork.right, bottom = rcWork.bottom;
    const BevelLine bevel[] = {
        {COLOR_BTNHIGHLIGHT, {{left, bottom - 1}, {left, top}, {right, top}}},
        {COLOR_3DLIGHT, {{left + 1, bottom - 1}, {left + 1, top + 1}, {right, top + 1}}},
        {COLOR_3DDKSHADOW, {{left, bottom - 1}, {right - 1, bottom - 1}, {right - 1, top - 1}}},
        {COLOR_BTNSHADOW, {{left + 1, bottom - 2}, {right - 2, bottom - 2}, {right - 2, top}}},
    };
    for (const BevelLine& line : bevel) {
        CPen pen(PS_SOLID, 1, ::GetSysColor(line.colorIndex));
        CSelectGuard select(*pDC, pen);
        pDC->Polyline(line.points, 3);
    }
}

// The wrapped text block is centred in the caption rectangle; a pressed push button moves
// it one pixel right and down.
void CStyledButton::DrawCaption(CDC* pDC, const CString& caption, CRect rcCaption) {
    if (m_bPaintPressed && !m_bCheckBoxMode)
        rcCaption.OffsetRect(1, 1);
    const CRect rcBox = rcCaption;
    CRect rcText = rcCaption;
    pDC->DrawText(caption, -1, &rcText, kCaptionFormat | DT_CALCRECT);
    rcText.OffsetRect((rcBox.Width() - rcText.Width()) / 2, (rcBox.Height() - rcText.Height()) / 2);
    pDC->SetBkMode(TRANSPARENT);
    if (m_bPaintDisabled) {
        CRect rcEmbossed = rcText;
        rcEmbossed.OffsetRect(1, 1);
        pDC->SetTextColor(::GetSysColor(COLOR_BTNHIGHLIGHT));
        pDC->DrawText(caption, -1, &rcEmbossed, kCaptionFormat);
        pDC->SetTextColor(::GetSysColor(COLOR_BTNSHADOW));
        pDC->DrawText(caption, -1, &rcText, kCaptionFormat);
        return;
    }
    const bool bHot = m_bHovering || m_bPaintPressed;
    pDC->SetTextColor(m_colors[bHot ? SBC_TEXT_HOT : SBC_TEXT_NORMAL]);
    pDC->DrawText(caption, -1, &rcText, kCaptionFormat);
}

DWORD CStyledButton::PaintFace(CDC* pDC, LPCRECT pRect) {
    COLORREF color = m_colors[SBC_FACE_NORMAL];
    if (m_bHovering || m_bPaintPressed)
        color = m_colors[SBC_FACE_HOT];
    else if (m_bPaintFocused)
        color = m_colors[SBC_FACE_FOCUS];
    CBrush brush(color);
    pDC->FillRect(pRect, &brush);
    return 0;
}

DWORD CStyledButton::PaintEdge(CDC* pDC, LPCRECT pRect) {
    const COLORREF highlight = ::GetSysColor(COLOR_BTNHIGHLIGHT);
    const COLORREF shadow = ::GetSysColor(COLOR_BTNSHADOW);
    if (m_bPaintPressed)
        pDC->Draw3dRect(pRect, shadow, highlight);
    else
        pDC->Draw3dRect(pRect, highlight, shadow);
    return 0;
}

// The parent's pixels under the button are copied once and served from memory after.
void CStyledButton::PaintParentCopy(CDC* pDC) {
    CRect rcClient;
    GetClientRect(&rcClient);
    if (m_dcParentCopy.GetSafeHdc() == nullptr) {
        HWND hParent = ::GetParent(m_hWnd);
        CClientDC parentDC(hParent);
        CRect rcInParent;
        GetWindowRect(&rcInParent);
        ::MapWindowPoints(nullptr, hParent, reinterpret_cast<POINT*>(&rcInParent), 2);
        m_dcParentCopy.CreateCompatibleDC(&parentDC);
        m_bmpParentCopy.CreateCompatibleBitmap(&parentDC, rcClient.Width(), rcClient.Height());
        m_pOldParentCopyBitmap = m_dcParentCopy.SelectObject(&m_bmpParentCopy);
        m_dcParentCopy.BitBlt(0, 0, rcClient.Width(), rcClient.Height(), &parentDC, rcInParent.left,
                              rcInParent.top, SRCCOPY);
    }
    pDC->BitBlt(0, 0, rcClient.Width(), rcClient.Height(), &m_dcParentCopy, 0, 0, SRCCOPY);
}

// Places an image of cx by cy; only the left and top of the result are moved.
CRect CStyledButton::LayoutImage(BOOL bHasCaption, const CRect& rcItem, CRect* pCaption,
                                 BOOL bPressed, DWORD cx, DWORD cy) const {
    const int imageWidth = static_cast<int>(cx), imageHeight = static_cast<int>(cy);
    const int itemWidth = rcItem.Width(), itemHeight = rcItem.Height();
    CRect rcImage = rcItem;
    switch (m_nImageAlign) {
    case SBA_BESIDE:
        if (bHasCaption) {
            rcImage.left += 3;
            pCaption->left += imageWidth + 3;
        } else {
            rcImage.left += (itemWidth - imageWidth) / 2;
        }
        rcImage.top += (itemHeight - imageHeight) / 2;
        break;
    case SBA_ABOVE:
        rcImage.left += (itemWidth - imageWidth) / 2;
        if (bHasCaption) {
            rcImage.top = 3;
            pCaption->top += imageHeight;
        } else {
            rcImage.top += (itemHeight - imageHeight) / 2;
        }
        break;
    case SBA_RIGHT_EDGE:
        if (bHasCaption) {
            const int captionWidth = pCaption->Width();
            pCaption->left = 3;
            pCaption->right = captionWidth - imageWidth - 3;
            CRect rcClient;
            GetClientRect(&rcClient);
            rcImage.left = rcClient.Width() - imageWidth - 3;
            rcImage.top += (itemHeight - imageHeight) / 2;
        } else {
            rcImage.left += (itemWidth - imageWidth) / 2;
        }
        break;
    default:
        break;
    }
    if (bPressed && !m_bCheckBoxMode)
        rcImage.OffsetRect(1, 1);
    return rcImage;
}

// Hot is pressed (checked, in check-box mode) or hovered; otherwise the normal image if any.
int CStyledButton::ChooseImageSlot(BOOL bHasNormal) const {
    const BOOL bHot = m_bCheckBoxMode ? m_bPaintPressed : (m_bPaintPressed || m_bHovering);
    return !bHot && bHasNormal ? 1 : 0;
}

void CStyledButton::DrawIconImage(CDC* pDC, BOOL bHasCaption, const CRect& rcItem, CRect* pCaption,
                                  BOOL bPressed, BOOL bDisabled) {
    const ButtonIconSlot& slot =
        m_icons[ChooseImageSlot(m_icons[1].hIcon.GetSafeHandle() != nullptr)];
    CRect rcImage = LayoutImage(bHasCaption, rcItem, pCaption, bPressed, slot.cx, slot.cy);
    pDC->DrawState(rcImage.TopLeft(), rcImage.Size(), slot.hIcon.GetSafeHandle(),
                   bDisabled ? DSS_DISABLED : DSS_NORMAL);
}

void CStyledButton::DrawBitmapImage(CDC* pDC, BOOL bHasCaption, const CRect& rcItem,
                                    CRect* pCaption, BOOL bPressed, BOOL bDisabled) {
    const ButtonBitmapSlot& slot =
        m_bitmaps[ChooseImageSlot(m_bitmaps[1].hImage.GetSafeHandle() != nullptr)];
    CRect rcImage = LayoutImage(bHasCaption, rcItem, pCaption, bPressed, slot.cx, slot.cy);
    const int cx = static_cast<int>(slot.cx), cy = static_cast<int>(slot.cy);

    CMemoryDC imageDC, maskDC;
    imageDC.CreateCompatibleDC(pDC);
    maskDC.CreateCompatibleDC(nullptr);
    CSelectGuard selectImage(imageDC, slot.hImage);
    CSelectGuard selectMask(maskDC, slot.hMask);

    if (bDisabled && m_bGreyBitmapWhenDisabled) {
        CBitmap grey;
        grey.CreateCompatibleBitmap(pDC, cx, cy);
        {
            CMemoryDC greyDC;
            greyDC.CreateCompatibleDC(pDC);
            CSelectGuard selectGrey(greyDC, grey);
            greyDC.FillSolidRect(0, 0, rcImage.right + 1, rcImage.bottom + 1, kWhite);
            COLORREF oldBk = greyDC.SetBkColor(kWhite);
            greyDC.BitBlt(0, 0, cx, cy, &maskDC, 0, 0, SRCAND);
            greyDC.BitBlt(0, 0, cx, cy, &imageDC, 0, 0, SRCPAINT);
            greyDC.SetBkColor(oldBk);
        }
        pDC->DrawState(rcImage.TopLeft(), CSize(cx, cy), grey.GetSafeHandle(), DSS_DISABLED);
    } else {
        pDC->BitBlt(rcImage.left, rcImage.top, cx, cy, &maskDC, 0, 0, SRCAND);
        pDC->BitBlt(rcImage.left, rcImage.top, cx, cy, &imageDC, 0, 0, SRCPAINT);
    }
}
