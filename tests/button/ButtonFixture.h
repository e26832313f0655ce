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
    static BOOL DefaultButton(const CStyledButton& b) { return b.m_bDefaultButton; }
    static BOOL CheckBoxMode(const CStyledButton& b) { return b.m_bCheckBoxMode; }
    static BOOL FlatLook(const CStyledButton& b) { return b.m_bFlatLook; }
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

// The dialog, created modeless and shown for each test, destroyed after it.
class ButtonDialogTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    std::unique_ptr<ButtonDialog> m_dlg;
};

// Paints the button through DrawItem into a new canvas of its client size (or the size
// given), with the item state flags given.
std::unique_ptr<DibCanvas> PaintButton(CStyledButton& button, UINT state, int width = 0,
                                       int height = 0,
                                       const std::function<void(CDC&)>& prepare = nullptr);

// The smallest rectangle holding every pixel of one colour within an area (the whole
// canvas by default); empty when there is none.
RECT InkBox(const DibCanvas& canvas, COLORREF color, const RECT* area = nullptr);

// Runs xdotool with these arguments on the test display and waits until it is done.
bool XdoTool(const std::string& args);
// xdotool arguments that move the pointer to the centre of a window.
std::string MoveToCentre(HWND hWnd);
// Runs a shell command line on the host and waits until it is done.
bool HostCommand(const std::string& command);
POINT ScreenCentre(HWND hWnd);
// A rectangle as {left,top,right,bottom}, for failure messages.
std::string Describe(const RECT& rc);
// The wine drive path of a host path.
std::string WindowsPath(const std::string& unixPath);
