// The framework's tooltip control over a real window.

#include "CToolTipCtrl.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

class ToolTip : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_owner.CreateEx(0, "STATIC", "owner", WS_POPUP | WS_VISIBLE,
                                     CRect(10, 10, 110, 60), nullptr, 0))
            << "no window: is an X display running?";
    }

    std::string Text(UINT_PTR id, RECT* rect) {
        char text[INFOTIPSIZE] = {};
        return m_tip->GetToolInfo(&m_owner, id, text, sizeof(text), rect) ? text : "<none>";
    }

    CWnd m_owner;
    std::unique_ptr<CToolTipCtrl> m_tip = std::make_unique<CToolTipCtrl>();
};

// A popup of the tooltip class owned by the window; tools kept apart by id; the object
// destroys its window.
TEST_F(ToolTip, PopupOwnedByTheWindowKeepsItsToolsApart) {
    ASSERT_TRUE(m_tip->Create(&m_owner));
    char cls[64] = {};
    ::GetClassNameA(m_tip->m_hWnd, cls, sizeof(cls));
    EXPECT_STREQ(TOOLTIPS_CLASSA, cls);
    EXPECT_TRUE(m_tip->GetStyle() & WS_POPUP);
    EXPECT_EQ(m_owner.m_hWnd, ::GetWindow(m_tip->m_hWnd, GW_OWNER));

    EXPECT_EQ(0, m_tip->GetToolCount());
    const RECT left{0, 0, 50, 50}, right{50, 0, 100, 50};
    ASSERT_TRUE(m_tip->AddTool(&m_owner, "左边", &left, 1));
    ASSERT_TRUE(m_tip->AddTool(&m_owner, "right", &right, 2));
    EXPECT_EQ(2, m_tip->GetToolCount());
    m_tip->UpdateTipText("新的", &m_owner, 1);
    RECT rc{};
    EXPECT_EQ("新的", Text(1, &rc));
    EXPECT_TRUE(::EqualRect(&rc, &left));
    EXPECT_EQ("right", Text(2, &rc));
    EXPECT_TRUE(::EqualRect(&rc, &right));
    EXPECT_EQ("<none>", Text(3, &rc));

    HWND hTip = m_tip->m_hWnd;
    m_tip.reset();
    EXPECT_FALSE(::IsWindow(hTip));
}

} // namespace
