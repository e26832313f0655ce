#include "ButtonFixture.h"

#include "ModelessDialog.h"
#include "WaitFor.h"

#include <algorithm>

BEGIN_MESSAGE_MAP(ButtonDialog, CDialog)
ON_CONTROL_RANGE(0, IDC_SB_PLAIN, ID_DD_SAVE, &ButtonDialog::OnCommandId)
END_MESSAGE_MAP()

void ButtonDialog::DoDataExchange(CDataExchange* dx) {
    CountingButton* buttons[] = {&m_plain, &m_default, &m_check, &m_flat, &m_next};
    for (int i = 0; i < 5; ++i)
        DDX_Control(dx, IDC_SB_PLAIN + i, *buttons[i]);
}

BOOL ButtonDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    if (onInit)
        onInit();
    return TRUE;
}

void ButtonDialogTest::SetUp() {
    ASSERT_TRUE(CreateModeless(*m_dlg, IDD_BUTTONS)) << "no dialog: is an X display running?";
    ::SetWindowPos(m_dlg->m_hWnd, HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    ::SetForegroundWindow(m_dlg->m_hWnd);
    ASSERT_TRUE(WaitFor([&] { return ::IsWindowVisible(m_dlg->m_hWnd) != FALSE; }));
}

void ButtonDialogTest::TearDown() {
    if (m_dlg && m_dlg->m_hWnd != nullptr)
        m_dlg->DestroyWindow();
}

std::unique_ptr<DibCanvas> PaintButton(CStyledButton& button, UINT state, bool hovering, int width,
                                       int height) {
    RECT rc{};
    ::GetClientRect(button.m_hWnd, &rc);
    auto canvas = std::make_unique<DibCanvas>(width ? width : rc.right, height ? height : rc.bottom,
                                              RGB(1, 2, 3));
    DRAWITEMSTRUCT dis{ODT_BUTTON,
                       0,
                       0,
                       ODA_DRAWENTIRE,
                       state,
                       button.m_hWnd,
                       canvas->Hdc(),
                       RECT{0, 0, canvas->Width(), canvas->Height()},
                       0};
    StyledButtonProbe::SetHovering(button, hovering);
    button.DrawItem(&dis);
    StyledButtonProbe::SetHovering(button, FALSE);
    return canvas;
}

RECT InkBox(const DibCanvas& canvas, COLORREF color, int dx, int dy) {
    RECT box{canvas.Width(), canvas.Height(), 0, 0};
    for (int y = 0; y < canvas.Height(); ++y)
        for (int x = 0; x < canvas.Width(); ++x)
            if (canvas.Pixel(x, y) == color)
                box = RECT{std::min<LONG>(box.left, x), std::min<LONG>(box.top, y),
                           std::max<LONG>(box.right, x + 1), std::max<LONG>(box.bottom, y + 1)};
    if (box.right == 0)
        return RECT{};
    ::OffsetRect(&box, dx, dy);
    return box;
}

void MovePointerTo(HWND hWnd) {
    RECT rc{};
    ::GetWindowRect(hWnd, &rc);
    // From the window's corner first, so that the pointer always moves; off our windows,
    // the X server would take the keyboard focus from the application.
    ::SetCursorPos(rc.left + 1, rc.top + 1);
    ::SetCursorPos((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
}
