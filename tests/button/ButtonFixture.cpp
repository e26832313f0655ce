#include "ButtonFixture.h"

#include "WaitFor.h"

#include <algorithm>
#include <atomic>

BEGIN_MESSAGE_MAP(ButtonDialog, CDialog)
ON_CONTROL_RANGE(BN_CLICKED, IDC_SB_PLAIN, IDC_SB_NEXT, &ButtonDialog::OnClicked)
END_MESSAGE_MAP()

LRESULT CountingButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_MOUSEMOVE)
        ++mouseMoves;
    if (message == WM_LBUTTONDBLCLK)
        ++doubleClicks;
    return CStyledButton::WindowProc(message, wParam, lParam);
}

ButtonDialog::ButtonDialog() : CDialog(IDD_BUTTONS) {}

void ButtonDialog::DoDataExchange(CDataExchange* dx) {
    DDX_Control(dx, IDC_SB_PLAIN, m_plain);
    DDX_Control(dx, IDC_SB_DEFAULT, m_default);
    DDX_Control(dx, IDC_SB_CHECK, m_check);
    DDX_Control(dx, IDC_SB_FLAT, m_flat);
    DDX_Control(dx, IDC_SB_LINK, m_link);
    DDX_Control(dx, IDC_SB_IMAGE, m_image);
    DDX_Control(dx, IDC_SB_DISABLED, m_disabled);
    DDX_Control(dx, IDC_SB_NEXT, m_next);
}

void ButtonDialogTest::SetUp() {
    m_dlg = std::make_unique<ButtonDialog>();
    ASSERT_TRUE(m_dlg->Create()) << "no dialog: is an X display running?";
    ::SetWindowPos(m_dlg->m_hWnd, HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    ::SetForegroundWindow(m_dlg->m_hWnd);
    WaitFor([this] { return ::IsWindowVisible(m_dlg->m_hWnd) != FALSE; });
}

void ButtonDialogTest::TearDown() {
    if (m_dlg && m_dlg->m_hWnd != nullptr)
        m_dlg->DestroyWindow();
    m_dlg.reset();
}

std::unique_ptr<DibCanvas> PaintButton(CStyledButton& button, UINT state, int width, int height,
                                       const std::function<void(CDC&)>& prepare) {
    RECT rc{};
    ::GetClientRect(button.m_hWnd, &rc);
    if (width == 0)
        width = rc.right;
    if (height == 0)
        height = rc.bottom;
    auto canvas = std::make_unique<DibCanvas>(width, height, RGB(1, 2, 3));
    if (prepare)
        prepare(canvas->Dc());
    DRAWITEMSTRUCT dis{};
    dis.CtlType = ODT_BUTTON;
    dis.CtlID = static_cast<UINT>(button.GetDlgCtrlID());
    dis.itemAction = ODA_DRAWENTIRE;
    dis.itemState = state;
    dis.hwndItem = button.m_hWnd;
    dis.hDC = canvas->Hdc();
    dis.rcItem = RECT{0, 0, width, height};
    button.DrawItem(&dis);
    return canvas;
}

RECT InkBox(const DibCanvas& canvas, COLORREF color, const RECT* area) {
    const RECT all{0, 0, canvas.Width(), canvas.Height()};
    const RECT& scan = area != nullptr ? *area : all;
    RECT box{canvas.Width(), canvas.Height(), 0, 0};
    for (int y = scan.top; y < scan.bottom; ++y)
        for (int x = scan.left; x < scan.right; ++x)
            if (canvas.Pixel(x, y) == color) {
                box.left = std::min<LONG>(box.left, x);
                box.top = std::min<LONG>(box.top, y);
                box.right = std::max<LONG>(box.right, x + 1);
                box.bottom = std::max<LONG>(box.bottom, y + 1);
            }
    if (box.right == 0)
        box = RECT{};
    return box;
}

std::string WindowsPath(const std::string& unixPath) {
    std::string path = "Z:" + unixPath;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

// Unix programs started from wine give no process handle to wait on, so the command
// leaves a marker file when it is done.
bool HostCommand(const std::string& command) {
    static std::atomic<int> s_serial{0};
    const std::string marker = std::string(KESTREL_TEST_BINARY_DIR) + "/host-command-" +
                               std::to_string(::GetCurrentProcessId()) + "-" +
                               std::to_string(++s_serial);
    const std::string ok = marker + ".ok", failed = marker + ".failed";
    std::string line =
        "/bin/sh -c \"(" + command + ") && touch '" + ok + "' || touch '" + failed + "'\"";
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                          &pi))
        return false;
    if (pi.hProcess != nullptr)
        ::CloseHandle(pi.hProcess);
    if (pi.hThread != nullptr)
        ::CloseHandle(pi.hThread);
    const std::string okPath = WindowsPath(ok), failedPath = WindowsPath(failed);
    auto exists = [](const std::string& p) {
        return ::GetFileAttributesA(p.c_str()) != INVALID_FILE_ATTRIBUTES;
    };
    if (!WaitFor([&] { return exists(okPath) || exists(failedPath); }, 30000))
        return false;
    bool done = exists(okPath);
    ::DeleteFileA(okPath.c_str());
    ::DeleteFileA(failedPath.c_str());
    return done;
}

bool XdoTool(const std::string& args) {
    return HostCommand("xdotool " + args);
}

POINT ScreenCentre(HWND hWnd) {
    RECT rc{};
    ::GetWindowRect(hWnd, &rc);
    return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

std::string MoveToCentre(HWND hWnd) {
    const POINT p = ScreenCentre(hWnd);
    return "mousemove --sync " + std::to_string(p.x) + " " + std::to_string(p.y);
}

std::string Describe(const RECT& rc) {
    return "{" + std::to_string(rc.left) + "," + std::to_string(rc.top) + "," +
           std::to_string(rc.right) + "," + std::to_string(rc.bottom) + "}";
}
