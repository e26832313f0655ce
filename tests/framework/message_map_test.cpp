// Dispatch through message maps on real windows: table order, id ranges,
// notification codes, chaining to the base class, and reflection.
#include "CButton.h"
#include "CWnd.h"
#include "framework_test_ids.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

class MapParent : public CWnd {
  public:
    std::vector<std::string> calls;

    LRESULT OnFirst(WPARAM, LPARAM) {
        calls.push_back("first");
        return 11;
    }
    LRESULT OnSecond(WPARAM, LPARAM) {
        calls.push_back("second");
        return 22;
    }
    void OnRange(UINT id) { calls.push_back("range " + std::to_string(id)); }
    void OnDoubleClick() { calls.push_back("double"); }
    void OnClicked() { calls.push_back("clicked"); }

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
    LRESULT OnOwn(WPARAM, LPARAM) {
        calls.push_back("derived");
        return 33;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(MapDerived, MapParent)
ON_MESSAGE(WM_APP + 1, &MapDerived::OnOwn)
END_MESSAGE_MAP()

class ReflectingButton : public CButton {
  public:
    BOOL letParentHandle = FALSE;
    int reflected = 0;
    BOOL OnReflectClick() {
        ++reflected;
        return !letParentHandle;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ReflectingButton, CButton)
ON_CONTROL_REFLECT_EX(BN_CLICKED, &ReflectingButton::OnReflectClick)
END_MESSAGE_MAP()

const RECT kFrame{10, 10, 300, 200};

template <class Parent> std::unique_ptr<Parent> MakeParent() {
    auto parent = std::make_unique<Parent>();
    EXPECT_TRUE(parent->CreateEx(0, nullptr, "parent", WS_OVERLAPPEDWINDOW, kFrame, nullptr, 0));
    return parent;
}

HWND MakeButton(CWnd& parent, UINT id) {
    return ::CreateWindowExA(0, "BUTTON", "b", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 0, 0, 40, 20,
                             parent.m_hWnd, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                             ::GetModuleHandleA(nullptr), nullptr);
}

void SendCommand(CWnd& parent, HWND control, UINT code) {
    parent.SendMessage(WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(control), code),
                       reinterpret_cast<LPARAM>(control));
}

TEST(MessageMap, FirstMatchingEntryWins) {
    auto parent = MakeParent<MapParent>();
    EXPECT_EQ(parent->SendMessage(WM_APP), 11);
    EXPECT_EQ(parent->calls, std::vector<std::string>{"first"});
}

TEST(MessageMap, IdRangesAndNotificationCodes) {
    auto parent = MakeParent<MapParent>();
    HWND one = MakeButton(*parent, IDC_TEST_BUTTON1);
    HWND two = MakeButton(*parent, IDC_TEST_BUTTON2);
    HWND three = MakeButton(*parent, IDC_TEST_BUTTON3);
    HWND outside = MakeButton(*parent, IDC_TEST_BUTTON3 + 1);

    SendCommand(*parent, one, BN_CLICKED);
    SendCommand(*parent, two, BN_CLICKED);
    SendCommand(*parent, one, BN_DOUBLECLICKED);
    SendCommand(*parent, three, BN_CLICKED);
    SendCommand(*parent, three, BN_DOUBLECLICKED); // no entry for this code
    SendCommand(*parent, outside, BN_CLICKED);     // outside every range

    EXPECT_EQ(parent->calls,
              (std::vector<std::string>{"range 1003", "range 1004", "double", "clicked"}));
}

TEST(MessageMap, DerivedTableChainsToBase) {
    auto derived = MakeParent<MapDerived>();
    EXPECT_EQ(derived->SendMessage(WM_APP + 1), 33);
    EXPECT_EQ(derived->SendMessage(WM_APP), 11);
    EXPECT_EQ(derived->calls, (std::vector<std::string>{"derived", "first"}));
    // A message no table has goes to the default procedure.
    EXPECT_EQ(derived->SendMessage(WM_APP + 2), 0);
}

TEST(MessageMap, ReflectedClickReachesControlFirst) {
    for (BOOL letParent : {FALSE, TRUE}) {
        auto parent = MakeParent<MapParent>();
        ReflectingButton button;
        ASSERT_TRUE(button.SubclassWindow(MakeButton(*parent, IDC_TEST_BUTTON3)));
        button.letParentHandle = letParent;

        button.SendMessage(BM_CLICK); // a real click notification from the control

        EXPECT_EQ(button.reflected, 1);
        EXPECT_EQ(parent->calls.size(), letParent ? 1u : 0u) << "letParent " << letParent;
    }
}

TEST(MessageMap, HandleMapFindsObjectsAndViews) {
    auto parent = MakeParent<MapParent>();
    HWND plain = MakeButton(*parent, IDC_TEST_BUTTON1);
    EXPECT_EQ(CWnd::FromHandlePermanent(parent->m_hWnd), parent.get());
    EXPECT_EQ(CWnd::FromHandlePermanent(plain), nullptr);
    CWnd* view = CWnd::FromHandle(plain);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->m_hWnd, plain);
    EXPECT_EQ(CWnd::FromHandle(plain), view);

    HWND hWnd = parent->m_hWnd;
    parent.reset(); // the owner destroys its window
    EXPECT_FALSE(::IsWindow(hWnd));
    EXPECT_EQ(CWnd::FromHandlePermanent(hWnd), nullptr);
}

TEST(MessageMap, WindowDestroyedBehindTheObjectIsForgotten) {
    auto parent = MakeParent<MapParent>();
    HWND hWnd = parent->m_hWnd;
    ::DestroyWindow(hWnd);
    EXPECT_EQ(parent->m_hWnd, nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(hWnd), nullptr);
}

} // namespace
