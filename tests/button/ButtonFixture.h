#pragma once
// A real dialog from the test template with every push button bound to a CStyledButton,
// plus helpers: painting DrawItem into a DIB section, and real X input through xdotool.

#include "CDialog.h"
#include "CStyledButton.h"
#include "DibCanvas.h"
#include "button_test_ids.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

// Reads and sets the state that no operation of the button reports.
class StyledButtonProbe {
  public:
    static BOOL Hovering(const CStyledButton& b) { return b.m_bHovering; }
    static void SetHovering(CStyledButton& b, BOOL bHovering) { b.m_bHovering = bHovering; }
    static COLORREF Color(const CStyledButton& b, int slot) { return b.m_colors[slot]; }
    static const char* Link(const CStyledButton& b) { return b.m_szLink; }
    static CToolTipCtrl& Tip(CStyledButton& b) { return b.m_tip; }
    static HCURSOR HoverCursor(const CStyledButton& b) { return b.m_hHoverCursor; }
    static const ButtonIconSlot& Icon(const CStyledButton& b, int i) { return b.m_icons[i]; }
    static const ButtonBitmapSlot& Bitmap(const CStyledButton& b, int i) { return b.m_bitmaps[i]; }
    static HDC ParentCopyDc(const CStyledButton& b) { return b.m_dcParentCopy.GetSafeHdc(); }
};

// Counts the mouse messages that reach the button's window procedure.
class CountingButton : public CStyledButton {
  public:
    int mouseMoves = 0;
    int doubleClicks = 0;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};

class ButtonDialog : public CDialog {
  public:
    ButtonDialog();

    CountingButton m_plain, m_default, m_check, m_flat, m_link, m_image, m_disabled, m_next;
    // Click notifications that reached the dialog's own handler, by control id.
    std::vector<UINT> clicks;

  protected:
    void DoDataExchange(CDataExchange* dx) override;
    // The test dialog stays open whatever keys the tests press.
    void OnOK() override {}
    void OnCancel() override {}
    void OnClicked(UINT id) { clicks.push_back(id); }

    DECLARE_MESSAGE_MAP()
};

// Places a dialog near the screen's corner, shows it in front and waits until it is visible.
bool ShowDialog(CDialog& dialog);

// A dialog of a test template, created modeless and shown for each test, destroyed after it.
template <class Dialog> class DialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_dlg = std::make_unique<Dialog>();
        ASSERT_TRUE(m_dlg->Create()) << "no dialog: is an X display running?";
        ASSERT_TRUE(ShowDialog(*m_dlg));
    }
    void TearDown() override {
        if (m_dlg && m_dlg->m_hWnd != nullptr)
            m_dlg->DestroyWindow();
        m_dlg.reset();
    }

    std::unique_ptr<Dialog> m_dlg;
};
using ButtonDialogTest = DialogTest<ButtonDialog>;

// Runs DrawItem of the button over the whole canvas with these item state flags, as if
// the button were hovered or not.
void DrawButton(CStyledButton& button, UINT state, DibCanvas& canvas, bool hovering = false);
// The same into a new canvas of the button's client size (or the size given), on which
// prepare runs first.
std::unique_ptr<DibCanvas> PaintButton(CStyledButton& button, UINT state, bool hovering = false,
                                       int width = 0, int height = 0,
                                       const std::function<void(CDC&)>& prepare = nullptr);

// The smallest rectangle holding every pixel of one colour within an area (the whole
// canvas by default); empty when there is none.
RECT InkBox(const DibCanvas& canvas, COLORREF color, const RECT* area = nullptr);
bool SameRect(const RECT& a, const RECT& b);
RECT Offset(RECT rc, int dx, int dy);
// A rectangle as {left,top,right,bottom}, for failure messages.
std::string Describe(const RECT& rc);

// A 16 by 16 bitmap painted pixel by pixel: screen-compatible, or monochrome (white sets
// a bit, which a mask makes transparent).
HBITMAP MakeBitmap(bool mono, const std::function<COLORREF(int x, int y)>& color);

// Runs a shell command line on the host, or xdotool with these arguments on the test
// display, and waits until it is done.
bool HostCommand(const std::string& command);
bool XdoTool(const std::string& args);
// xdotool arguments that move the pointer to the centre of a window.
std::string MoveToCentre(HWND hWnd);
// The wine drive path of a host path.
std::string WindowsPath(const std::string& unixPath);
