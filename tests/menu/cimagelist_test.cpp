#include "CImageList.h"
#include "DibCanvas.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

TEST(CImageList, CreateOnceDeleteOnce) {
    CImageList list;
    EXPECT_EQ(list.GetSafeHandle(), nullptr);
    ASSERT_TRUE(list.Create(16, 15, ILC_COLORDDB | ILC_MASK, 1, 1));
    int cx = 0, cy = 0;
    ASSERT_TRUE(::ImageList_GetIconSize(list.GetSafeHandle(), &cx, &cy));
    EXPECT_EQ(cx, 16);
    EXPECT_EQ(cy, 15);
    EXPECT_EQ(list.GetImageCount(), 0);
    EXPECT_FALSE(list.Create(8, 8, ILC_COLOR, 1, 1)) << "one list per object";

    EXPECT_TRUE(list.DeleteImageList());
    EXPECT_EQ(list.GetSafeHandle(), nullptr);
    EXPECT_FALSE(list.DeleteImageList());
    EXPECT_TRUE(list.Create(8, 8, ILC_COLOR, 1, 1)) << "usable again after deletion";
}

TEST(CImageList, MoveHandsOverTheList) {
    CImageList source;
    ASSERT_TRUE(source.Create(16, 15, ILC_COLORDDB | ILC_MASK, 1, 1));
    const HIMAGELIST handle = source.GetSafeHandle();
    CImageList target(std::move(source));
    EXPECT_EQ(source.GetSafeHandle(), nullptr);
    EXPECT_EQ(target.GetSafeHandle(), handle);

    CImageList assigned;
    assigned = std::move(target);
    EXPECT_EQ(target.GetSafeHandle(), nullptr);
    EXPECT_EQ(assigned.GetSafeHandle(), handle);
    EXPECT_EQ(assigned.GetImageCount(), 0);
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
    EXPECT_EQ(list.ExtractIcon(-1), nullptr);
}

} // namespace
