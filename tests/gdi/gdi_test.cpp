// What the framework itself decides about device contexts and GDI objects: the
// pixels of its own drawing helpers, selection guards, owners releasing exactly once
// and replacing what they held.
#include "CIcon.h"
#include "CImageList.h"
#include "CMenu.h"
#include "CWnd.h"
#include "DibCanvas.h"
#include "FreeGdiHandles.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255), kRed = RGB(255, 0, 0), kBlue = RGB(0, 0, 255);

// FillSolidRect keeps the background colour; Draw3dRect's top and left lose their
// far pixel to the second colour, right and bottom are full.
TEST(DrawingHelpers, FillSolidRectAndDraw3dRectPaintExactly) {
    DibCanvas canvas(20, 20);
    canvas.Dc().SetBkColor(kBlue);
    canvas.Dc().FillSolidRect(14, 13, 5, 4, kRed);
    EXPECT_EQ(::GetBkColor(canvas.Hdc()), kBlue);
    EXPECT_EQ(canvas.Count({14, 13, 19, 17}, kRed), 20);
    const RECT rc{2, 2, 12, 10};
    canvas.Dc().Draw3dRect(&rc, kRed, kBlue);
    const struct {
        int x, y;
        COLORREF expected;
    } probes[] = {{2, 2, kRed},  {10, 2, kRed},  {11, 2, kBlue}, {2, 8, kRed},
                  {2, 9, kBlue}, {11, 9, kBlue}, {3, 3, kWhite}, {12, 10, kWhite}};
    for (const auto& p : probes)
        EXPECT_EQ(canvas.Pixel(p.x, p.y), p.expected) << p.x << "," << p.y;
    EXPECT_EQ(canvas.Count({0, 0, 13, 11}, kRed), 9 + 7 - 1);
    EXPECT_EQ(canvas.Count({0, 0, 20, 20}, kBlue), 10 + 8 - 1);
}

TEST(SelectGuard, PutsBackWhatWasSelectedBefore) {
    DibCanvas canvas(4, 4);
    HDC hdc = canvas.Hdc();
    const HGDIOBJ before = ::GetCurrentObject(hdc, OBJ_PEN);
    CPen red(PS_SOLID, 1, kRed), blue(PS_SOLID, 1, kBlue);
    {
        CSelectGuard outer(canvas.Dc(), red);
        { CSelectGuard inner(hdc, blue.GetSafeHandle()); }
        EXPECT_EQ(::GetCurrentObject(hdc, OBJ_PEN), red.GetSafeHandle());
    }
    EXPECT_EQ(::GetCurrentObject(hdc, OBJ_PEN), before);
}

// A second Create releases what the owner held; a move hands the handle over once;
// assigning releases what the target held.
template <class Owner, class Make, class Alive, class Handle>
void CheckOwner(Make make, Alive alive, Handle handle) {
    Owner source, target;
    ASSERT_TRUE(make(source));
    const auto first = handle(source);
    ASSERT_TRUE(make(source));
    EXPECT_FALSE(alive(first)) << "kept by the second Create";
    ASSERT_TRUE(make(target));
    const auto moved = handle(source), replaced = handle(target);
    EXPECT_TRUE(alive(moved));
    target = std::move(source);
    EXPECT_EQ(handle(source), nullptr);
    EXPECT_FALSE(alive(replaced));
    { Owner constructed(std::move(target)); }
    EXPECT_EQ(handle(target), nullptr);
    EXPECT_FALSE(alive(moved));
}

