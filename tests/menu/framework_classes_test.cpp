// The framework classes the menu rests on: menus and their handle map, the
// pointer array, image lists and the offscreen DC. Sub-menu lookup and menu
// text in the code page are also exercised by the GlyphMenu tests.
#include "CImageList.h"
#include "CMenu.h"
#include "COffscreenDC.h"
#include "CPtrArray.h"
#include "DibCanvas.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <utility>
#include <vector>

namespace {

TEST(CMenuHandleMap, OneOwnerPerHandleUntilDetached) {
    CMenu menu;
    ASSERT_TRUE(menu.CreatePopupMenu());
    const HMENU hMenu = menu.GetSafeHmenu();
    EXPECT_EQ(CMenu::FromHandlePermanent(hMenu), &menu);
    EXPECT_EQ(CMenu::FromHandle(hMenu), &menu);
    CMenu second;
    EXPECT_FALSE(second.Attach(hMenu));
    EXPECT_FALSE(second.Attach(nullptr));
    EXPECT_EQ(CMenu::FromHandlePermanent(hMenu), &menu);
    const HMENU other = ::CreatePopupMenu();
    EXPECT_FALSE(menu.Attach(other)) << "an object holds one menu at a time";
    EXPECT_TRUE(::DestroyMenu(other));

    EXPECT_EQ(menu.Detach(), hMenu);
    EXPECT_EQ(menu.GetSafeHmenu(), nullptr);
    EXPECT_EQ(CMenu::FromHandlePermanent(hMenu), nullptr);
    EXPECT_TRUE(::IsMenu(hMenu)) << "Detach must not destroy the menu";
    EXPECT_TRUE(::DestroyMenu(hMenu));
}

TEST(CMenuOwnership, MoveDestroyMenuAndDestructorReleaseTheMenu) {
    CMenu source;
    ASSERT_TRUE(source.CreatePopupMenu());
    const HMENU hMenu = source.GetSafeHmenu();
    {
        CMenu target(std::move(source));
        EXPECT_EQ(source.GetSafeHmenu(), nullptr);
        EXPECT_EQ(target.GetSafeHmenu(), hMenu);
        EXPECT_EQ(CMenu::FromHandlePermanent(hMenu), &target);

        CMenu assigned;
        ASSERT_TRUE(assigned.CreateMenu());
        const HMENU replaced = assigned.GetSafeHmenu();
        assigned = std::move(target);
        EXPECT_FALSE(::IsMenu(replaced)) << "assignment releases the menu held before";
        EXPECT_EQ(CMenu::FromHandlePermanent(hMenu), &assigned);
    }
    EXPECT_FALSE(::IsMenu(hMenu)) << "the destructor releases the menu";
    EXPECT_EQ(CMenu::FromHandlePermanent(hMenu), nullptr);

    ASSERT_TRUE(source.CreateMenu());
    const HMENU again = source.GetSafeHmenu();
    EXPECT_TRUE(source.DestroyMenu());
    EXPECT_FALSE(::IsMenu(again));
    EXPECT_EQ(CMenu::FromHandlePermanent(again), nullptr);
    EXPECT_FALSE(source.DestroyMenu()) << "no menu left to destroy";
}

TEST(CMenuViews, TemporaryViewsNeverDestroyTheirMenu) {
    const HMENU hMenu = ::CreatePopupMenu();
    ASSERT_NE(hMenu, nullptr);
    CMenu* view = CMenu::FromHandle(hMenu);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->GetSafeHmenu(), hMenu);
    EXPECT_EQ(CMenu::FromHandle(hMenu), view) << "one view per handle";
    EXPECT_EQ(CMenu::FromHandlePermanent(hMenu), nullptr);
    EXPECT_EQ(CMenu::FromHandle(nullptr), nullptr);

    // Views are freed when their thread ends; the menu must outlive them.
    std::thread([hMenu] { ASSERT_NE(CMenu::FromHandle(hMenu), nullptr); }).join();
    EXPECT_TRUE(::IsMenu(hMenu));
    EXPECT_TRUE(::DestroyMenu(hMenu));
}

TEST(CMenuText, GetMenuStringGivesTheLengthAndClearsTheTextWhenThereIsNone) {
    CMenu menu;
    ASSERT_TRUE(menu.CreatePopupMenu());
    const char* const caption = "打开(&O)\tCtrl+O";
    ASSERT_EQ(std::strlen(caption), 15u) << "two GBK double-byte characters";
    ASSERT_TRUE(menu.AppendMenu(MF_STRING, 5, caption));
    ASSERT_TRUE(menu.AppendMenu(MF_STRING, 6, ""));
    struct Case {
        UINT item, flags;
        const char* expected;
    };
    for (const Case& c : {Case{5, MF_BYCOMMAND, caption}, Case{0, MF_BYPOSITION, caption},
                          Case{6, MF_BYCOMMAND, ""}, Case{99, MF_BYCOMMAND, ""}}) {
        SCOPED_TRACE(c.item);
        CString text("stale");
        EXPECT_EQ(menu.GetMenuString(c.item, text, c.flags),
                  static_cast<int>(std::strlen(c.expected)));
        EXPECT_EQ(text, c.expected);
    }
}

std::vector<void*> Contents(const CPtrArray& array) {
    std::vector<void*> out;
    for (INT_PTR i = 0; i < array.GetSize(); ++i)
        out.push_back(array[i]);
    return out;
}

