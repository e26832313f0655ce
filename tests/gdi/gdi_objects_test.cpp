// Ownership of the GDI wrappers: owners delete exactly once, views never do, and a long
// loop proves that nothing leaks (Wine's handle table holds about 65,000 objects).

#include "CBitmap.h"
#include "CBrush.h"
#include "CDC.h"
#include "CFont.h"
#include "CPen.h"
#include "CSelectGuard.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

constexpr int kLeakLoop = 70000;

bool Alive(HGDIOBJ h) {
    return ::GetObjectType(h) != 0;
}

struct BrushKind {
    using Type = CBrush;
    static bool Create(CBrush& b) { return b.CreateSolidBrush(RGB(1, 2, 3)); }
    static HGDIOBJ Raw() { return ::CreateSolidBrush(RGB(1, 2, 3)); }
    static DWORD ObjType() { return OBJ_BRUSH; }
};
struct PenKind {
    using Type = CPen;
    static bool Create(CPen& p) { return p.CreatePen(PS_SOLID, 1, RGB(4, 5, 6)); }
    static HGDIOBJ Raw() { return ::CreatePen(PS_SOLID, 1, RGB(4, 5, 6)); }
    static DWORD ObjType() { return OBJ_PEN; }
};
struct FontKind {
    using Type = CFont;
    static bool Create(CFont& f) { return f.CreateFont(-12, FW_NORMAL, "Tahoma"); }
    static HGDIOBJ Raw() {
        LOGFONTA lf{};
        lf.lfHeight = -12;
        return ::CreateFontIndirectA(&lf);
    }
    static DWORD ObjType() { return OBJ_FONT; }
};
struct BitmapKind {
    using Type = CBitmap;
    static bool Create(CBitmap& b) { return b.CreateBitmap(8, 8, 1, 1, nullptr); }
    static HGDIOBJ Raw() { return ::CreateBitmap(8, 8, 1, 1, nullptr); }
    static DWORD ObjType() { return OBJ_BITMAP; }
};

template <class Kind> class GdiOwnership : public ::testing::Test {};
using Kinds = ::testing::Types<BrushKind, PenKind, FontKind, BitmapKind>;
TYPED_TEST_SUITE(GdiOwnership, Kinds);

TYPED_TEST(GdiOwnership, OwnerDeletesOnDestruction) {
    HGDIOBJ h;
    {
        typename TypeParam::Type obj;
        ASSERT_TRUE(TypeParam::Create(obj));
        h = obj.GetSafeHandle();
        EXPECT_EQ(TypeParam::ObjType(), obj.GetObjectType());
        EXPECT_TRUE(obj.IsOwner());
    }
    EXPECT_FALSE(Alive(h));
}

// Views live until their thread ends; a thread of their own shows that ending them,
// or dropping one, leaves the object alone.
TYPED_TEST(GdiOwnership, ViewNeverDeletes) {
    using T = typename TypeParam::Type;
    using H = decltype(T().GetSafeHandle());
    HGDIOBJ h = TypeParam::Raw();
    ASSERT_NE(nullptr, h);
    std::thread([h] {
        T* view = T::FromHandle(static_cast<H>(h));
        ASSERT_NE(nullptr, view);
        EXPECT_FALSE(view->IsOwner());
        EXPECT_EQ(h, view->GetSafeHandle());
        EXPECT_EQ(view, T::FromHandle(static_cast<H>(h))) << "one view per handle";
        EXPECT_TRUE(view->DeleteObject());
        EXPECT_TRUE(Alive(h));
        EXPECT_EQ(h, T::FromHandle(static_cast<H>(h))->GetSafeHandle()) << "view re-pointed";
        EXPECT_EQ(nullptr, T::FromHandle(nullptr));
    }).join();
    EXPECT_TRUE(Alive(h));
    ::DeleteObject(h);
}

TYPED_TEST(GdiOwnership, MoveTransfersOwnershipOnce) {
    typename TypeParam::Type target;
    HGDIOBJ h;
    {
        typename TypeParam::Type source;
        ASSERT_TRUE(TypeParam::Create(source));
        h = source.GetSafeHandle();
        target = std::move(source);
        EXPECT_EQ(nullptr, source.GetSafeHandle());
    }
    EXPECT_TRUE(Alive(h));
    EXPECT_EQ(h, target.GetSafeHandle());
    target = typename TypeParam::Type();
    EXPECT_FALSE(Alive(h));
}

TYPED_TEST(GdiOwnership, AttachReleasesPreviousAndDetachHandsOver) {
    typename TypeParam::Type obj;
    ASSERT_TRUE(TypeParam::Create(obj));
    HGDIOBJ first = obj.GetSafeHandle();
    HGDIOBJ second = TypeParam::Raw();
    EXPECT_TRUE(obj.Attach(second));
    EXPECT_FALSE(Alive(first));
    EXPECT_EQ(second, obj.Detach());
    EXPECT_EQ(nullptr, obj.GetSafeHandle());
    EXPECT_FALSE(obj.IsOwner());
    EXPECT_TRUE(Alive(second));
    ::DeleteObject(second);
}

