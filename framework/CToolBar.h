#pragma once
// A toolbar control whose buttons come from a standard toolbar resource
// (RT_TOOLBAR: version 1, image width and height, item count, command ids,
// id 0 a separator). Buttons take image indices in order, separators none.

#include "CWnd.h"

// Bar alignment; the control itself never aligns or sizes itself.
constexpr DWORD CBRS_ALIGN_TOP = 0x2000;
constexpr DWORD CBRS_TOP = CBRS_ALIGN_TOP;
constexpr UINT AFX_IDW_TOOLBAR = 0xE800;

class CToolBar : public CWnd {
    DECLARE_DYNAMIC(CToolBar)

  public:
    BOOL Create(HWND hParent, DWORD dwStyle = WS_CHILD | WS_VISIBLE | CBRS_TOP,
                UINT nID = AFX_IDW_TOOLBAR);
    // Replaces the buttons. FALSE when the resource is missing, of another
    // version, or shorter than its item count says.
    BOOL LoadToolBar(UINT nIDResource);

    // The index of the button or separator with this command id, or -1.
    int CommandToIndex(UINT nIDFind) const;
    // Zeroes for an index the bar does not have.
    void GetButtonInfo(int nIndex, UINT& nID, UINT& nStyle, int& iImage) const;
};
