// Shows the styled button in its main states on the test dialog, with the pointer really
// over the flat one, and saves the screen as a PNG under the build tree.

#include "ButtonFixture.h"

#include "CSelectGuard.h"
#include "WaitFor.h"

namespace {

constexpr COLORREF kGreen = RGB(0, 170, 0);
constexpr COLORREF kRed = RGB(210, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kHotFace = RGB(255, 200, 0);

void Colour(CStyledButton& b, COLORREF face, COLORREF text) {
    b.SetSlotColor(SBC_FACE_NORMAL, face, FALSE);
    b.SetSlotColor(SBC_FACE_FOCUS, face, FALSE);
    b.SetSlotColor(SBC_TEXT_NORMAL, text, FALSE);
    b.SetSlotColor(SBC_FACE_HOT, kHotFace, FALSE);
    b.SetSlotColor(SBC_TEXT_HOT, RGB(0, 0, 0), FALSE);
}

HBITMAP MakeDiamond(COLORREF color, HBITMAP* mask) {
    HDC screen = ::GetDC(nullptr);
    HBITMAP image = ::CreateCompatibleBitmap(screen, 16, 16);
    ::ReleaseDC(nullptr, screen);
    *mask = ::CreateBitmap(16, 16, 1, 1, nullptr);
    CDC dc, maskDc;
    dc.CreateCompatibleDC(nullptr);
    maskDc.CreateCompatibleDC(nullptr);
    CSelectGuard select(dc.GetSafeHdc(), image);
    CSelectGuard selectMask(maskDc.GetSafeHdc(), *mask);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            bool inside = std::abs(x - 8) + std::abs(y - 8) <= 7;
            dc.SetPixel(x, y, inside ? color : RGB(0, 0, 0));
            maskDc.SetPixel(x, y, inside ? RGB(0, 0, 0) : kWhite);
        }
    return image;
}

COLORREF ScreenPixel(POINT p) {
    HDC screen = ::GetDC(nullptr);
    COLORREF color = ::GetPixel(screen, p.x, p.y);
    ::ReleaseDC(nullptr, screen);
    return color;
}

using ButtonScreenshot = ButtonDialogTest;

TEST_F(ButtonScreenshot, MainStatesOnTheDialog) {
    ButtonDialog& d = *m_dlg;
    for (CStyledButton* b : {&d.m_plain, &d.m_default, &d.m_check, &d.m_link, &d.m_disabled})
        b->SetFlatLook(FALSE, FALSE);
    Colour(d.m_plain, kGreen, kWhite);
    Colour(d.m_default, kRed, kWhite);
    Colour(d.m_check, kGreen, kWhite);
    Colour(d.m_link, kRed, kWhite);
    Colour(d.m_flat, kGreen, kWhite);
    Colour(d.m_image, kGreen, kWhite);
    Colour(d.m_disabled, kGreen, kWhite);
    d.m_plain.SetWindowText("通道1 常态");
    d.m_default.SetWindowText("通道2 焦点");
    d.m_check.SetWindowText("通道3 选中");
    d.m_flat.SetWindowText("平面 悬停");
    d.m_link.SetWindowText("通道5 按下");
    d.m_disabled.SetWindowText("禁用");
    d.m_image.SetWindowText("图像");
    HBITMAP hotMask = nullptr, normalMask = nullptr;
    HBITMAP hot = MakeDiamond(RGB(0, 0, 230), &hotMask);
    HBITMAP normal = MakeDiamond(RGB(255, 255, 0), &normalMask);
    d.m_image.SetBitmaps(hot, hotMask, normal, normalMask, FALSE);
    d.m_disabled.EnableWindow(FALSE);
    d.m_default.SetFocus();
    d.m_check.SendMessage(BM_SETCHECK, BST_CHECKED);
    d.m_link.SendMessage(BM_SETSTATE, TRUE);

    ASSERT_TRUE(XdoTool(MoveToCentre(d.m_flat.m_hWnd)));
    ASSERT_TRUE(WaitFor([&] { return StyledButtonProbe::Hovering(d.m_flat) != FALSE; }));
    ::RedrawWindow(d.m_hWnd, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);

    // What the screen shows, read back through the display.
    RECT rc;
    ::GetWindowRect(d.m_plain.m_hWnd, &rc);
    EXPECT_TRUE(WaitFor([&] { return ScreenPixel({rc.left + 3, rc.top + 3}) == kGreen; }));
    ::GetWindowRect(d.m_flat.m_hWnd, &rc);
    EXPECT_TRUE(WaitFor([&] { return ScreenPixel({rc.left + 3, rc.top + 3}) == kHotFace; }));
    ::GetWindowRect(d.m_default.m_hWnd, &rc);
    EXPECT_EQ(RGB(0, 0, 0), ScreenPixel({rc.left, rc.top})) << "focus outline";
    ::GetWindowRect(d.m_link.m_hWnd, &rc);
    EXPECT_EQ(::GetSysColor(COLOR_BTNSHADOW), ScreenPixel({rc.left, rc.top})) << "pressed frame";
    EXPECT_EQ(kHotFace, ScreenPixel({rc.left + 3, rc.top + 3}));

    const std::string png = std::string(KESTREL_TEST_BINARY_DIR) + "/button_states.png";
    ::DeleteFileA(WindowsPath(png).c_str());
    ASSERT_TRUE(HostCommand("import -window root '" + png + "'"));
    WIN32_FILE_ATTRIBUTE_DATA info{};
    ASSERT_TRUE(::GetFileAttributesExA(WindowsPath(png).c_str(), GetFileExInfoStandard, &info));
    EXPECT_GT(info.nFileSizeLow, 1000u);
}

} // namespace
