// Drawing through CDC into a 32-bit DIB section, checked pixel by pixel; selection
// guards; the window DC forms.

#include "CBrush.h"
#include "CClientDC.h"
#include "CPaintDC.h"
#include "CPen.h"
#include "CWindowDC.h"
#include "DibCanvas.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

TEST(DcDraw, FillSolidRectFillsExactlyAndKeepsBackgroundColour) {
    DibCanvas canvas(20, 20);
    ASSERT_TRUE(canvas.Valid());
    canvas.Dc().SetBkColor(kBlue);
    canvas.Dc().FillSolidRect(2, 3, 5, 4, kRed);
    EXPECT_EQ(kBlue, canvas.Dc().GetBkColor());
    EXPECT_EQ(20, canvas.Count({2, 3, 7, 7}, kRed));
    EXPECT_EQ(20, canvas.Count({0, 0, 20, 20}, kRed));
}

// Top and left lose their far pixel to the second colour; right and bottom are full.
TEST(DcDraw, Draw3dRectPutsEachColourOnItsOwnSides) {
    DibCanvas canvas(20, 20);
    ASSERT_TRUE(canvas.Valid());
    RECT rc{2, 2, 12, 10};
    canvas.Dc().Draw3dRect(&rc, kRed, kBlue);
    struct Probe {
        int x, y;
        COLORREF expected;
    } probes[] = {
        {2, 2, kRed},   {10, 2, kRed},   {11, 2, kBlue}, {2, 8, kRed},
        {2, 9, kBlue},  {11, 9, kBlue},  {6, 9, kBlue},  {11, 5, kBlue},
        {3, 3, kWhite}, {10, 8, kWhite}, {1, 1, kWhite}, {12, 10, kWhite},
    };
    for (const auto& p : probes)
        EXPECT_EQ(p.expected, canvas.Pixel(p.x, p.y)) << "at " << p.x << "," << p.y;
    EXPECT_EQ(9 + 7 - 1, canvas.Count({0, 0, 20, 20}, kRed));
    EXPECT_EQ(10 + 8 - 1, canvas.Count({0, 0, 20, 20}, kBlue));
}

TEST(DcDraw, PolylineAndLineToLeaveOutTheEndPoint) {
    DibCanvas canvas(20, 20);
    ASSERT_TRUE(canvas.Valid());
    CPen pen(PS_SOLID, 1, kRed);
    {
        CSelectGuard sel(canvas.Dc(), pen);
        POINT pts[] = {{2, 10}, {2, 2}, {10, 2}};
        canvas.Dc().Polyline(pts, 3);
        canvas.Dc().MoveTo(2, 15);
        canvas.Dc().LineTo(8, 15);
    }
    EXPECT_EQ(kRed, canvas.Pixel(2, 10));
    EXPECT_EQ(kWhite, canvas.Pixel(2, 11));
    EXPECT_EQ(kRed, canvas.Pixel(2, 2));
    EXPECT_EQ(kRed, canvas.Pixel(9, 2));
    EXPECT_EQ(kWhite, canvas.Pixel(10, 2));
    EXPECT_EQ(6, canvas.Count({0, 15, 20, 16}, kRed));
    EXPECT_EQ(kWhite, canvas.Pixel(8, 15));
}

TEST(DcDraw, FocusRectIsDottedOnTheOutlineOnly) {
    DibCanvas canvas(30, 20);
    ASSERT_TRUE(canvas.Valid());
    RECT rc{4, 4, 24, 14};
    canvas.Dc().DrawFocusRect(&rc);
    int changed = 0;
    for (int x = 4; x < 23; ++x) {
        EXPECT_NE(canvas.Pixel(x, 4), canvas.Pixel(x + 1, 4)) << "top row at " << x;
        changed += canvas.Pixel(x, 4) != kWhite;
    }
    EXPECT_GT(changed, 5);
    EXPECT_EQ(18 * 8, canvas.Count({5, 5, 23, 13}, kWhite)) << "inside stays untouched";
    EXPECT_EQ(kWhite, canvas.Pixel(3, 4));
    EXPECT_EQ(kWhite, canvas.Pixel(24, 4));
    canvas.Dc().DrawFocusRect(&rc);
    EXPECT_EQ(30 * 20, canvas.Count({0, 0, 30, 20}, kWhite)) << "a second draw erases it";
}