TEST(CPtrArray, KeepsOrderThroughInsertsAndRemovals) {
    int a = 0, b = 0, c = 0, d = 0;
    CPtrArray array;
    EXPECT_TRUE(array.IsEmpty());
    EXPECT_EQ(array.Add(&a), 0);
    EXPECT_EQ(array.Add(&b), 1);
    EXPECT_EQ(array.Add(&a), 2) << "duplicates are kept";
    array.InsertAt(1, &c);
    EXPECT_EQ(Contents(array), (std::vector<void*>{&a, &c, &b, &a}));

    array.RemoveAt(0);
    EXPECT_EQ(Contents(array), (std::vector<void*>{&c, &b, &a}));
    array.SetAt(2, &d);
    array.RemoveAt(0, 2);
    EXPECT_EQ(Contents(array), (std::vector<void*>{&d}));

    CPtrArray more;
    more.Add(&a);
    more.Add(nullptr);
    EXPECT_EQ(array.Append(more), 1);
    EXPECT_EQ(Contents(array), (std::vector<void*>{&d, &a, nullptr}));
    EXPECT_EQ(more.GetSize(), 2);

    array.RemoveAll();
    EXPECT_TRUE(array.IsEmpty());
    EXPECT_EQ(array.GetSize(), 0);
}

// Creating again after deletion, adding icons and extracting a missing image
// are exercised through the shared glyph list.
TEST(CImageList, OneListPerObjectAndMoves) {
    CImageList list;
    ASSERT_TRUE(list.Create(16, 15, ILC_COLORDDB | ILC_MASK, 1, 1));
    int cx = 0, cy = 0;
    ASSERT_TRUE(::ImageList_GetIconSize(list.GetSafeHandle(), &cx, &cy));
    EXPECT_EQ(cx, 16);
    EXPECT_EQ(cy, 15);
    EXPECT_FALSE(list.Create(8, 8, ILC_COLOR, 1, 1)) << "one list per object";

    const HIMAGELIST handle = list.GetSafeHandle();
    CImageList target(std::move(list));
    EXPECT_EQ(list.GetSafeHandle(), nullptr);
    EXPECT_EQ(target.GetSafeHandle(), handle);
    CImageList assigned;
    assigned = std::move(target);
    EXPECT_EQ(target.GetSafeHandle(), nullptr);
    EXPECT_EQ(assigned.GetSafeHandle(), handle);

    EXPECT_TRUE(assigned.DeleteImageList());
    EXPECT_EQ(assigned.GetSafeHandle(), nullptr);
    EXPECT_FALSE(assigned.DeleteImageList());
}

// A 16 x 15 bitmap of one colour with a red square at (4, 4)-(8, 8).
CBitmap Glyph(CDC& dc, COLORREF background) {
    CBitmap bitmap;
    bitmap.CreateCompatibleBitmap(&dc, 16, 15);
    CDC memory;
    memory.CreateCompatibleDC(&dc);
    CSelectGuard select(memory, bitmap);
    memory.FillSolidRect(0, 0, 16, 15, background);
    memory.FillSolidRect(4, 4, 4, 4, RGB(255, 0, 0));
    return bitmap;
}

TEST(CImageList, MaskedImagesReplaceAndIcons) {
    const COLORREF key = RGB(0, 255, 0), magenta = RGB(255, 0, 255);
    DibCanvas canvas(16, 15, magenta);
    CImageList list;
    ASSERT_TRUE(list.Create(16, 15, ILC_COLORDDB | ILC_MASK, 1, 1));
    CBitmap first = Glyph(canvas.Dc(), key);
    EXPECT_EQ(list.Add(&first, key), 0);
    list.Draw(&canvas.Dc(), 0, CPoint(0, 0), ILD_TRANSPARENT);
    EXPECT_EQ(canvas.Pixel(0, 0), magenta) << "the mask colour is see-through";
    EXPECT_EQ(canvas.Pixel(5, 5), RGB(255, 0, 0));

    // Replaced with the key colour changed: blue stays, the new key goes.
    CBitmap second = Glyph(canvas.Dc(), RGB(0, 0, 255));
    EXPECT_TRUE(list.Replace(0, &second, RGB(255, 0, 0)));
    canvas.Fill(magenta);
    list.Draw(&canvas.Dc(), 0, CPoint(0, 0), ILD_TRANSPARENT);
    EXPECT_EQ(canvas.Pixel(0, 0), RGB(0, 0, 255));
    EXPECT_EQ(canvas.Pixel(5, 5), magenta);

    HICON icon = list.ExtractIcon(0);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(list.Add(icon), 1);
    EXPECT_TRUE(list.Replace(0, icon));
    EXPECT_FALSE(list.Replace(-1, icon));
    ::DestroyIcon(icon);
    EXPECT_EQ(list.GetImageCount(), 2);
    EXPECT_EQ(list.ExtractIcon(2), nullptr);
}

TEST(COffscreenDC, PaintsInTargetCoordinatesAndCopiesOnDestruction) {
    DibCanvas target(60, 40, RGB(0, 0, 0));
    const CRect area(10, 5, 50, 25);
    {
        COffscreenDC offscreen(&target.Dc(), area);
        offscreen.FillSolidRect(0, 0, 60, 40, RGB(0, 200, 0));
        offscreen.SetPixel(10, 5, RGB(255, 0, 0));
        offscreen.SetPixel(49, 24, RGB(0, 0, 255));
        EXPECT_EQ(target.Pixel(20, 10), RGB(0, 0, 0)) << "nothing on the target yet";
    }
    EXPECT_EQ(target.Pixel(10, 5), RGB(255, 0, 0));
    EXPECT_EQ(target.Pixel(49, 24), RGB(0, 0, 255));
    EXPECT_EQ(target.Pixel(30, 15), RGB(0, 200, 0));
    EXPECT_EQ(target.Count(CRect(0, 0, 60, 40), RGB(0, 0, 0)),
              60 * 40 - area.Width() * area.Height())
        << "only the rectangle is copied";
}

} // namespace