TEST(Ownership, OwnersReplaceMoveAndReleaseOnce) {
    auto gdiAlive = [](auto h) { return ::GetObjectType(h) != 0; };
    auto iconAlive = [](HICON h) {
        ICONINFO info{};
        if (!::GetIconInfo(h, &info))
            return false;
        ::DeleteObject(info.hbmColor);
        ::DeleteObject(info.hbmMask);
        return true;
    };
    CheckOwner<CBitmap>([](CBitmap& b) { return b.CreateBitmap(2, 2, 1, 1, nullptr); }, gdiAlive,
                        [](CBitmap& b) { return b.GetSafeHandle(); });
    CheckOwner<CMemoryDC>([](CMemoryDC& dc) { return dc.CreateCompatibleDC(nullptr); }, gdiAlive,
                          [](CMemoryDC& dc) { return dc.GetSafeHdc(); });
    CheckOwner<CMenu>([](CMenu& m) { return m.CreatePopupMenu(); },
                      [](HMENU h) { return ::IsMenu(h) != FALSE; },
                      [](CMenu& m) { return m.GetSafeHmenu(); });
    CheckOwner<CImageList>([](CImageList& l) { return l.Create(4, 4, ILC_COLOR32, 1, 1); },
                           [](HIMAGELIST h) {
                               int cx = 0, cy = 0;
                               return ::ImageList_GetIconSize(h, &cx, &cy) != FALSE;
                           },
                           [](CImageList& l) { return l.GetSafeHandle(); });
    const HICON system = ::LoadIconA(nullptr, IDI_APPLICATION); // shared, never destroyed
    CheckOwner<CIcon>([&](CIcon& i) { return i.Attach(::CopyIcon(system)); }, iconAlive,
                      [](CIcon& i) { return i.GetSafeHandle(); });
    CheckOwner<CCursor>([&](CCursor& c) { return c.Attach(::CopyIcon(system)); }, iconAlive,
                        [](CCursor& c) { return c.GetSafeHandle(); });

    // A window is replaced the same way; a handle attached already is refused.
    CWnd window, other;
    const auto create = [](CWnd& w) {
        return w.CreateEx(0, "STATIC", "", WS_POPUP, CRect(0, 0, 9, 9), nullptr, 0);
    };
    ASSERT_TRUE(create(window));
    const HWND first = window.m_hWnd;
    ASSERT_TRUE(create(window) && create(other));
    EXPECT_FALSE(::IsWindow(first));
    EXPECT_FALSE(window.SubclassWindow(other.m_hWnd));
    EXPECT_TRUE(::IsWindow(window.m_hWnd) && CWnd::FromHandle(window.m_hWnd) == &window);
    CMenu menu, held;
    ASSERT_TRUE(menu.CreatePopupMenu() && held.CreatePopupMenu());
    EXPECT_FALSE(held.Attach(menu.GetSafeHmenu()));
    EXPECT_TRUE(::IsMenu(held.GetSafeHmenu()) && CMenu::FromHandle(held.GetSafeHmenu()) == &held);
}

// A round that kept one object would leave as many fewer free handles as there were rounds.
TEST(Ownership, OwnersAndGuardsLeakNothing) {
    const CRect area(1, 1, 3, 3);
    LOGFONTA lf{};
    lf.lfHeight = -12;
    auto round = [&](int i) {
        CClientDC screen(nullptr);
        CMemoryDC dc;
        CBitmap bitmap;
        CBrush brush(RGB(i, 0, 0));
        CPen pen(PS_SOLID, 1, RGB(0, i, 0));
        CFont font;
        if (!dc.CreateCompatibleDC(&screen) || !bitmap.CreateCompatibleBitmap(&screen, 4, 4) ||
            !brush.GetSafeHandle() || !pen.GetSafeHandle() || !font.CreateFontIndirect(&lf))
            return false;
        CSelectGuard selectBitmap(dc, bitmap), selectPen(dc, pen), selectFont(dc, font);
        COffscreenDC offscreen(&dc, area);
        offscreen.FillRect(&area, &brush);
        return true;
    };
    ASSERT_TRUE(round(0)); // wine fills its caches once
    const int before = FreeGdiHandles();
    for (int i = 1; i <= 50; ++i)
        ASSERT_TRUE(round(i));
    EXPECT_EQ(FreeGdiHandles(), before);
}

} // namespace
