// Dialogs from a real template run by the framework's modal loop: what the loop
// delivers, data exchange with its validation, and system colour changes passed on.
#include "CButton.h"
#include "CDialog.h"
#include "MessageBoxWatcher.h"
#include "WorkerThread.h"
#include "framework_test_ids.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <vector>

namespace {

constexpr UINT WM_TEST_STEP = WM_APP + 10;
constexpr UINT WM_TEST_FROM_WORKER = WM_APP + 11;

class RecordingButton : public CButton {
  public:
    std::vector<UINT> pretranslated;
    int colorChanges = 0;
    BOOL PreTranslateMessage(MSG* msg) override {
        if (msg->message >= WM_MOUSEFIRST && msg->message <= WM_MOUSELAST)
            pretranslated.push_back(msg->message);
        return FALSE;
    }
    void OnSysColorChange() { ++colorChanges; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(RecordingButton, CButton)
ON_WM_SYSCOLORCHANGE()
END_MESSAGE_MAP()

// Runs `step` inside its modal loop; the dialog ends after it unless it returns false.
class TestDialog : public CDialog {
  public:
    TestDialog() : CDialog(IDD_TEST_PORT) {}
    std::function<bool(TestDialog&)> step;
    RecordingButton m_button;
    CString m_strIp;
    UINT m_nPort = 77;
    int changes = 0;
    DWORD workerHandledOn = 0;

    HWND Item(int id) const { return ::GetDlgItem(m_hWnd, id); }

  protected:
    void DoDataExchange(CDataExchange* dx) override {
        DDX_Control(dx, IDC_TEST_BUTTON1, m_button);
        DDX_Text(dx, IDC_TEST_IP, m_strIp);
        DDX_Text(dx, IDC_TEST_PORT, m_nPort);
        DDV_MinMaxUInt(dx, m_nPort, 0, 10000);
    }
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        ::PostMessageA(m_hWnd, WM_TEST_STEP, 0, 0);
        return TRUE;
    }
    LRESULT OnStep(WPARAM, LPARAM) {
        if (step(*this))
            EndDialog(IDOK);
        return 0;
    }
    LRESULT OnFromWorker(WPARAM wParam, LPARAM) {
        workerHandledOn = ::GetCurrentThreadId();
        return static_cast<LRESULT>(wParam) * 2;
    }
    void OnChange() { ++changes; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(TestDialog, CDialog)
ON_MESSAGE(WM_TEST_STEP, &TestDialog::OnStep)
ON_MESSAGE(WM_TEST_FROM_WORKER, &TestDialog::OnFromWorker)
ON_EN_CHANGE(IDC_TEST_PORT, &TestDialog::OnChange)
ON_EN_CHANGE(IDC_TEST_IP, &TestDialog::OnChange)
END_MESSAGE_MAP()

INT_PTR RunModal(TestDialog& dialog, std::function<bool(TestDialog&)> step) {
    dialog.step = std::move(step);
    return dialog.DoModal();
}

std::pair<DWORD, DWORD> Selection(HWND edit) {
    DWORD start = 0, end = 0;
    ::SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                   reinterpret_cast<LPARAM>(&end));
    return {start, end};
}

TEST(ModalLoop, OffersQueuedInputToTheTargetsPreTranslateMessage) {
    TestDialog dialog;
    EXPECT_EQ(RunModal(dialog,
                  [steps = 0](TestDialog& d) mutable {
                      if (steps++ > 0)
                          return true; // after the queued input
                      ::PostMessageA(d.m_button.m_hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
                      ::PostMessageA(d.m_button.m_hWnd, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
                      ::PostMessageA(d.m_hWnd, WM_TEST_STEP, 0, 0);
                      return false;
                  }),
              IDOK);
    EXPECT_EQ(dialog.m_button.pretranslated, (std::vector<UINT>{WM_MOUSEMOVE, WM_LBUTTONUP}));
    EXPECT_EQ(dialog.m_hWnd, nullptr);
}

TEST(ModalLoop, HandlesAWorkersSendMessageOnItsOwnThread) {
    TestDialog dialog;
    static std::atomic<LRESULT> reply{0};
    EXPECT_EQ(RunModal(dialog,
                  [](TestDialog& d) {
                      AfxBeginThread(
                          [](LPVOID hWnd) -> UINT {
                              HWND dialogWnd = static_cast<HWND>(hWnd);
                              reply = ::SendMessageA(dialogWnd, WM_TEST_FROM_WORKER, 5, 0);
                              ::PostMessageA(dialogWnd, WM_COMMAND, IDCANCEL, 0);
                              return 0;
                          },
                          d.m_hWnd);
                      return false;
                  }),
              IDCANCEL);
    EXPECT_EQ(dialog.workerHandledOn, ::GetCurrentThreadId());
    EXPECT_EQ(reply.load(), 10);
}

TEST(DataExchange, RejectedPortTellsWhyKeepsTheValueAndSelectsTheBox) {
    const char kNotANumber[] = "“请填入一个正整数。”";
    const char kOutOfRange[] = "“请填入一个在0和10000之间的整数。”";
    const struct {
        const char* port;
        const char* message;
        bool icon;
    } cases[] = {{"", kNotANumber, false},      {"12ab", kNotANumber, false},
                 {"1 2", kNotANumber, false},   {"-5", kNotANumber, false},
                 {"10001", kOutOfRange, true}, {"99999999999", kOutOfRange, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.port);
        TestDialog dialog;
        RunModal(dialog, [&](TestDialog& d) {
            ::SetWindowTextA(d.Item(IDC_TEST_IP), "10.0.0.9");
            ::SetWindowTextA(d.Item(IDC_TEST_PORT), c.port);
            MessageBoxWatcher watcher;
            EXPECT_FALSE(d.UpdateData(TRUE));
            EXPECT_TRUE(watcher.WaitForCount(1));
            auto seen = watcher.Seen();
            EXPECT_EQ(seen.size(), 1u);
            EXPECT_EQ(seen.at(0).text, c.message);
            EXPECT_EQ(seen.at(0).caption, "framework_test");
            EXPECT_EQ(seen.at(0).hasIcon, c.icon);
            EXPECT_EQ(::GetFocus(), d.Item(IDC_TEST_PORT));
            EXPECT_EQ(Selection(d.Item(IDC_TEST_PORT)), std::make_pair(0ul, DWORD(std::strlen(c.port))));
            return true;
        });
        EXPECT_EQ(dialog.m_nPort, 77u);
        EXPECT_EQ(dialog.m_strIp, "10.0.0.9") << "the address is exchanged first";
    }
}

TEST(DataExchange, AcceptedPortsSaturateBeyond32Bits) {
    for (auto [text, expected] : {std::pair<const char*, UINT>{"0", 0}, {" 42\t", 42},
                                  {"10000", 10000}, {"007", 7}}) {
        TestDialog dialog;
        RunModal(dialog, [&](TestDialog& d) {
            ::SetWindowTextA(d.Item(IDC_TEST_PORT), text);
            EXPECT_TRUE(d.UpdateData(TRUE)) << text;
            return true;
        });
        EXPECT_EQ(dialog.m_nPort, expected) << text;
    }
    UINT value = 0;
    EXPECT_TRUE(ParseUnsigned("42949672960005", value));
    EXPECT_EQ(value, 4294967295u);
}

// Writing a box's own text again would move its caret; a new value still lands, and
// writing causes no change notification.
TEST(DataExchange, WritesABoxOnlyWhenItsTextDiffers) {
    TestDialog dialog;
    RunModal(dialog, [](TestDialog& d) {
        for (int id : {IDC_TEST_IP, IDC_TEST_PORT}) {
            d.m_strIp = "127.0.0.1";
            d.m_nPort = 6000;
            EXPECT_TRUE(d.UpdateData(FALSE));
            ::SendMessageA(d.Item(id), EM_SETSEL, 1, 3);
            EXPECT_TRUE(d.UpdateData(FALSE));
            EXPECT_EQ(Selection(d.Item(id)), std::make_pair(1ul, 3ul)) << id;
            d.m_strIp = "10.1.1.1";
            d.m_nPort = 600;
            d.changes = 0;
            EXPECT_TRUE(d.UpdateData(FALSE));
            EXPECT_EQ(WindowText(d.Item(id)), id == IDC_TEST_IP ? "10.1.1.1" : "600");
            EXPECT_EQ(d.changes, 0);
        }
        return true;
    });
}

TEST(Dialog, PassesSystemColourChangesToItsControls) {
    TestDialog dialog;
    RunModal(dialog, [](TestDialog& d) {
        d.SendMessage(WM_SYSCOLORCHANGE);
        EXPECT_EQ(d.m_button.colorChanges, 1);
        return true;
    });
}

} // namespace
