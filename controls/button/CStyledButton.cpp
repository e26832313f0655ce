#include "CStyledButton.h"

#include "CDC.h"
#include "CMenu.h"
#include "TrackMouseLeave.h"

#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <utility>
#include <vector>

IMPLEMENT_DYNAMIC(CStyledButton, CButton)

BEGIN_MESSAGE_MAP(CStyledButton, CButton)
ON_WM_SETCURSOR()
ON_WM_KILLFOCUS()
ON_WM_MOUSEMOVE()
ON_WM_SYSCOLORCHANGE()
ON_CONTROL_REFLECT_EX(BN_CLICKED, &CStyledButton::OnReflectClick)
ON_WM_ACTIVATE()
ON_WM_ENABLE()
ON_WM_CANCELMODE()
ON_WM_GETDLGCODE()
ON_WM_CTLCOLOR_REFLECT()
ON_WM_MENUCHAR()
ON_WM_MEASUREITEM()
ON_MESSAGE(BM_SETSTYLE, &CStyledButton::OnBmSetStyle)
ON_MESSAGE(WM_MOUSELEAVE, &CStyledButton::OnWmMouseLeave)
ON_MESSAGE(BM_SETCHECK, &CStyledButton::OnBmSetCheck)
ON_MESSAGE(BM_GETCHECK, &CStyledButton::OnBmGetCheck)
END_MESSAGE_MAP()

namespace {

constexpr UINT kButtonTypeBits = 0x1F;
constexpr UINT_PTR kToolId = 1;
constexpr int kMaxTipWidth = 400;

SIZE BitmapSize(HBITMAP hBitmap) {
    BITMAP bm{};
    if (hBitmap == nullptr || ::GetObjectA(hBitmap, sizeof(bm), &bm) == 0)
        return SIZE{0, 0};
    return SIZE{bm.bmWidth, bm.bmHeight};
}

SIZE IconSize(HICON hIcon) {
    ICONINFO ii{};
    if (hIcon == nullptr || !::GetIconInfo(hIcon, &ii))
        return SIZE{0, 0};
    SIZE size = BitmapSize(ii.hbmColor != nullptr ? ii.hbmColor : ii.hbmMask);
    // A monochrome icon keeps its AND and XOR masks stacked in one bitmap.
    if (ii.hbmColor == nullptr)
        size.cy /= 2;
    else
        ::DeleteObject(ii.hbmColor);
    if (ii.hbmMask != nullptr)
        ::DeleteObject(ii.hbmMask);
    return size;
}

// shell32 brings the COM libraries with it, and a panel that never opens a link should
// not pay for them at start-up: the function is looked up at its first use, once.
BOOL OpenWithShell(SHELLEXECUTEINFOA* sei) {
    using ShellExecuteExFn = BOOL(WINAPI*)(SHELLEXECUTEINFOA*);
    static const auto shellExecuteEx = [] {
        HMODULE shell = ::LoadLibraryA("shell32.dll");
        FARPROC found = shell != nullptr ? ::GetProcAddress(shell, "ShellExecuteExA") : nullptr;
        return reinterpret_cast<ShellExecuteExFn>(reinterpret_cast<void (*)()>(found));
    }();
    return shellExecuteEx != nullptr && shellExecuteEx(sei);
}

// An all-opaque mask for an image that came without one.
HBITMAP OpaqueMask(SIZE size) {
    std::vector<BYTE> zeros(static_cast<size_t>((size.cx + 15) / 16 * 2 * size.cy), 0);
    return ::CreateBitmap(size.cx, size.cy, 1, 1, zeros.data());
}

// A mask of its own for a second image that came with the same mask as the first.
HBITMAP CopyMask(HBITMAP hMask) {
    SIZE size = BitmapSize(hMask);
    CBitmap copy;
    CMemoryDC src, dst;
    if (!copy.CreateBitmap(size.cx, size.cy, 1, 1, nullptr) || !src.CreateCompatibleDC(nullptr) ||
        !dst.CreateCompatibleDC(nullptr))
        return nullptr;
    {
        CSelectGuard selectSrc(src.GetSafeHdc(), hMask);
        CSelectGuard selectDst(dst, copy);
        dst.BitBlt(0, 0, size.cx, size.cy, &src, 0, 0, SRCCOPY);
    }
    return static_cast<HBITMAP>(copy.Detach());
}

} // namespace

