// Dialogs from real templates, run by the framework's modal loop.
#include "CButton.h"
#include "CDialog.h"
#include "WorkerThread.h"
#include "framework_test_ids.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

namespace {

constexpr UINT WM_TEST_STEP = WM_APP + 10;
constexpr UINT WM_TEST_FROM_WORKER = WM_APP + 11;

class CountingButton : public CButton {
  public:
    int subclassed = 0;
    std::vector<UINT> pretranslated;

    BOOL PreTranslateMessage(MSG* msg) override {
        if (msg->message >= WM_MOUSEFIRST && msg->message <= WM_MOUSELAST)
            pretranslated.push_back(msg->message);
        return CButton::PreTranslateMessage(msg);
    }

  protected:
    void PreSubclassWindow() override { ++subclassed; }
};

class TestDialog : public CDialog {
  public:
    TestDialog() : CDialog(IDD_TEST_PORT) {}

    CountingButton m_button;
    int exchanges = 0;
    DWORD uiThread = 0;
    DWORD handledOnThread = 0;
    std::atomic<LRESULT> workerReply{0};
    enum class Scenario { Stay, MouseToChild, WorkerSend, EndAtOnce } scenario = Scenario::Stay;

  protected:
    void DoDataExchange(CDataExchange* dx) override {
        ++exchanges;
        DDX_Control(dx, IDC_TEST_BUTTON1, m_button);
    }

    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        uiThread = ::GetCurrentThreadId();
        switch (scenario) {
        case Scenario::MouseToChild:
            // Queued input for the child, then a step that ends the dialog.
            ::PostMessageA(m_button.m_hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
            ::PostMessageA(m_button.m_hWnd, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
            PostMessage(WM_TEST_STEP);
            break;
        case Scenario::WorkerSend:
            AfxBeginThread(&TestDialog::Worker, this);
            break;
        case Scenario::EndAtOnce:
            EndDialog(IDOK + 40);
            break;
        case Scenario::Stay:
            break;
        }
        return TRUE;
    }

    static UINT Worker(LPVOID param) {
        auto* dialog = static_cast<TestDialog*>(param);
        // Synchronous: the modal loop must deliver it while it waits.
        dialog->workerReply = ::SendMessageA(dialog->m_hWnd, WM_TEST_FROM_WORKER, 5, 1);
        ::PostMessageA(dialog->m_hWnd, WM_COMMAND, IDCANCEL, 0);
        return 0;
    }

    LRESULT OnStep(WPARAM, LPARAM) {
        EndDialog(IDOK);
        return 0;
    }

    LRESULT OnFromWorker(WPARAM wParam, LPARAM) {
        handledOnThread = ::GetCurrentThreadId();
        return static_cast<LRESULT>(wParam) * 2;
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(TestDialog, CDialog)
ON_MESSAGE(WM_TEST_STEP, &TestDialog::OnStep)
ON_MESSAGE(WM_TEST_FROM_WORKER, &TestDialog::OnFromWorker)
END_MESSAGE_MAP()

TEST(Dialog, ModalLoopOffersMouseMessagesToTheTargetWindow) {
    TestDialog dialog;
    dialog.scenario = TestDialog::Scenario::MouseToChild;
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.m_button.pretranslated, (std::vector<UINT>{WM_MOUSEMOVE, WM_LBUTTONUP}));
    EXPECT_EQ(dialog.m_hWnd, nullptr); // the window is gone after DoModal
}

TEST(Dialog, MessageSentFromWorkerIsHandledOnUiThreadDuringModalLoop) {
    TestDialog dialog;
    dialog.scenario = TestDialog::Scenario::WorkerSend;
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(dialog.handledOnThread, dialog.uiThread);
    EXPECT_EQ(dialog.workerReply.load(), 10);
}

TEST(Dialog, EndDialogDuringInitReturnsItsResult) {
    TestDialog dialog;
    dialog.scenario = TestDialog::Scenario::EndAtOnce;
    EXPECT_EQ(dialog.DoModal(), IDOK + 40);
}

TEST(Dialog, BoundControlIsSubclassedOnceAndPreSubclassWindowRuns) {
    TestDialog dialog;
    ASSERT_TRUE(dialog.Create());
    EXPECT_EQ(dialog.exchanges, 1); // OnInitDialog's UpdateData(FALSE)
    ASSERT_NE(dialog.m_button.m_hWnd, nullptr);
    WNDPROC proc =
        reinterpret_cast<WNDPROC>(::GetWindowLongPtrA(dialog.m_button.m_hWnd, GWLP_WNDPROC));

    EXPECT_TRUE(dialog.UpdateData(FALSE));
    EXPECT_TRUE(dialog.UpdateData(TRUE));
    EXPECT_EQ(dialog.m_button.subclassed, 1);
    EXPECT_EQ(reinterpret_cast<WNDPROC>(::GetWindowLongPtrA(dialog.m_button.m_hWnd, GWLP_WNDPROC)),
              proc);
    EXPECT_EQ(CWnd::FromHandlePermanent(::GetDlgItem(dialog.m_hWnd, IDC_TEST_BUTTON1)),
              &dialog.m_button);
    dialog.DestroyWindow();
    EXPECT_EQ(dialog.m_button.m_hWnd, nullptr); // children detach as they go
}

} // namespace
