#pragma once
// An owner-drawn push button with colour slots, a flat or 3-D look, hover tracking, a
// tooltip, a check-box mode, icon or bitmap images and a link opened on click. Bind it to a
// push button of a dialog template (DDX_Control); from then on it paints itself.

#include "CButton.h"
#include "CDC.h"
#include "CGdiObject.h"
#include "CToolTipCtrl.h"
#include "GlyphMenu.h"
#include "StyledButtonTypes.h"

#include <initializer_list>

class CStyledButton : public CButton {
    DECLARE_DYNAMIC(CStyledButton)

  public:
    CStyledButton();
    ~CStyledButton() override;

    // Kept for the owner; the button never reads or changes it.
    BYTE m_byOwnerValue;

    DWORD SetFlatLook(BOOL bFlat, BOOL bRepaint = TRUE);
    // Only in check-box mode: nonzero checks, zero unchecks.
    DWORD SetCheckState(int nCheck, BOOL bRepaint = TRUE);
    int GetCheckState() const { return m_nCheckState; }
    // Faces take the system button-face colour, texts the button-text colour.
    DWORD ResetColors(BOOL bRepaint = TRUE);
    // SB_BAD_SLOT for a slot of SBC_COUNT or more, and nothing changes.
    DWORD SetSlotColor(BYTE nSlot, COLORREF crColor, BOOL bRepaint = TRUE);
    // One tool for the whole button; a later call replaces its text. Null does nothing.
    void SetTipText(LPCSTR pszText, BOOL bActivate = TRUE);
    // Opened with the verb "open" on click; cut to 259 bytes on a character boundary.
    DWORD SetLink(LPCSTR pszLink);

    // The button takes ownership of the handles it is given and releases the ones it held.
    // A null normal image means the hot one serves both states.
    DWORD SetIcons(HICON hIconHot, HICON hIconNormal, BOOL bRepaint = TRUE);
    // Each image is black where its mask is set; a null mask makes the image opaque.
    DWORD SetBitmaps(HBITMAP hImageHot, HBITMAP hMaskHot, HBITMAP hImageNormal, HBITMAP hMaskNormal,
                     BOOL bRepaint = TRUE);
    // Keeps a private copy of hCursor (system cursors are shared); null removes it.
    DWORD SetHoverCursor(HCURSOR hCursor);
    DWORD SetImageAlign(BYTE nAlign, BOOL bRepaint = TRUE);
    DWORD SetParentBackground(BOOL bParentBackground, BOOL bRepaint = TRUE);
    DWORD SetFlatEdge(BOOL bFlatEdge, BOOL bRepaint = TRUE);
    DWORD SetFlatFocusRect(BOOL bFlatFocusRect, BOOL bRepaint = TRUE);
    // Gives the button a drop-down menu: the first popup of the menu resource opens under
    // the button on click, and the chosen command is posted to hTarget. FALSE, with the
    // button left without a menu, when the resource does not load.
    BOOL SetDropDownMenu(UINT nMenuResource, HWND hTarget);

    BOOL PreTranslateMessage(MSG* pMsg) override;
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override;

    // The face and the flat-look edge; derived classes may paint them their own way.
    virtual DWORD PaintFace(CDC* pDC, LPCRECT pRect);
    virtual DWORD PaintEdge(CDC* pDC, LPCRECT pRect);

  protected:
    void PreSubclassWindow() override;

    BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message);
    void OnKillFocus(CWnd* pNewWnd);
    void OnMouseMove(UINT nFlags, CPoint point);
    void OnSysColorChange();
    BOOL OnReflectClick();
    void OnActivate(UINT nState, CWnd* pWndOther, BOOL bMinimized);
    void OnEnable(BOOL bEnable);
    void OnCancelMode();
    UINT OnGetDlgCode();
    HBRUSH CtlColor(CDC* pDC, UINT nCtlColor);
    LRESULT OnMenuChar(UINT nChar, UINT nFlags, CMenu* pMenu);
    void OnMeasureItem(int nIDCtl, LPMEASUREITEMSTRUCT lpMeasureItemStruct);
    LRESULT OnBmSetStyle(WPARAM wParam, LPARAM lParam);
    LRESULT OnWmMouseLeave(WPARAM wParam, LPARAM lParam);
    LRESULT OnBmSetCheck(WPARAM wParam, LPARAM lParam);
    LRESULT OnBmGetCheck(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()

  private:
    void EnsureTip();
    void ReleaseImages(BOOL bDestroy);
    void ForgetImagesGivenAgain(std::initializer_list<HANDLE> given);
    void EndHover();
    void DropDown();
    void Repaint(BOOL bRepaint);
    int ChooseImageSlot(BOOL bHasNormal) const;

    // The steps of DrawItem, in the order it takes them.
    void DerivePaintState(UINT itemState);
    void DrawOutline(CDC* pDC, CRect* pWork);
    void PaintParentCopy(CDC* pDC);
    void DrawEdgeForState(CDC* pDC, const CRect& rcWork);
    void DrawRaisedBevel(CDC* pDC, const CRect& rcWork);
    CRect LayoutImage(BOOL bHasCaption, const CRect& rcItem, CRect* pCaption, BOOL bPressed,
                      DWORD cx, DWORD cy) const;
    void DrawIconImage(CDC* pDC, BOOL bHasCaption, const CRect& rcItem, CRect* pCaption,
                       BOOL bPressed, BOOL bDisabled);
    void DrawBitmapImage(CDC* pDC, BOOL bHasCaption, const CRect& rcItem, CRect* pCaption,
                         BOOL bPressed, BOOL bDisabled);
    void DrawCaption(CDC* pDC, const CString& caption, CRect rcCaption);

  protected:
    // Derived classes' PaintFace and PaintEdge read the paint state and the slots.
    BOOL m_bGreyBitmapWhenDisabled;
    BOOL m_bFlatLook;
    BOOL m_bHovering;
    BOOL m_bParentBackground;
    BOOL m_bPaintPressed;
    BOOL m_bPaintFocused;
    BOOL m_bPaintDisabled;
    BOOL m_bDefaultButton;
    BOOL m_bCheckBoxMode;
    BYTE m_nImageAlign;
    BOOL m_bFlatEdge;
    BOOL m_bFlatFocusRect;
    COLORREF m_colors[SBC_COUNT];
    HWND m_hMenuTarget; // not owned; receives the command chosen from the drop-down menu
    BOOL m_bMenuOpen;   // the drop-down menu is being tracked: paint pressed
    GlyphMenu m_dropMenu;
    CCursor m_hHoverCursor;
    CToolTipCtrl m_tip;
    CMemoryDC m_dcParentCopy;
    CBitmap m_bmpParentCopy;
    HBITMAP m_pOldParentCopyBitmap; // not owned
    BOOL m_bHoverWhenInactive;
    int m_nCheckState;
    char m_szLink[260];
    ButtonIconSlot m_icons[2];
    ButtonBitmapSlot m_bitmaps[2];

    // Tests read the state that no operation reports.
    friend class StyledButtonProbe;
};
