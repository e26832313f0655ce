// The framework's own decisions on real windows: message-map dispatch and reflection,
// owner-drawn menu items, the modal loop, data exchange and colour changes.
#include "CButton.h"
#include "CDialog.h"
#include "CMenu.h"
#include "Deadline.h"
#include "MessageBoxWatcher.h"
#include "WorkerThread.h"
#include "framework_test_ids.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <string>

namespace {

constexpr UINT kIds[] = {IDC_TEST_BUTTON1, IDC_TEST_BUTTON2, IDC_TEST_BUTTON3,
                         IDC_TEST_BUTTON3 + 1};

class MapBase : public CWnd {
  public:
    std::string calls;
    LRESULT OnFirst(WPARAM, LPARAM) { return calls += "first", 11; }
    LRESULT OnSecond(WPARAM, LPARAM) { return calls += "second", 22; }
    void OnRange(UINT id) { calls += "range " + std::to_string(id); }
    void OnDoubleClick() { calls += "double"; }
    void OnClicked() { calls += "clicked"; }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(MapBase, CWnd)
ON_MESSAGE(WM_APP, &MapBase::OnFirst)
ON_MESSAGE(WM_APP, &MapBase::OnSecond)
ON_CONTROL(BN_DOUBLECLICKED, IDC_TEST_BUTTON1, &MapBase::OnDoubleClick)
ON_CONTROL_RANGE(BN_CLICKED, IDC_TEST_BUTTON1, IDC_TEST_BUTTON2, &MapBase::OnRange)
ON_BN_CLICKED(IDC_TEST_BUTTON3, &MapBase::OnClicked)
END_MESSAGE_MAP()

class MapDerived : public MapBase {
  public:
    LRESULT OnOwn(WPARAM, LPARAM) { return calls += "derived", 33; }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(MapDerived, MapBase)
ON_MESSAGE(WM_APP + 1, &MapDerived::OnOwn)
END_MESSAGE_MAP()

class ReflectingButton : public CButton {
  public:
    BOOL handled = TRUE;
    BOOL OnReflectClick() { return handled; }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(ReflectingButton, CButton)
ON_CONTROL_REFLECT_EX(BN_CLICKED, &ReflectingButton::OnReflectClick)
END_MESSAGE_MAP()

class RecordingMenu : public CMenu {
  public:
    int drawn = 0;
    void DrawItem(LPDRAWITEMSTRUCT) override { ++drawn; }
    void MeasureItem(LPMEASUREITEMSTRUCT item) override { item->itemHeight = 17; }
};

class MapTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_wnd.CreateEx(0, "STATIC", "", WS_POPUP, CRect(0, 0, 99, 99), nullptr, 0));
        for (int i = 0; i < 4; ++i)
            m_controls[i] =
                ::CreateWindowExA(0, "BUTTON", "", WS_CHILD | WS_VISIBLE, 0, 0, 9, 9, m_wnd.m_hWnd,
                                  reinterpret_cast<HMENU>(UINT_PTR{kIds[i]}), nullptr, nullptr);
    }
    MapDerived m_wnd;
    HWND m_controls[4] = {};
};

TEST_F(MapTest, FirstMatchingEntryOfTheTableOrItsBaseWins) {
    const struct {
        UINT message;
        int control, code;
        LRESULT result;
        const char* calls;
    } cases[] = {{WM_APP, 0, 0, 11, "first"},
                 {WM_APP + 1, 0, 0, 33, "derived"},
                 {WM_APP + 2, 0, 0, 0, ""},
                 {WM_COMMAND, 0, BN_CLICKED, 0, "range 1003"},
                 {WM_COMMAND, 1, BN_CLICKED, 0, "range 1004"},
                 {WM_COMMAND, 0, BN_DOUBLECLICKED, 0, "double"},
                 {WM_COMMAND, 2, BN_CLICKED, 0, "clicked"},
                 {WM_COMMAND, 2, BN_DOUBLECLICKED, 0, ""},
                 {WM_COMMAND, 3, BN_CLICKED, 0, ""}};
    for (const auto& c : cases) {
        m_wnd.calls.clear();
        const bool command = c.message == WM_COMMAND;
        EXPECT_EQ(m_wnd.SendMessage(c.message, command ? MAKEWPARAM(kIds[c.control], c.code) : 0,
                                    command ? reinterpret_cast<LPARAM>(m_controls[c.control]) : 0),
                  c.result);
        EXPECT_EQ(m_wnd.calls, c.calls) << c.message << " " << c.control << " " << c.code;
    }
}

// A reflected click handler that returns FALSE lets the parent's entry run as well.
TEST_F(MapTest, ControlGetsItsClickFirstAndTheObjectOwnsItsWindow) {
    {
        ReflectingButton button;
        ASSERT_TRUE(button.SubclassWindow(m_controls[2]));
        for (BOOL handled : {TRUE, FALSE}) {
            button.handled = handled;
            m_wnd.calls.clear();
            button.SendMessage(BM_CLICK);
            EXPECT_EQ(m_wnd.calls, handled ? "" : "clicked");
        }
    }
    EXPECT_FALSE(::IsWindow(m_controls[2])) << "the button object destroyed its window";
    ::DestroyWindow(m_wnd.m_hWnd);
    EXPECT_EQ(m_wnd.m_hWnd, nullptr) << "a window destroyed behind the object is forgotten";
}

// A draw request names the menu; a measure request only the item's data.
TEST_F(MapTest, OwnerDrawnMenuItemsReachTheMenuThatHoldsThem) {
    RecordingMenu menu;
    int data = 0, unknown = 0;
    ASSERT_TRUE(menu.CreatePopupMenu());
    ASSERT_TRUE(menu.AppendMenu(MF_OWNERDRAW, 7, reinterpret_cast<LPCSTR>(&data)));
    for (int* itemData : {&data, &unknown}) {
        MEASUREITEMSTRUCT mis{ODT_MENU, 0, 7, 0, 0, reinterpret_cast<ULONG_PTR>(itemData)};
        EXPECT_EQ(m_wnd.SendMessage(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&mis)),
                  itemData == &data);
        EXPECT_EQ(mis.itemHeight, itemData == &data ? 17u : 0u);
    }
    DRAWITEMSTRUCT dis{};
    dis.CtlType = ODT_MENU;
    dis.hwndItem = reinterpret_cast<HWND>(menu.GetSafeHmenu());
    dis.itemData = reinterpret_cast<ULONG_PTR>(&data);
    EXPECT_EQ(m_wnd.SendMessage(WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&dis)), TRUE);
    EXPECT_EQ(menu.drawn, 1);
}