CStyledButton::CStyledButton()
    : m_byOwnerValue(0), m_bGreyBitmapWhenDisabled(TRUE), m_bFlatLook(TRUE), m_bHovering(FALSE),
      m_bParentBackground(FALSE), m_bPaintPressed(FALSE), m_bPaintFocused(FALSE),
      m_bPaintDisabled(FALSE), m_bDefaultButton(FALSE), m_bCheckBoxMode(FALSE),
      m_nImageAlign(SBA_BESIDE), m_bFlatEdge(TRUE), m_bFlatFocusRect(FALSE), m_colors{},
      m_hMenuTarget(nullptr), m_bMenuOpen(FALSE), m_pOldParentCopyBitmap(nullptr),
      m_bHoverWhenInactive(TRUE), m_nCheckState(0), m_szLink{} {
    ReleaseImages(FALSE);
    ResetColors(FALSE);
    SetLink(nullptr);
}

CStyledButton::~CStyledButton() {
    if (m_dcParentCopy.GetSafeHdc() != nullptr && m_pOldParentCopyBitmap != nullptr)
        m_dcParentCopy.SelectObject(m_pOldParentCopyBitmap);
    ReleaseImages(TRUE);
}

void CStyledButton::Repaint(BOOL bRepaint) {
    // Without a window there is nothing to repaint (a null window would mean the desktop).
    if (bRepaint && m_hWnd != nullptr)
        Invalidate(TRUE);
}

DWORD CStyledButton::SetFlatLook(BOOL bFlat, BOOL bRepaint) {
    m_bFlatLook = bFlat;
    Repaint(bRepaint);
    return SB_OK;
}

DWORD CStyledButton::SetCheckState(int nCheck, BOOL bRepaint) {
    if (m_bCheckBoxMode) {
        m_nCheckState = nCheck != 0 ? 1 : 0;
        Repaint(bRepaint);
    }
    return SB_OK;
}

DWORD CStyledButton::ResetColors(BOOL bRepaint) {
    for (int slot = 0; slot < SBC_COUNT; ++slot)
        m_colors[slot] = ::GetSysColor(slot % 2 == 0 ? COLOR_BTNFACE : COLOR_BTNTEXT);
    Repaint(bRepaint);
    return SB_OK;
}

DWORD CStyledButton::SetSlotColor(BYTE nSlot, COLORREF crColor, BOOL bRepaint) {
    if (nSlot >= SBC_COUNT)
        return SB_BAD_SLOT;
    m_colors[nSlot] = crColor;
    Repaint(bRepaint);
    return SB_OK;
}

void CStyledButton::EnsureTip() {
    if (m_tip.m_hWnd != nullptr)
        return;
    m_tip.Create(this);
    m_tip.Activate(FALSE);
    m_tip.SetMaxTipWidth(kMaxTipWidth);
}

void CStyledButton::SetTipText(LPCSTR pszText, BOOL bActivate) {
    if (pszText == nullptr)
        return;
    EnsureTip();
    if (m_tip.GetToolCount() == 0) {
        CRect rc;
        GetClientRect(&rc);
        m_tip.AddTool(this, pszText, &rc, kToolId);
    }
    m_tip.UpdateTipText(pszText, this, kToolId);
    m_tip.Activate(bActivate);
}

// Copies whole characters only, so the text never ends in half a double-byte character.
DWORD CStyledButton::SetLink(LPCSTR pszLink) {
    std::memset(m_szLink, 0, sizeof(m_szLink));
    if (pszLink == nullptr)
        return SB_OK;
    const size_t limit = sizeof(m_szLink) - 1;
    size_t n = 0;
    while (pszLink[n] != '\0') {
        size_t width = ::IsDBCSLeadByte(static_cast<BYTE>(pszLink[n])) ? 2 : 1;
        if (n + width > limit || (width == 2 && pszLink[n + 1] == '\0'))
            break;
        n += width;
    }
    std::memcpy(m_szLink, pszLink, n);
    return SB_OK;
}

