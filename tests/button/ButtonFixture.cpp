#include "ButtonFixture.h"

#include "CSelectGuard.h"
#include "WaitFor.h"

#include <algorithm>

BEGIN_MESSAGE_MAP(ButtonDialog, CDialog)
ON_CONTROL_RANGE(0, IDC_SB_PLAIN, ID_DD_SAVE, &ButtonDialog::OnCommandId)
END_MESSAGE_MAP()

void ButtonDialog::DoDataExchange(CDataExchange* dx) {
    CountingButton* buttons[] = {&m_plain, &m_default, &m_check, &m_flat,
                                 &m_link,  &m_image,   &m_next};
    for (int i = 0; i < 7; ++i)
        DDX_Control(dx, IDC_SB_PLAIN + i, *buttons[i]);
}

BOOL ButtonDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    if (onInit)
        onInit();
    return TRUE;
}

void ButtonDialogTest::SetUp() {
    ASSERT_TRUE(m_dlg->Create()) << "no dialog: is an X display running?";
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
    DRAWITEMSTRUCT dis{};
    dis.CtlType = ODT_BUTTON;
    dis.itemAction = ODA_DRAWENTIRE;
    dis.itemState = state;
    dis.hwndItem = button.m_hWnd;
    dis.hDC = canvas->Hdc();
    dis.rcItem = RECT{0, 0, canvas->Width(), canvas->Height()};
    StyledButtonProbe::SetHovering(button, hovering);
    button.DrawItem(&dis);
    StyledButtonProbe::SetHovering(button, FALSE);
    return canvas;
}

RECT InkBox(const DibCanvas& canvas, COLORREF color) {
    RECT box{canvas.Width(), canvas.Height(), 0, 0};
    for (int y = 0; y < canvas.Height(); ++y)
        for (int x = 0; x < canvas.Width(); ++x)
            if (canvas.Pixel(x, y) == color)
                box = RECT{std::min<LONG>(box.left, x), std::min<LONG>(box.top, y),
                           std::max<LONG>(box.right, x + 1), std::max<LONG>(box.bottom, y + 1)};
    return box.right == 0 ? RECT{} : box;
}

RECT Offset(RECT rc, int dx, int dy) {
    ::OffsetRect(&rc, dx, dy);
    return rc;
}

HBITMAP MakeBitmap(bool mono, const std::function<COLORREF(int, int)>& color) {
    HDC screen = ::GetDC(nullptr);
    HBITMAP bmp =
        mono ? ::CreateBitmap(16, 16, 1, 1, nullptr) : ::CreateCompatibleBitmap(screen, 16, 16);
    ::ReleaseDC(nullptr, screen);
    CDC dc;
    dc.CreateCompatibleDC(nullptr);
    CSelectGuard select(dc.GetSafeHdc(), bmp);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            dc.SetPixel(x, y, color(x, y));
    return bmp;
}

namespace {

void Send(INPUT input) {
    ::SendInput(1, &input, sizeof(input));
}

} // namespace

void MovePointerTo(HWND hWnd) {
    RECT rc{};
    ::GetWindowRect(hWnd, &rc);
    // From the window's corner first, so that the pointer always moves; off our windows,
    // the X server would take the keyboard focus from the application.
    ::SetCursorPos(rc.left + 1, rc.top + 1);
    ::SetCursorPos((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
}

void ClickLeft(int times) {
    for (int i = 0; i < times; ++i)
        for (DWORD flags : {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP}) {
            INPUT input{INPUT_MOUSE, {}};
            input.mi.dwFlags = flags;
            Send(input);
        }
}

void PressKey(WORD vk) {
    for (DWORD flags : {0ul, static_cast<unsigned long>(KEYEVENTF_KEYUP)}) {
        INPUT input{INPUT_KEYBOARD, {}};
        input.ki.wVk = vk;
        input.ki.dwFlags = flags;
        Send(input);
    }
}
