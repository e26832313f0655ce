#include "CPtrArray.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

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

} // namespace