constexpr UINT WM_TEST_STEP = WM_APP + 10, WM_TEST_FROM_WORKER = WM_APP + 11;

class RecordingButton : public CButton {
  public:
    std::string pretranslated;
    int colorChanges = 0;
    BOOL PreTranslateMessage(MSG* msg) override {
        pretranslated += msg->message == WM_LBUTTONUP   ? "up "
                         : msg->message == WM_MOUSEMOVE ? "move "
                                                        : "";
        if (msg->message == WM_LBUTTONUP) // what ends the modal loop's test
            ::PostMessageA(::GetParent(m_hWnd), WM_COMMAND, IDCANCEL, 0);
        return FALSE;
    }
    void OnSysColorChange() { ++colorChanges; }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(RecordingButton, CButton)
ON_WM_SYSCOLORCHANGE()
END_MESSAGE_MAP()

// Runs `step` inside its modal loop, then ends unless the step returns false.
class TestDialog : public CDialog {
  public:
    explicit TestDialog(std::function<bool(TestDialog&)> step)
        : CDialog(IDD_TEST_PORT), m_step(std::move(step)) {}
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
        if (m_step(*this))
            EndDialog(IDOK);
        return 0;
    }
    LRESULT OnFromWorker(WPARAM wParam, LPARAM) {
        workerHandledOn = ::GetCurrentThreadId();
        return static_cast<LRESULT>(wParam) * 2;
    }
    void OnChange(UINT) { ++changes; }
    std::function<bool(TestDialog&)> m_step;
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(TestDialog, CDialog)
ON_MESSAGE(WM_TEST_STEP, &TestDialog::OnStep)
ON_MESSAGE(WM_TEST_FROM_WORKER, &TestDialog::OnFromWorker)
ON_CONTROL_RANGE(EN_CHANGE, IDC_TEST_IP, IDC_TEST_PORT, &TestDialog::OnChange)
END_MESSAGE_MAP()

std::pair<DWORD, DWORD> Selection(HWND edit) {
    DWORD start = 0, end = 0;
    ::SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                   reinterpret_cast<LPARAM>(&end));
    return {start, end};
}

