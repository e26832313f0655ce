#include "ButtonFixture.h"

#include "CSelectGuard.h"
#include "WaitFor.h"

#include <algorithm>
#include <atomic>

BEGIN_MESSAGE_MAP(ButtonDialog, CDialog)
ON_CONTROL_RANGE(BN_CLICKED, IDC_SB_PLAIN, IDC_SB_NEXT, &ButtonDialog::OnClicked)
END_MESSAGE_MAP()

LRESULT CountingButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    mouseMoves += message == WM_MOUSEMOVE;
    doubleClicks += message == WM_LBUTTONDBLCLK;
    return CStyledButton::WindowProc(message, wParam, lParam);
}

ButtonDialog::ButtonDialog() : CDialog(IDD_BUTTONS) {}

void ButtonDialog::DoDataExchange(CDataExchange* dx) {
    // The template numbers the buttons in this order.
    CountingButton* buttons[] = {&m_plain, &m_default, &m_check,    &m_flat,
                                 &m_link,  &m_image,   &m_disabled, &m_next};
    for (int i = 0; i < 8; ++i)
        DDX_Control(dx, IDC_SB_PLAIN + i, *buttons[i]);
}

bool ShowDialog(CDialog& dialog) {
    ::SetWindowPos(dialog.m_hWnd, HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    ::SetForegroundWindow(dialog.m_hWnd);
    return WaitFor([&] { return ::IsWindowVisible(dialog.m_hWnd) != FALSE; });
}

void DrawButton(CStyledButton& button, UINT state, DibCanvas& canvas, bool hovering) {
    DRAWITEMSTRUCT dis{};
    dis.CtlType = ODT_BUTTON;
    dis.CtlID = static_cast<UINT>(button.GetDlgCtrlID());
    dis.itemAction = ODA_DRAWENTIRE;
    dis.itemState = state;
    dis.hwndItem = button.m_hWnd;
    dis.hDC = canvas.Hdc();
    dis.rcItem = RECT{0, 0, canvas.Width(), canvas.Height()};
    StyledButtonProbe::SetHovering(button, hovering);
    button.DrawItem(&dis);
    StyledButtonProbe::SetHovering(button, FALSE);
}

std::unique_ptr<DibCanvas> PaintButton(CStyledButton& button, UINT state, bool hovering, int width,
                                       int height, const std::function<void(CDC&)>& prepare) {
    RECT rc{};
    ::GetClientRect(button.m_hWnd, &rc);
    auto canvas = std::make_unique<DibCanvas>(width ? width : rc.right, height ? height : rc.bottom,
                                              RGB(1, 2, 3));
    if (prepare)
        prepare(canvas->Dc());
    DrawButton(button, state, *canvas, hovering);
    return canvas;
}

RECT InkBox(const DibCanvas& canvas, COLORREF color, const RECT* area) {
    const RECT all{0, 0, canvas.Width(), canvas.Height()};
    const RECT& scan = area != nullptr ? *area : all;
    RECT box{canvas.Width(), canvas.Height(), 0, 0};
    for (int y = scan.top; y < scan.bottom; ++y)
        for (int x = scan.left; x < scan.right; ++x)
            if (canvas.Pixel(x, y) == color)
                box = RECT{std::min<LONG>(box.left, x), std::min<LONG>(box.top, y),
                           std::max<LONG>(box.right, x + 1), std::max<LONG>(box.bottom, y + 1)};
    return box.right == 0 ? RECT{} : box;
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

bool SameRect(const RECT& a, const RECT& b) {
    return ::EqualRect(&a, &b) != FALSE;
}

RECT Offset(RECT rc, int dx, int dy) {
    ::OffsetRect(&rc, dx, dy);
    return rc;
}

std::string Describe(const RECT& rc) {
    return "{" + std::to_string(rc.left) + "," + std::to_string(rc.top) + "," +
           std::to_string(rc.right) + "," + std::to_string(rc.bottom) + "}";
}

std::string WindowsPath(const std::string& unixPath) {
    std::string path = "Z:" + unixPath;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// Unix programs started from wine give no process handle to wait on, so the command
// leaves a marker file when it is done.
bool HostCommand(const std::string& command) {
    static std::atomic<int> s_serial{0};
    const std::string marker = std::string(KESTREL_TEST_BINARY_DIR) + "/host-command-" +
                               std::to_string(::GetCurrentProcessId()) + "-" +
                               std::to_string(++s_serial);
    const std::string ok = WindowsPath(marker + ".ok"), failed = WindowsPath(marker + ".failed");
    std::string line = "/bin/sh -c \"(" + command + ") && touch '" + marker + ".ok' || touch '" +
                       marker + ".failed'\"";
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    // What wine leaves in pi for a Unix program is no handle of ours: closing it
    // once closed this process's standard output, and the test report with it.
    if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                          &pi))
        return false;
    auto exists = [](const std::string& p) {
        return ::GetFileAttributesA(p.c_str()) != INVALID_FILE_ATTRIBUTES;
    };
    if (!WaitFor([&] { return exists(ok) || exists(failed); }, 30000))
        return false;
    const bool done = exists(ok);
    ::DeleteFileA(ok.c_str());
    ::DeleteFileA(failed.c_str());
    return done;
}

bool XdoTool(const std::string& args) {
    return HostCommand("xdotool " + args);
}

std::string MoveToCentre(HWND hWnd) {
    RECT rc{};
    ::GetWindowRect(hWnd, &rc);
    return "mousemove --sync " + std::to_string((rc.left + rc.right) / 2) + " " +
           std::to_string((rc.top + rc.bottom) / 2);
}