TEST(DcDraw, TextIsDrawnInTheTextColourWithinItsExtent) {
    DibCanvas canvas(120, 40);
    ASSERT_TRUE(canvas.Valid());
    const char* text = "Kestrel";
    SIZE extent = canvas.Dc().GetTextExtent(text, ::lstrlenA(text));
    ASSERT_GT(extent.cx, 10);
    ASSERT_GT(extent.cy, 5);
    canvas.Dc().SetBkMode(TRANSPARENT);
    canvas.Dc().SetTextColor(kRed);
    RECT rc{5, 5, 115, 35};
    RECT calc = rc;
    canvas.Dc().DrawText(text, -1, &calc, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(extent.cx, calc.right - calc.left);
    EXPECT_EQ(120 * 40, canvas.Count({0, 0, 120, 40}, kWhite)) << "DT_CALCRECT draws nothing";
    canvas.Dc().DrawText(text, -1, &rc, DT_SINGLELINE);
    EXPECT_GT(canvas.Count({5, 5, 5 + extent.cx, 5 + extent.cy}, kRed), 10);
    RECT inked{5, 5, 5 + extent.cx, 5 + extent.cy};
    EXPECT_EQ(canvas.Count({0, 0, 120, 40}, kRed), canvas.Count(inked, kRed))
        << "no ink outside the measured extent";
}

struct IconPair {
    CBitmap color, mask;
    HICON icon = nullptr;
    ~IconPair() {
        if (icon != nullptr)
            ::DestroyIcon(icon);
    }
};

void MakeRedIcon(IconPair& pair) {
    DibCanvas colour(16, 16, kRed);
    pair.color.Attach(::CreateBitmap(16, 16, 1, 32, nullptr));
    CDC dc;
    dc.CreateCompatibleDC(nullptr);
    {
        CSelectGuard sel(dc, pair.color);
        dc.BitBlt(0, 0, 16, 16, &colour.Dc(), 0, 0, SRCCOPY);
    }
    pair.mask.CreateBitmap(16, 16, 1, 1, nullptr);
    CDC maskDc;
    maskDc.CreateCompatibleDC(nullptr);
    CSelectGuard sel(maskDc, pair.mask);
    maskDc.FillSolidRect(0, 0, 16, 16, kBlack);
    ICONINFO ii{TRUE, 0, 0, pair.mask.GetSafeHandle(), pair.color.GetSafeHandle()};
    pair.icon = ::CreateIconIndirect(&ii);
}

TEST(DcDraw, IconsDrawPlainOrDisabled) {
    IconPair pair;
    MakeRedIcon(pair);
    ASSERT_NE(nullptr, pair.icon);
    DibCanvas canvas(64, 24);
    ASSERT_TRUE(canvas.Valid());
    ASSERT_TRUE(canvas.Dc().DrawIcon(0, 0, pair.icon));
    ASSERT_TRUE(canvas.Dc().DrawState({20, 0}, {16, 16}, pair.icon, DSS_NORMAL));
    ASSERT_TRUE(canvas.Dc().DrawState({40, 0}, {16, 16}, pair.icon, DSS_DISABLED));
    EXPECT_EQ(kRed, canvas.Pixel(8, 8));
    EXPECT_EQ(kRed, canvas.Pixel(28, 8));
    EXPECT_EQ(0, canvas.Count({40, 0, 58, 18}, kRed)) << "disabled drawing is embossed";
    EXPECT_GT(canvas.Count({40, 0, 58, 18}, ::GetSysColor(COLOR_BTNSHADOW)), 0);
}

TEST(SelectGuard, RestoresWhatWasSelectedBefore) {
    DibCanvas canvas(4, 4);
    ASSERT_TRUE(canvas.Valid());
    HDC hdc = canvas.Hdc();
    HGDIOBJ penBefore = ::GetCurrentObject(hdc, OBJ_PEN);
    HGDIOBJ brushBefore = ::GetCurrentObject(hdc, OBJ_BRUSH);
    CPen red(PS_SOLID, 1, kRed), blue(PS_SOLID, 1, kBlue);
    CBrush brush(kRed);
    {
        CSelectGuard outer(canvas.Dc(), red);
        EXPECT_EQ(penBefore, outer.GetOld());
        {
            CSelectGuard inner(canvas.Dc(), blue);
            CSelectGuard byHandle(hdc, brush.GetSafeHandle());
            EXPECT_EQ(red.GetSafeHandle(), inner.GetOld());
            EXPECT_EQ(blue.GetSafeHandle(), ::GetCurrentObject(hdc, OBJ_PEN));
            EXPECT_EQ(brush.GetSafeHandle(), ::GetCurrentObject(hdc, OBJ_BRUSH));
        }
        EXPECT_EQ(red.GetSafeHandle(), ::GetCurrentObject(hdc, OBJ_PEN));
        EXPECT_EQ(brushBefore, ::GetCurrentObject(hdc, OBJ_BRUSH));
    }
    EXPECT_EQ(penBefore, ::GetCurrentObject(hdc, OBJ_PEN));
}

// A plain top-level window whose WM_PAINT fills its client area through CPaintDC.
class PaintWindow : public ::testing::Test {
  protected:
    static LRESULT CALLBACK Proc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        if (msg == WM_PAINT) {
            CPaintDC dc(hWnd);
            RECT rc;
            ::GetClientRect(hWnd, &rc);
            dc.FillSolidRect(&rc, kRed);
            ++s_paints;
            return 0;
        }
        return ::DefWindowProcA(hWnd, msg, wParam, lParam);
    }

    void SetUp() override {
        WNDCLASSA wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = "KestrelGdiPaintTest";
        ::RegisterClassA(&wc);
        m_hWnd = ::CreateWindowExA(0, wc.lpszClassName, "paint", WS_POPUP | WS_VISIBLE, 10, 10, 60,
                                   40, nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_NE(nullptr, m_hWnd) << "no window: is an X display running?";
    }
    void TearDown() override {
        if (m_hWnd != nullptr)
            ::DestroyWindow(m_hWnd);
    }

    HWND m_hWnd = nullptr;
    static inline int s_paints = 0;
};

TEST_F(PaintWindow, PaintDcValidatesTheUpdateRegion) {
    s_paints = 0;
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
    ::UpdateWindow(m_hWnd);
    EXPECT_EQ(1, s_paints);
    EXPECT_FALSE(::GetUpdateRect(m_hWnd, nullptr, FALSE));
}

TEST_F(PaintWindow, ClientAndWindowDcsAreReleased) {
    int failures = 0;
    for (int i = 0; i < 70000 && failures == 0; ++i) {
        CClientDC client(m_hWnd);
        CWindowDC window(m_hWnd);
        failures += client.GetSafeHdc() == nullptr || window.GetSafeHdc() == nullptr;
        failures += client.IsOwner() || window.IsOwner();
    }
    EXPECT_EQ(0, failures);
}

} // namespace
