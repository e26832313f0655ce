#include "CImageList.h"

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

} // namespace
