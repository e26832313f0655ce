// Dispatch through message maps on real windows, reflection to controls, owner-drawn
// menu items reaching their menu object, and the window object owning its window.
#include "CButton.h"
#include "CMenu.h"
#include "framework_test_ids.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class MapParent : public CWnd {
  public:
    std::string calls;
    LRESULT OnFirst(WPARAM, LPARAM) { return calls += "first", 11; }
    LRESULT OnSecond(WPARAM, LPARAM) { return calls += "second", 22; }
    void OnRange(UINT id) { calls += "range " + std::to_string(id); }
    void OnDoubleClick() { calls += "double"; }
    void OnClicked() { calls += "clicked"; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(MapParent, CWnd)
ON_MESSAGE(WM_APP, &MapParent::OnFirst)
ON_MESSAGE(WM_APP, &MapParent::OnSecond)
ON_CONTROL(BN_DOUBLECLICKED, IDC_TEST_BUTTON1, &MapParent::OnDoubleClick)
ON_CONTROL_RANGE(BN_CLICKED, IDC_TEST_BUTTON1, IDC_TEST_BUTTON2, &MapParent::OnRange)
ON_BN_CLICKED(IDC_TEST_BUTTON3, &MapParent::OnClicked)
END_MESSAGE_MAP()

class MapDerived : public MapParent {
  public:
    LRESULT OnOwn(WPARAM, LPARAM) { return calls += "derived", 33; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(MapDerived, MapParent)
ON_MESSAGE(WM_APP + 1, &MapDerived::OnOwn)
END_MESSAGE_MAP()

class ReflectingButton : public CButton {
  public:
    BOOL handled = TRUE;
    int reflected = 0;
    BOOL OnReflectClick() { return ++reflected, handled; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ReflectingButton, CButton)
ON_CONTROL_REFLECT_EX(BN_CLICKED, &ReflectingButton::OnReflectClick)
END_MESSAGE_MAP()

class MapTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_parent.CreateEx(0, "STATIC", "parent", WS_POPUP, CRect(10, 10, 300, 200),
                                      nullptr, 0))
            << "no window: is an X display running?";
    }
    HWND Button(UINT id) {
        return ::CreateWindowExA(0, "BUTTON", "b", WS_CHILD | WS_VISIBLE, 0, 0, 40, 20,
                                 m_parent.m_hWnd, reinterpret_cast<HMENU>(UINT_PTR{id}),
                                 ::GetModuleHandleA(nullptr), nullptr);
    }
    MapDerived m_parent;
};

TEST_F(MapTest, FirstMatchingEntryOfTheTableOrItsBaseWins) {
    const UINT ids[] = {IDC_TEST_BUTTON1, IDC_TEST_BUTTON2, IDC_TEST_BUTTON3, IDC_TEST_BUTTON3 + 1};
    HWND controls[4];
    for (int i = 0; i < 4; ++i)
        controls[i] = Button(ids[i]);
    struct Case {
        UINT message;
        int control; // index into controls for WM_COMMAND
        UINT code;
        LRESULT result;
        const char* calls;
    } cases[] = {
        {WM_APP, 0, 0, 11, "first"},
        {WM_APP + 1, 0, 0, 33, "derived"},
        {WM_APP + 2, 0, 0, 0, ""},
        {WM_COMMAND, 0, BN_CLICKED, 0, "range 1003"},
        {WM_COMMAND, 1, BN_CLICKED, 0, "range 1004"},
        {WM_COMMAND, 0, BN_DOUBLECLICKED, 0, "double"},
        {WM_COMMAND, 2, BN_CLICKED, 0, "clicked"},
        {WM_COMMAND, 2, BN_DOUBLECLICKED, 0, ""},
        {WM_COMMAND, 3, BN_CLICKED, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.message << " " << c.control << " " << c.code);
        m_parent.calls.clear();
        const bool command = c.message == WM_COMMAND;
        EXPECT_EQ(m_parent.SendMessage(c.message, command ? MAKEWPARAM(ids[c.control], c.code) : 0,
                                       command ? reinterpret_cast<LPARAM>(controls[c.control]) : 0),
                  c.result);
        EXPECT_EQ(m_parent.calls, c.calls);
    }
}

// A reflected click handler that returns FALSE lets the parent's entry run as well.
TEST_F(MapTest, ControlGetsItsClickFirst) {
    for (BOOL handled : {TRUE, FALSE}) {
        ReflectingButton button;
        ASSERT_TRUE(button.SubclassWindow(Button(IDC_TEST_BUTTON3)));
        button.handled = handled;
        m_parent.calls.clear();
        button.SendMessage(BM_CLICK);
        EXPECT_EQ(button.reflected, 1);
        EXPECT_EQ(m_parent.calls, handled ? "" : "clicked");
    }
}

class RecordingMenu : public CMenu {
  public:
    int drawn = 0;
    void DrawItem(LPDRAWITEMSTRUCT) override { ++drawn; }
    void MeasureItem(LPMEASUREITEMSTRUCT item) override { item->itemHeight = 17; }
};

// A draw request names the menu; a measure request only the item's data.
TEST_F(MapTest, OwnerDrawnMenuItemsReachTheMenuThatHoldsThem) {
    RecordingMenu menu;
    ASSERT_TRUE(menu.CreatePopupMenu());
    int data = 0, unknown = 0;
    ASSERT_TRUE(menu.AppendMenu(MF_OWNERDRAW, 7, reinterpret_cast<LPCSTR>(&data)));
    for (int* itemData : {&data, &unknown}) {
        MEASUREITEMSTRUCT mis{ODT_MENU, 0, 7, 0, 0, reinterpret_cast<ULONG_PTR>(itemData)};
        EXPECT_EQ(m_parent.SendMessage(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&mis)),
                  itemData == &data);
        EXPECT_EQ(mis.itemHeight, itemData == &data ? 17u : 0u);
    }
    DRAWITEMSTRUCT dis{};
    dis.CtlType = ODT_MENU;
    dis.hwndItem = reinterpret_cast<HWND>(menu.GetSafeHmenu());
    dis.itemData = reinterpret_cast<ULONG_PTR>(&data);
    EXPECT_EQ(m_parent.SendMessage(WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&dis)), TRUE);
    EXPECT_EQ(menu.drawn, 1);
}

TEST_F(MapTest, TheObjectOwnsItsWindowAndForgetsOneDestroyedBehindIt) {
    HWND hWnd = m_parent.m_hWnd;
    EXPECT_EQ(CWnd::FromHandle(hWnd), &m_parent);
    ::DestroyWindow(hWnd);
    EXPECT_EQ(m_parent.m_hWnd, nullptr);
    EXPECT_EQ(CWnd::FromHandle(hWnd), nullptr);
    {
        CWnd owner;
        ASSERT_TRUE(owner.CreateEx(0, "STATIC", "", WS_POPUP, CRect(0, 0, 9, 9), nullptr, 0));
        hWnd = owner.m_hWnd;
    }
    EXPECT_FALSE(::IsWindow(hWnd));
    EXPECT_EQ(CWnd::FromHandle(hWnd), nullptr);
}

} // namespace