TEST(GdiObject, StockObjectIsHeldAsView) {
    HGDIOBJ stock = ::GetStockObject(BLACK_PEN);
    {
        CPen pen;
        ASSERT_TRUE(pen.CreateStockObject(BLACK_PEN));
        EXPECT_EQ(stock, pen.GetSafeHandle());
        EXPECT_FALSE(pen.IsOwner());
    }
    EXPECT_TRUE(Alive(stock));
}

TEST(GdiObject, SelectObjectReturnsAViewOfThePreviousObject) {
    CDC dc;
    ASSERT_TRUE(dc.CreateCompatibleDC(nullptr));
    HGDIOBJ original = ::GetCurrentObject(dc.GetSafeHdc(), OBJ_BITMAP);
    CBitmap bmp;
    ASSERT_TRUE(bmp.CreateBitmap(4, 4, 1, 1, nullptr));
    CBitmap* old = dc.SelectObject(&bmp);
    ASSERT_NE(nullptr, old);
    EXPECT_EQ(original, old->GetSafeHandle());
    EXPECT_FALSE(old->IsOwner());
    EXPECT_EQ(bmp.GetSafeHandle(), dc.SelectObject(old)->GetSafeHandle());
    CPen pen(PS_SOLID, 1, RGB(1, 1, 1));
    CPen* oldPen = dc.SelectObject(&pen);
    EXPECT_EQ(::GetStockObject(BLACK_PEN), oldPen->GetSafeHandle());
    dc.SelectObject(oldPen);
    EXPECT_TRUE(Alive(original));
}

TEST(DcOwnership, CreatedDcIsDeletedAndViewIsNot) {
    HDC created;
    {
        CDC dc;
        ASSERT_TRUE(dc.CreateCompatibleDC(nullptr));
        created = dc.GetSafeHdc();
        EXPECT_TRUE(dc.IsOwner());
    }
    EXPECT_FALSE(Alive(created));

    HDC raw = ::CreateCompatibleDC(nullptr);
    std::thread([raw] {
        CDC* view = CDC::FromHandle(raw);
        ASSERT_NE(nullptr, view);
        EXPECT_FALSE(view->IsOwner());
        EXPECT_EQ(raw, view->GetSafeHdc());
    }).join();
    EXPECT_TRUE(Alive(raw));
    CDC owner;
    owner.Attach(raw);
    CDC second = std::move(owner);
    EXPECT_EQ(nullptr, owner.GetSafeHdc());
    EXPECT_TRUE(second.DeleteDC());
    EXPECT_FALSE(Alive(raw));
}

// The premise of the leak loops below: one object leaked per iteration makes creation
// fail before the loop ends. The leaked objects are freed again afterwards.
TEST(GdiLeak, LeakingOnePerIterationExhaustsTheTable) {
    std::vector<HGDIOBJ> leaked;
    leaked.reserve(kLeakLoop);
    int failedAt = -1;
    for (int i = 0; i < kLeakLoop; ++i) {
        HGDIOBJ h = ::CreateSolidBrush(RGB(i & 0xFF, 0, 0));
        if (h == nullptr) {
            failedAt = i;
            break;
        }
        leaked.push_back(h);
    }
    for (HGDIOBJ h : leaked)
        ::DeleteObject(h);
    EXPECT_GE(failedAt, 0) << "the handle table did not run out within " << kLeakLoop;
    CBrush after;
    EXPECT_TRUE(after.CreateSolidBrush(RGB(1, 1, 1)));
}

TEST(GdiLeak, OwnersAndGuardsReleaseEverythingTheyHold) {
    int failures = 0;
    for (int i = 0; i < kLeakLoop && failures == 0; ++i) {
        CDC dc;
        CBitmap bmp;
        CBrush brush;
        CPen pen;
        CFont font;
        failures += !dc.CreateCompatibleDC(nullptr);
        failures += !bmp.CreateCompatibleBitmap(&dc, 4, 4);
        failures += !brush.CreateSolidBrush(RGB(i & 0xFF, 0, 0));
        failures += !pen.CreatePen(PS_SOLID, 1, RGB(0, i & 0xFF, 0));
        failures += !FontKind::Create(font);
        CSelectGuard selBmp(dc, bmp);
        CSelectGuard selBrush(dc, brush);
        CSelectGuard selPen(dc, pen);
        CSelectGuard selFont(dc, font);
        RECT rc{0, 0, 4, 4};
        dc.FillRect(&rc, &brush);
    }
    EXPECT_EQ(0, failures);
}

} // namespace