// FALSE empties the slots and leaves their handles alive, to whoever else releases them.
void CStyledButton::ReleaseImages(BOOL bDestroy) {
    if (bDestroy) {
        for (ButtonIconSlot& slot : m_icons)
            slot.hIcon.Destroy();
        for (ButtonBitmapSlot& slot : m_bitmaps)
            slot.hImage.DeleteObject();
        for (ButtonBitmapSlot& slot : m_bitmaps)
            slot.hMask.DeleteObject();
    }
    for (ButtonIconSlot& slot : m_icons) {
        slot.hIcon.Detach();
        slot.cx = slot.cy = 0;
    }
    for (ButtonBitmapSlot& slot : m_bitmaps) {
        slot.hImage.Detach();
        slot.hMask.Detach();
        slot.cx = slot.cy = 0;
    }
}

// A handle given again stays held: releasing the old images must spare it.
void CStyledButton::ForgetImagesGivenAgain(std::initializer_list<HANDLE> given) {
    auto forget = [&given](auto& owner) {
        if (std::find(given.begin(), given.end(), owner.GetSafeHandle()) != given.end())
            owner.Detach();
    };
    for (ButtonIconSlot& slot : m_icons)
        forget(slot.hIcon);
    for (ButtonBitmapSlot& slot : m_bitmaps) {
        forget(slot.hImage);
        forget(slot.hMask);
    }
}

DWORD CStyledButton::SetIcons(HICON hIconHot, HICON hIconNormal, BOOL bRepaint) {
    ForgetImagesGivenAgain({hIconHot, hIconNormal});
    ReleaseImages(TRUE);
    if (hIconNormal == hIconHot)
        hIconNormal = nullptr; // held once, destroyed once
    HICON icons[2] = {hIconHot, hIconNormal};
    for (int i = 0; i < 2; ++i) {
        SIZE size = IconSize(icons[i]);
        m_icons[i].hIcon.Attach(icons[i]);
        m_icons[i].cx = static_cast<DWORD>(size.cx);
        m_icons[i].cy = static_cast<DWORD>(size.cy);
    }
    Repaint(bRepaint);
    return SB_OK;
}

DWORD CStyledButton::SetBitmaps(HBITMAP hImageHot, HBITMAP hMaskHot, HBITMAP hImageNormal,
                                HBITMAP hMaskNormal, BOOL bRepaint) {
    ForgetImagesGivenAgain({hImageHot, hMaskHot, hImageNormal, hMaskNormal});
    ReleaseImages(TRUE);
    // Owned from here on: what no slot takes is released on return.
    const bool bOneImage = hImageNormal == hImageHot;
    const bool bSharedMask = hMaskNormal != nullptr && hMaskNormal == hMaskHot;
    CBitmap images[2], masks[2];
    images[0].Attach(hImageHot);
    masks[0].Attach(hMaskHot);
    if (!bOneImage)
        images[1].Attach(hImageNormal);
    if (!bSharedMask)
        masks[1].Attach(hMaskNormal);
    else if (!bOneImage)
        masks[1].Attach(CopyMask(hMaskHot)); // each slot deletes its own mask
    for (int i = 0; i < 2; ++i) {
        if (images[i].GetSafeHandle() == nullptr)
            continue;
        const SIZE size = images[i].GetSize();
        if (masks[i].GetSafeHandle() == nullptr)
            masks[i].Attach(OpaqueMask(size));
        m_bitmaps[i] = {std::move(images[i]), static_cast<DWORD>(size.cx),
                        static_cast<DWORD>(size.cy), std::move(masks[i])};
    }
    Repaint(bRepaint);
    return SB_OK;
}

DWORD CStyledButton::SetHoverCursor(HCURSOR hCursor) {
    m_hHoverCursor.Attach(hCursor != nullptr ? ::CopyIcon(hCursor) : nullptr);
    return SB_OK;
}

DWORD CStyledButton::SetImageAlign(BYTE nAlign, BOOL bRepaint) {
    m_nImageAlign = nAlign;
    Repaint(bRepaint);
    return SB_OK;
}

DWORD CStyledButton::SetParentBackground(BOOL bParentBackground, BOOL bRepaint) {
    m_bParentBackground = bParentBackground;
    Repaint(bRepaint);
    return SB_OK;
}

