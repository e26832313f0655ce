// Shows the styled button in its main states on the test dialog, with the pointer really
// over the flat one, and saves the screen as a PNG under the build tree.

#include "ButtonFixture.h"

#include "WaitFor.h"

namespace {

constexpr COLORREF kGreen = RGB(0, 170, 0);
constexpr COLORREF kRed = RGB(210, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kHotFace = RGB(255, 200, 0);

// A diamond in the colour, transparent around it under its mask.
bool InDiamond(int x, int y) {
    return std::abs(x - 8) + std::abs(y - 8) <= 7;
}
HBITMAP MakeDiamond(COLORREF color, HBITMAP* mask) {
    *mask = MakeBitmap(true, [](int x, int y) { return InDiamond(x, y) ? 0 : kWhite; });
    return MakeBitmap(false, [=](int x, int y) { return InDiamond(x, y) ? color : 0; });
}

// What the screen shows d pixels right and down of a window's corner, read back through
// the display.
COLORREF ScreenPixel(const CWnd& w, int d) {
    RECT rc;
    ::GetWindowRect(w.m_hWnd, &rc);
    HDC screen = ::GetDC(nullptr);
    COLORREF color = ::GetPixel(screen, rc.left + d, rc.top + d);
    ::ReleaseDC(nullptr, screen);
    return color;
}

using ButtonScreenshot = ButtonDialogTest;

TEST_F(ButtonScreenshot, MainStatesOnTheDialog) {
    ButtonDialog& d = *m_dlg;
    const struct {
        CStyledButton& b;
        COLORREF face;
        const char* caption;
    } looks[] = {
        {d.m_plain, kGreen, "通道1 常态"}, {d.m_default, kRed, "通道2 焦点"},
        {d.m_check, kGreen, "通道3 选中"}, {d.m_flat, kGreen, "平面 悬停"},
        {d.m_link, kRed, "通道5 按下"},    {d.m_disabled, kGreen, "禁用"},
        {d.m_image, kGreen, "图像"},
    };
    for (const auto& look : looks) {
        look.b.SetSlotColor(SBC_FACE_NORMAL, look.face, FALSE);
        look.b.SetSlotColor(SBC_FACE_FOCUS, look.face, FALSE);
        look.b.SetSlotColor(SBC_TEXT_NORMAL, kWhite, FALSE);
        look.b.SetSlotColor(SBC_FACE_HOT, kHotFace, FALSE);
        look.b.SetSlotColor(SBC_TEXT_HOT, RGB(0, 0, 0), FALSE);
        look.b.SetWindowText(look.caption);
        if (&look.b != &d.m_flat && &look.b != &d.m_image)
            look.b.SetFlatLook(FALSE, FALSE);
    }
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

    EXPECT_TRUE(WaitFor([&] { return ScreenPixel(d.m_plain, 3) == kGreen; }));
    EXPECT_TRUE(WaitFor([&] { return ScreenPixel(d.m_flat, 3) == kHotFace; }));
    EXPECT_EQ(RGB(0, 0, 0), ScreenPixel(d.m_default, 0)) << "focus outline";
    EXPECT_EQ(::GetSysColor(COLOR_BTNSHADOW), ScreenPixel(d.m_link, 0)) << "pressed frame";
    EXPECT_EQ(kHotFace, ScreenPixel(d.m_link, 3));

    const std::string png = std::string(KESTREL_TEST_BINARY_DIR) + "/button_states.png";
    ::DeleteFileA(WindowsPath(png).c_str());
    ASSERT_TRUE(HostCommand("import -window root '" + png + "'"));
    WIN32_FILE_ATTRIBUTE_DATA info{};
    ASSERT_TRUE(::GetFileAttributesExA(WindowsPath(png).c_str(), GetFileExInfoStandard, &info));
    EXPECT_GT(info.nFileSizeLow, 1000u);
}

} // namespace