// Queued input reaches the target's PreTranslateMessage; a worker's SendMessage is
// handled on the dialog's thread while the loop waits. The loop ends on the button-up
// that the worker posts once answered, as its button pretranslates it.
TEST(ModalLoop, DeliversToPreTranslateMessageAndHandlesAWorkersSend) {
    static std::atomic<LRESULT> reply{0};
    TestDialog dialog([](TestDialog& d) {
        ::PostMessageA(d.m_button.m_hWnd, WM_MOUSEMOVE, 0, 0);
        AfxBeginThread(
            [](LPVOID hWnd) -> UINT {
                reply = ::SendMessageA(static_cast<HWND>(hWnd), WM_TEST_FROM_WORKER, 5, 0);
                return ::PostMessageA(::GetDlgItem(static_cast<HWND>(hWnd), IDC_TEST_BUTTON1),
                                      WM_LBUTTONUP, 0, 0);
            },
            d.m_hWnd);
        return false;
    });
    EXPECT_EQ(DoModalWithin(dialog, "the modal loop's end on a pretranslated button-up"), IDCANCEL);
    EXPECT_EQ(dialog.m_button.pretranslated, "move up ");
    EXPECT_EQ(dialog.workerHandledOn, ::GetCurrentThreadId());
    EXPECT_EQ(reply.load(), 10);
}

// A rejected port: the exact message (with the icon only for the range), focus and the
// whole text selected in the box, the member unchanged. Accepted ports saturate at 32 bits.
TEST(DataExchange, PortBoxValidation) {
    const char kNotANumber[] = "“请填入一个正整数。”",
               kRange[] = "“请填入一个在0和10000之间的整数。”";
    const struct {
        const char* text;
        const char* message;
        UINT value;
    } cases[] = {{"", kNotANumber, 77},   {"12ab", kNotANumber, 77}, {"1 2", kNotANumber, 77},
                 {"-5", kNotANumber, 77}, {"10001", kRange, 77},     {"99999999999", kRange, 77},
                 {" 42\t", nullptr, 42},  {"10000", nullptr, 10000}, {"0", nullptr, 0}};
    for (const auto& c : cases) {
        TestDialog dialog([&](TestDialog& d) {
            ::SetWindowTextA(d.Item(IDC_TEST_IP), "10.0.0.9");
            ::SetWindowTextA(d.Item(IDC_TEST_PORT), c.text);
            auto box = AnswerMessageBoxLater(c.message ? 20000 : 0);
            EXPECT_EQ(d.UpdateData(TRUE), c.message == nullptr) << c.text;
            if (!c.message)
                return true;
            const SeenMessageBox seen = box.get();
            EXPECT_EQ(seen.text, c.message);
            EXPECT_EQ(seen.caption, "framework_test");
            EXPECT_EQ(seen.hasIcon, c.message == kRange);
            EXPECT_EQ(::GetFocus(), d.Item(IDC_TEST_PORT));
            EXPECT_EQ(Selection(d.Item(IDC_TEST_PORT)),
                      std::make_pair(0ul, DWORD(std::strlen(c.text))));
            return true;
        });
        DoModalWithin(dialog, std::string("the port dialog's end for \"") + c.text + "\"");
        EXPECT_EQ(dialog.m_nPort, c.value) << c.text;
        EXPECT_EQ(dialog.m_strIp, "10.0.0.9");
    }
}

// Writing a box's own text again would move its caret; a new value still lands without
// a change notification. Colour changes sent to the dialog reach its controls.
TEST(DataExchange, WritesABoxOnlyWhenItsTextDiffers) {
    TestDialog dialog([](TestDialog& d) {
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
        d.SendMessage(WM_SYSCOLORCHANGE);
        return true;
    });
    DoModalWithin(dialog, "the data exchange dialog's end");
    EXPECT_EQ(dialog.m_button.colorChanges, 1);
}

} // namespace