DWORD CStyledButton::SetFlatEdge(BOOL bFlatEdge, BOOL bRepaint) {
    m_bFlatEdge = bFlatEdge;
    Repaint(bRepaint);
    return SB_OK;
}

DWORD CStyledButton::SetFlatFocusRect(BOOL bFlatFocusRect, BOOL bRepaint) {
    m_bFlatFocusRect = bFlatFocusRect;
    Repaint(bRepaint);
    return SB_OK;
}

void CStyledButton::PreSubclassWindow() {
    UINT style = GetStyle() & 0xFF;
    if (style & 0x02)
        m_bCheckBoxMode = TRUE;
    if ((style & kButtonTypeBits) == BS_DEFPUSHBUTTON)
        m_bDefaultButton = TRUE;
    ModifyStyle(kButtonTypeBits, BS_OWNERDRAW);
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                   SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    CButton::PreSubclassWindow();
}

BOOL CStyledButton::PreTranslateMessage(MSG* pMsg) {
    EnsureTip();
    m_tip.RelayEvent(pMsg);
    return CButton::PreTranslateMessage(pMsg);
}

// A double click acts as a second single click.
LRESULT CStyledButton::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_LBUTTONDBLCLK)
        message = WM_LBUTTONDOWN;
    return CButton::DefWindowProc(message, wParam, lParam);
}

BOOL CStyledButton::OnSetCursor(CWnd*, UINT, UINT) {
    if (m_hHoverCursor.GetSafeHandle() == nullptr)
        return static_cast<BOOL>(Default());
    ::SetCursor(m_hHoverCursor.GetSafeHandle());
    return TRUE;
}

void CStyledButton::OnKillFocus(CWnd*) {
    Default();
    EndHover();
}

void CStyledButton::OnMouseMove(UINT nFlags, CPoint point) {
    Default();
    ::ClientToScreen(m_hWnd, &point);
    HWND hUnder = ::WindowFromPoint(point);
    if ((nFlags & MK_LBUTTON) && !m_bHovering)
        return;
    if (!m_bFlatLook)
        return;
    BOOL bActive = m_bHoverWhenInactive || ::GetActiveWindow() != nullptr;
    if (hUnder == m_hWnd && bActive) {
        if (m_bHovering)
            return;
        m_bHovering = TRUE;
        Repaint(TRUE);
        TrackMouseLeave(m_hWnd);
        return;
    }
    EndHover();
}

void CStyledButton::EndHover() {
    if (m_bFlatLook && m_bHovering) {
        m_bHovering = FALSE;
        Repaint(TRUE);
    }
}

void CStyledButton::OnSysColorChange() {
    Default();
    m_dcParentCopy.DeleteDC();
    m_bmpParentCopy.DeleteObject();
    m_pOldParentCopyBitmap = nullptr;
}

BOOL CStyledButton::OnReflectClick() {
    SetFocus();
    if (m_bCheckBoxMode) {
        m_nCheckState = m_nCheckState != 0 ? 0 : 1;
        Repaint(TRUE);
        return FALSE;
    }
    if (m_dropMenu.GetSafeHmenu() != nullptr) {
        DropDown();
        return FALSE;
    }
    if (m_szLink[0] != '\0') {
        SHELLEXECUTEINFOA sei{};
        // The record's real size: the fixed 32-bit size (60) makes the call fail on x64.
        sei.cbSize = sizeof(sei);
        sei.fMask = SEE_MASK_FLAG_NO_UI;
        sei.lpVerb = "open";
        sei.lpFile = m_szLink;
        sei.nShow = SW_MAXIMIZE;
        OpenWithShell(&sei);
    }
    return FALSE;
}

void CStyledButton::OnActivate(UINT nState, CWnd*, BOOL) {
    Default();
    if (nState == WA_INACTIVE)
        EndHover();
}

// The focus leaves a button being disabled, wherever it was, for the next tab stop.
void CStyledButton::OnEnable(BOOL bEnable) {
    Default();
    if (bEnable)
        return;
    HWND hParent = ::GetParent(m_hWnd);
    // Without a parent there is no tab order, and SetFocus(nullptr) would take the
    // keyboard focus away from every window of the thread.
    if (hParent != nullptr) {
        HWND hNext = ::GetNextDlgTabItem(hParent, m_hWnd, FALSE);
        ::SetFocus(hNext != nullptr && hNext != m_hWnd ? hNext : hParent);
    }
    EndHover();
}

