// Data exchange on a real dialog: text and unsigned-number exchange, the port
// range check with its messages, focus and selection, and the lock-out of
// control notifications while values are written.
#include "CDialog.h"
#include "MessageBoxWatcher.h"
#include "framework_test_ids.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

class PortDialog : public CDialog {
  public:
    PortDialog() : CDialog(IDD_TEST_PORT) {}
    CString m_strIp;
    UINT m_nPort = 77;
    int changes = 0;

  protected:
    void DoDataExchange(CDataExchange* dx) override {
        DDX_Text(dx, IDC_TEST_IP, m_strIp);
        DDX_Text(dx, IDC_TEST_PORT, m_nPort);
        DDV_MinMaxUInt(dx, m_nPort, 0, 10000);
    }
    void OnChange() { ++changes; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(PortDialog, CDialog)
ON_EN_CHANGE(IDC_TEST_PORT, &PortDialog::OnChange)
ON_EN_CHANGE(IDC_TEST_IP, &PortDialog::OnChange)
END_MESSAGE_MAP()

const char kPositiveInteger[] = "“请填入一个正整数。”";
const char kRange[] = "“请填入一个在0和10000之间的整数。”";

struct Rejected {
    const char* portText;
    const char* message;
    bool icon;
};

TEST(DataExchange, RejectedPortShowsMessageKeepsValueAndSelectsBox) {
    const Rejected cases[] = {
        {"", kPositiveInteger, false},     {"-5", kPositiveInteger, false},
        {"12ab", kPositiveInteger, false}, {"ab", kPositiveInteger, false},
        {"1 2", kPositiveInteger, false},  {"10001", kRange, true},
        {"99999999999", kRange, true},
    };
    for (const Rejected& c : cases) {
        SCOPED_TRACE(c.portText);
        PortDialog dialog;
        ASSERT_TRUE(dialog.Create());
        ::SetDlgItemTextA(dialog.m_hWnd, IDC_TEST_IP, "10.0.0.9");
        ::SetDlgItemTextA(dialog.m_hWnd, IDC_TEST_PORT, c.portText);
        dialog.m_nPort = 77;

        MessageBoxWatcher watcher;
        EXPECT_FALSE(dialog.UpdateData(TRUE));
        ASSERT_TRUE(watcher.WaitForCount(1));

        auto seen = watcher.Seen();
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].text, c.message);
        EXPECT_EQ(seen[0].caption, "framework_test");
        EXPECT_EQ(seen[0].hasIcon, c.icon);
        EXPECT_EQ(dialog.m_nPort, 77u);
        EXPECT_STREQ(dialog.m_strIp, "10.0.0.9"); // the address is exchanged first
        HWND port = ::GetDlgItem(dialog.m_hWnd, IDC_TEST_PORT);
        EXPECT_EQ(::GetFocus(), port);
        DWORD start = 0, end = 0;
        ::SendMessageA(port, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                       reinterpret_cast<LPARAM>(&end));
        EXPECT_EQ(start, 0u);
        EXPECT_EQ(end, static_cast<DWORD>(std::strlen(c.portText)));
        dialog.DestroyWindow();
    }
}

TEST(DataExchange, AcceptedPorts) {
    const std::pair<const char*, UINT> cases[] = {
        {"0", 0}, {" 42\t", 42}, {"10000", 10000}, {"007", 7}};
    for (auto [text, expected] : cases) {
        PortDialog dialog;
        ASSERT_TRUE(dialog.Create());
        ::SetDlgItemTextA(dialog.m_hWnd, IDC_TEST_PORT, text);
        EXPECT_TRUE(dialog.UpdateData(TRUE)) << text;
        EXPECT_EQ(dialog.m_nPort, expected) << text;
        dialog.DestroyWindow();
    }
}

TEST(DataExchange, WritingValuesCausesNoChangeNotification) {
    PortDialog dialog;
    ASSERT_TRUE(dialog.Create());
    dialog.m_strIp = "127.0.0.1";
    dialog.m_nPort = 6000;
    dialog.changes = 0;
    EXPECT_TRUE(dialog.UpdateData(FALSE));
    EXPECT_EQ(dialog.changes, 0);
    char text[32] = {};
    ::GetDlgItemTextA(dialog.m_hWnd, IDC_TEST_PORT, text, sizeof text);
    EXPECT_STREQ(text, "6000");
    ::GetDlgItemTextA(dialog.m_hWnd, IDC_TEST_IP, text, sizeof text);
    EXPECT_STREQ(text, "127.0.0.1");

    // The same change outside an exchange does reach the dialog.
    ::SetDlgItemTextA(dialog.m_hWnd, IDC_TEST_PORT, "6001");
    EXPECT_EQ(dialog.changes, 1);
    dialog.DestroyWindow();
}

TEST(DataExchange, ParseUnsigned) {
    UINT value = 5;
    EXPECT_TRUE(ParseUnsigned("4294967295", value));
    EXPECT_EQ(value, 4294967295u);
    EXPECT_TRUE(ParseUnsigned("4294967296", value)); // saturates instead of wrapping
    EXPECT_EQ(value, 4294967295u);
    EXPECT_TRUE(ParseUnsigned("42949672960005", value));
    EXPECT_EQ(value, 4294967295u);
    EXPECT_FALSE(ParseUnsigned("+1", value));
    EXPECT_FALSE(ParseUnsigned(" ", value));
}

} // namespace
