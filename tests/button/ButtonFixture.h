#pragma once
// One real dialog from the test template with its push buttons bound to CStyledButton,
// DrawItem painted into a DIB section, and the system calls the button makes watched.

#include "CDialog.h"
#include "CStyledButton.h"
#include "DibCanvas.h"
#include "button_test_ids.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <utility>
#include <vector>

// Reads and sets the state that no operation of the button reports.
class StyledButtonProbe {
  public:
    static BOOL Hovering(const CStyledButton& b) { return b.m_bHovering; }
    static void SetHovering(CStyledButton& b, BOOL bHovering) { b.m_bHovering = bHovering; }
    static COLORREF Color(const CStyledButton& b, int slot) { return b.m_colors[slot]; }
    static const char* Link(const CStyledButton& b) { return b.m_szLink; }
    static HWND Tip(const CStyledButton& b) { return b.m_tip.m_hWnd; }
    static HDC ParentCopyDc(const CStyledButton& b) { return b.m_dcParentCopy.GetSafeHdc(); }
    static void ReleaseImages(CStyledButton& b, BOOL bDestroy) { b.ReleaseImages(bDestroy); }
};

// Counts the background erases the system asks of the button.
class CountingButton : public CStyledButton {
  public:
    int erases = 0;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        erases += message == WM_ERASEBKGND;
        return CStyledButton::WindowProc(message, wParam, lParam);
    }
};

class ButtonDialog : public CDialog {
  public:
    ButtonDialog() : CDialog(IDD_BUTTONS) {}

    CountingButton m_plain, m_default, m_check, m_flat, m_next;
    // Ids of the clicks and menu commands that reached the dialog's own handler, in order.
    std::vector<UINT> log;
    std::function<void()> onInit;

  protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    void OnCommandId(UINT id) { log.push_back(id); }

    DECLARE_MESSAGE_MAP()
};

// The dialog, created modeless, shown in front for each test and destroyed after it.
class ButtonDialogTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    std::unique_ptr<ButtonDialog> m_dlg = std::make_unique<ButtonDialog>();
};

// DrawItem of the button with these item state flags, as if hovered or not, into a new
// canvas of the button's client size (or the size given) filled with RGB(1, 2, 3).
std::unique_ptr<DibCanvas> PaintButton(CStyledButton& button, UINT state, bool hovering = false,
                                       int width = 0, int height = 0);
// The smallest rectangle holding every pixel of one colour, moved by (dx, dy); empty when
// there is none.
RECT InkBox(const DibCanvas& canvas, COLORREF color, int dx = 0, int dy = 0);
inline bool operator==(const RECT& a, const RECT& b) {
    return ::EqualRect(&a, &b) != FALSE;
}
inline void PrintTo(const RECT& rc, std::ostream* os) {
    *os << "{" << rc.left << "," << rc.top << "," << rc.right << "," << rc.bottom << "}";
}

// Moves the real pointer to the centre of a window.
void MovePointerTo(HWND hWnd);

// Points one of this program's import slots (the framework and the button call the system
// through them) at a stand-in that watches the calls; gives back what the slot held.
template <class Function> Function ReplaceImport(Function* slot, Function standIn) {
    DWORD protect = 0;
    ::VirtualProtect(slot, sizeof(*slot), PAGE_READWRITE, &protect);
    return std::exchange(*slot, standIn);
}