void CStyledButton::OnCancelMode() {
    Default();
    EndHover();
}

UINT CStyledButton::OnGetDlgCode() {
    UINT code = static_cast<UINT>(Default());
    return code | (m_bDefaultButton ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
}

HBRUSH CStyledButton::CtlColor(CDC*, UINT) {
    return static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
}

// The popup of the drop-down menu belongs to the button, so its mnemonics arrive here.
LRESULT CStyledButton::OnMenuChar(UINT nChar, UINT nFlags, CMenu* pMenu) {
    // A registered handle may belong to a plain CMenu: any popup can be appended, and
    // only a GlyphMenu has records to search.
    if (GlyphMenu::IsRegisteredMenu(pMenu) && pMenu->IsKindOf(RUNTIME_CLASS(GlyphMenu)))
        return GlyphMenu::HandleMenuChar(nChar, nFlags, static_cast<GlyphMenu*>(pMenu));
    return Default();
}

// A popup item of the drop-down menu names its sub-menu where the item id would be.
void CStyledButton::OnMeasureItem(int, LPMEASUREITEMSTRUCT lpMeasureItemStruct) {
    const HMENU hMenu = MenuHandleOfKey(lpMeasureItemStruct->itemID);
    if (lpMeasureItemStruct->CtlType == ODT_MENU && ::IsMenu(hMenu) &&
        GlyphMenu::IsRegisteredMenu(hMenu)) {
        m_dropMenu.MeasureItem(lpMeasureItemStruct);
        return;
    }
    Default();
}

// The target stays stored when the menu fails to load: without a menu handle a click never
// reaches the drop-down step, so it is never used.
BOOL CStyledButton::SetDropDownMenu(UINT nMenuResource, HWND hTarget) {
    m_hMenuTarget = hTarget;
    if (m_dropMenu.LoadMenu(static_cast<int>(nMenuResource)))
        return TRUE;
    m_dropMenu.DestroyMenu();
    return FALSE;
}

// Tracks the menu's first popup under the button and posts the chosen command, after the
// parent has seen the click, to the target.
void CStyledButton::DropDown() {
    CRect rcWindow;
    GetWindowRect(&rcWindow);
    m_bMenuOpen = TRUE;
    Repaint(TRUE);
    UINT nCommand = 0;
    if (HMENU hPopup = m_dropMenu.GetSubMenu(0))
        nCommand = static_cast<UINT>(
            ::TrackPopupMenu(hPopup, TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_NONOTIFY | TPM_RETURNCMD,
                             rcWindow.left, rcWindow.bottom, 0, m_hWnd, nullptr));
    m_bMenuOpen = FALSE;
    Repaint(TRUE);
    if (nCommand != 0)
        ::PostMessageA(m_hMenuTarget, WM_COMMAND, nCommand & 0xFFFF, 0);
}

// Keeps the window owner-drawn whatever style it is given, noting the default state.
LRESULT CStyledButton::OnBmSetStyle(WPARAM wParam, LPARAM lParam) {
    UINT type = static_cast<UINT>(wParam) & kButtonTypeBits;
    if (type == BS_DEFPUSHBUTTON)
        m_bDefaultButton = TRUE;
    else if (type == BS_PUSHBUTTON)
        m_bDefaultButton = FALSE;
    WPARAM style = (wParam & ~static_cast<WPARAM>(kButtonTypeBits)) | BS_OWNERDRAW;
    return DefWindowProc(BM_SETSTYLE, style, lParam);
}

LRESULT CStyledButton::OnWmMouseLeave(WPARAM, LPARAM) {
    EndHover();
    return 0;
}

LRESULT CStyledButton::OnBmSetCheck(WPARAM wParam, LPARAM) {
    SetCheckState(wParam == BST_CHECKED || wParam == BST_INDETERMINATE ? 1 : 0, TRUE);
    return 0;
}

LRESULT CStyledButton::OnBmGetCheck(WPARAM, LPARAM) {
    return GetCheckState();
}
