// CRelayDlg from its template on a thread of its own; the test thread plays
// the user, the timer and the receive thread with the dialog's own messages.
#include "CRelayDlg.h"
#include "Deadline.h"
#include "LoopbackBoard.h"
#include "MessageBoxWatcher.h"
#include "TempDirectory.h"
#include "WaitFor.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <thread>

// Reads the colour slots, the look and the tooltip that the button keeps to itself.
class StyledButtonProbe {
  public:
    static COLORREF Slot(const CStyledButton& button, int slot) { return button.m_colors[slot]; }
    static BOOL Flat(const CStyledButton& button) { return button.m_bFlatLook; }
    static std::string Tip(const CStyledButton& button) {
        char text[128] = {};
        TTTOOLINFOA tool{};
        tool.cbSize = TTTOOLINFOA_V2_SIZE;
        tool.hwnd = button.m_hWnd;
        tool.uId = 1;
        tool.lpszText = text;
        ::SendMessageA(button.m_tip.m_hWnd, TTM_GETTEXTA, sizeof text,
                       reinterpret_cast<LPARAM>(&tool));
        return text;
    }
};

namespace {

class PanelUnderTest : public CRelayDlg {
  public:
    using CRelayDlg::m_btnAllOff, CRelayDlg::m_btnAllOn, CRelayDlg::m_btnChannel;
    using CRelayDlg::m_nPort, CRelayDlg::m_strIp;
    std::atomic<HWND> shown{nullptr};
    BOOL timerStarted = FALSE;
    std::atomic<int> markers{0}; // WM_NULL with kMarker seen by the dialog's own loop
    static constexpr LPARAM kMarker = 0x4B53;

    BOOL PreTranslateMessage(MSG* msg) override {
        if (msg->message == WM_NULL && msg->lParam == kMarker)
            ++markers;
        return CRelayDlg::PreTranslateMessage(msg);
    }

  protected:
    BOOL OnInitDialog() override {
        BOOL focus = CRelayDlg::OnInitDialog();
        timerStarted = ::KillTimer(m_hWnd, IDT_POLL); // the test ticks by hand
        shown = m_hWnd;
        return focus;
    }
};

Bytes Join(std::initializer_list<Bytes> frames) {
    Bytes all;
    for (const Bytes& frame : frames)
        all.insert(all.end(), frame.begin(), frame.end());
    return all;
}

const Bytes kQuery = {0x55, 0x01, 0x10, 0x00, 0x00, 0x00, 0x00, 0x66};
const Bytes kAllOn = {0x55, 0x01, 0x13, 0xFF, 0xFF, 0xFF, 0xFF, 0x65};
const Bytes kAllOff = {0x55, 0x01, 0x13, 0x00, 0x00, 0x00, 0x00, 0x69};
const char kOutOfRange[] = "“请填入一个在0和10000之间的整数。”";
const char kButtonTip[] = "点击按钮改变继电器状态";

// Y yellow face and unset, G green and on, R red and off, W white and unused;
// each with its text in the complement on all three slots, else '?'.
char Look(const CStyledButton& button) {
    const COLORREF face = StyledButtonProbe::Slot(button, SBC_FACE_NORMAL);
    const COLORREF text = RGB(255 - GetRValue(face), 255 - GetGValue(face), 255 - GetBValue(face));
    for (int slot = 0; slot < SBC_COUNT; ++slot)
        if (StyledButtonProbe::Slot(button, slot) != (slot % 2 ? text : face))
            return '?';
    const std::pair<COLORREF, BYTE> looks[] = {{RGB(255, 255, 0), CHANNEL_UNSET},
                                               {RGB(0, 255, 0), CHANNEL_ON},
                                               {RGB(255, 0, 0), CHANNEL_OFF},
                                               {RGB(255, 255, 255), CHANNEL_UNSET}};
    for (int i = 0; i < 4; ++i)
        if (looks[i] == std::make_pair(face, button.m_byOwnerValue))
            return "YGRW"[i];
    return '?';
}

class RelayDlgTest : public ::testing::Test {
  protected:
    void Start(const std::string& ini) {
        ASSERT_TRUE(directory.IsCurrent());
        ASSERT_TRUE(WriteWholeFile("canshu.ini", ini));
        CRelayDlg::s_nextButtonNumber = 0;
        dialog = std::make_unique<PanelUnderTest>();
        done = false;
        ui = std::thread([this] {
            result = dialog->DoModal();
            done = true;
        });
        ASSERT_TRUE(WaitFor([&] { return dialog->shown != nullptr; }));
        hwnd = dialog->shown;
    }
    void TearDown() override {
        if (!ui.joinable())
            return;
        CancelModalWaits(UiThread()); // the dialog, and a box a failed case left open
        WithinDeadline("the panel's end on a cancel", UiThread(), [&] { ui.join(); });
    }
    DWORD UiThread() { return ::GetWindowThreadProcessId(hwnd, nullptr); }
    std::string Local() {
        return "[canshu_v2]\r\nsocket_ip=127.0.0.1\r\nsocket_port=" + std::to_string(board.Port()) +
               "\r\n";
    }

    // Within a deadline: the dialog's thread may be stuck outside any message loop (in
    // a deadlock with its receive thread, say).
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        LRESULT result = 0;
        WithinDeadline("the dialog's answer to a message", UiThread(),
                       [&] { result = ::SendMessageA(hwnd, message, wParam, lParam); });
        return result;
    }
    LPARAM Item(int id) { return reinterpret_cast<LPARAM>(::GetDlgItem(hwnd, id)); }
    void Click(int id) { Send(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), Item(id)); }
    void Tick(int ticks) {
        while (ticks-- > 0)
            Send(WM_TIMER, IDT_POLL);
    }
    void Feed(const Bytes& bytes) {
        for (std::uint8_t b : bytes)
            Send(WM_RELAY_RXBYTE, static_cast<WPARAM>(static_cast<signed char>(b)), 1);
    }
    std::string Text(int id) {
        char text[64] = {};
        WithinDeadline("a box's text", UiThread(), [&] { ::GetDlgItemTextA(hwnd, id, text, 64); });
        return text;
    }
    std::string Channels() {
        std::string looks;
        for (const CStyledButton& button : dialog->m_btnChannel)
            looks += Look(button);
        return looks;
    }
    SeenMessageBox Connect(const std::function<void()>& whileOpen = {}) {
        ::PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDC_CONNECT, BN_CLICKED), Item(IDC_CONNECT));
        return AnswerMessageBox(20000, whileOpen);
    }
    // What the board has read on a connection, once that is at least size bytes.
    Bytes Wire(size_t size, size_t connection = 0) {
        WaitFor([&] { return board.Received(connection).size() >= size; });
        return board.Received(connection);
    }

    TempDirectory directory;
    LoopbackBoard board;
    std::unique_ptr<PanelUnderTest> dialog;
    std::thread ui;
    std::atomic<INT_PTR> result{0};
    std::atomic<bool> done{false};
    HWND hwnd = nullptr;
};

// A stored port is not checked against the typed range; one above 65535 is shown but
// not dialled: cut to 16 bits, it would reach whatever listens there (here, the board).
TEST_F(RelayDlgTest, StartUpShowsTheStoredValuesAndNumbersTheButtons) {
    const std::string noPort = std::to_string(board.Port() + 65536);
    const struct {
        std::string ini, port, caption3, caption18, connected;
        size_t connections; // at the board so far
    } cases[] = {
        {"[canshu_v2]\r\nsocket_ip=127.0.0.1\r\nsocket_port=" + noPort, noPort, "第3路", "第18路",
         "建立连接失败", 0},
        {Local() + "[canshu]\r\n按钮名称3=水泵\r\n按钮名称18=全关\r\n",
         std::to_string(board.Port()), "水泵", "全关", "建立连接成功", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ini);
        Start(c.ini);
        EXPECT_EQ(Text(IDC_IP), "127.0.0.1");
        EXPECT_EQ(Text(IDC_PORT), c.port);
        EXPECT_EQ(Channels(), std::string(16, 'Y'));
        EXPECT_EQ(std::string() + Look(dialog->m_btnAllOn) + Look(dialog->m_btnAllOff), "WW");
        for (int n = 1; n <= 18; ++n) {
            const int id = n <= 16 ? IDC_CHANNEL1 + n - 1 : n == 17 ? IDC_ALL_ON : IDC_ALL_OFF;
            const std::string numbered = "第" + std::to_string(n) + "路";
            EXPECT_EQ(Text(id), n == 3 ? c.caption3 : n == 18 ? c.caption18 : numbered);
            const CStyledButton& button = n <= 16   ? dialog->m_btnChannel[n - 1]
                                          : n == 17 ? dialog->m_btnAllOn
                                                    : dialog->m_btnAllOff;
            EXPECT_FALSE(StyledButtonProbe::Flat(button)) << n << ": the raised 3-D look";
            EXPECT_EQ(StyledButtonProbe::Tip(button), kButtonTip) << n;
        }
        EXPECT_TRUE(dialog->timerStarted);
        EXPECT_EQ(Connect().text, c.connected);
        EXPECT_EQ(board.ConnectionCount(), c.connections);
        TearDown();
    }
}

TEST_F(RelayDlgTest, ConnectWritesTheSettingsOnlyWhenChanged) {
    // A rewrite of the same port would drop its leading zero.
    Start("[canshu_v2]\r\nsocket_ip=127.0.0.1\r\nsocket_port=0" + std::to_string(board.Port()));
    const std::optional<std::string> file = ReadWholeFile("canshu.ini");
    size_t sentWhileOpen = 1;
    const SeenMessageBox connected = Connect([&] { sentWhileOpen = board.Received(0).size(); });
    EXPECT_EQ(connected.text, "建立连接成功");
    EXPECT_FALSE(connected.hasIcon);
    EXPECT_EQ(sentWhileOpen, 0u) << "the query waits for the message to be answered";
    EXPECT_EQ(Wire(8), kQuery);
    EXPECT_EQ(ReadWholeFile("canshu.ini"), file);

    // A changed value is stored before connecting, whether or not that succeeds (nothing
    // listens on port 0).
    WithinDeadline("typing port 0", UiThread(), [&] { ::SetDlgItemTextA(hwnd, IDC_PORT, "0"); });
    EXPECT_EQ(Connect().text, "建立连接失败");
    EXPECT_TRUE(WaitFor([&] { return board.Ended(0); })) << "the old link stayed open";
    EXPECT_NE(ReadWholeFile("canshu.ini")->find("socket_port=0\r\n"), std::string::npos);
}

TEST_F(RelayDlgTest, StatusFramesRecolourTheChannelsAndRewriteTheBoxes) {
    Start(Local());
    Feed({0x55, 0x01, 0x10, 0x00, 0x00, 0x80, 0x05, 0xEB});
    EXPECT_EQ(Channels(), "GRGRRRRRRRRRRRRG");
    EXPECT_EQ(std::string() + Look(dialog->m_btnAllOn) + Look(dialog->m_btnAllOff), "WW");

    dialog->m_strIp = "127.0.0.2";
    dialog->m_nPort = 4321;
    Feed({0x55, 0x01, 0x10, 0x00, 0x00, 0x00, 0x02, 0x69}); // checksum one off
    EXPECT_EQ(Channels(), "GRGRRRRRRRRRRRRG");
    EXPECT_EQ(Text(IDC_IP), "127.0.0.1");

    // Pauses of up to 9 ticks keep a partial frame, 10 drop it.
    const Bytes channel2 = {0x55, 0x01, 0x10, 0x00, 0x00, 0x00, 0x02, 0x68};
    Feed({channel2.begin(), channel2.begin() + 4});
    Tick(9);
    Feed({channel2.begin() + 4, channel2.end()});
    EXPECT_EQ(Channels(), "RGRRRRRRRRRRRRRR");
    EXPECT_EQ(Text(IDC_IP) + ":" + Text(IDC_PORT), "127.0.0.2:4321");
    Feed({kAllOn.begin(), kAllOn.begin() + 4});
    Tick(10);
    Feed({0x55, 0x01, 0x10, 0x00, 0x00, 0x80, 0x00, 0xE6});
    EXPECT_EQ(Channels(), "RRRRRRRRRRRRRRRG");
}

TEST_F(RelayDlgTest, TheQueryGoesOutOnceEvery20TicksWhileConnected) {
    Start(Local());
    CRelayDlg::s_pollTicks = 7;
    Tick(1);
    EXPECT_EQ(CRelayDlg::s_pollTicks, 0) << "not connected: the count starts again";
    Connect();
    Tick(19);
    Click(IDC_ALL_ON); // marks the place in the stream
    Tick(1);
    Tick(19);
    Click(IDC_ALL_OFF);
    Tick(1);
    EXPECT_EQ(Wire(40), Join({kQuery, kAllOn, kQuery, kAllOff, kQuery}));
}

TEST_F(RelayDlgTest, ClicksSendTheirFramesAndChangeNothingHere) {
    Start(Local());
    Connect();
    Click(IDC_CHANNEL5); // not yet known: off
    EXPECT_EQ(Channels(), std::string(16, 'Y'));
    Feed({0x55, 0x01, 0x10, 0x00, 0x00, 0x00, 0x04, 0x6A});
    for (int id : {IDC_CHANNEL3, IDC_CHANNEL2, IDC_CHANNEL16, IDC_REFRESH})
        Click(id);
    EXPECT_EQ(Channels(), "RRGRRRRRRRRRRRRR") << "the colour follows the next status frame";
    EXPECT_EQ(Wire(48), Join({kQuery,
                              {0x55, 0x01, 0x11, 0x00, 0x00, 0x00, 0x05, 0x6C},
                              {0x55, 0x01, 0x11, 0x00, 0x00, 0x00, 0x03, 0x6A},
                              {0x55, 0x01, 0x12, 0x00, 0x00, 0x00, 0x02, 0x6A},
                              {0x55, 0x01, 0x12, 0x00, 0x00, 0x00, 0x10, 0x78},
                              kQuery}));
}

// Only the low four bits of a system command may differ from the About item's id.
TEST_F(RelayDlgTest, TheAboutItemsFamilyOpensTheAboutBox) {
    Start(Local());
    for (WPARAM id : {16, 17}) {
        HWND about = nullptr;
        ::PostMessageA(hwnd, WM_SYSCOMMAND, id, 0);
        ASSERT_TRUE(WaitFor([&] { return (about = ::FindWindowA("#32770", "关于 Kestrel")); }))
            << id;
        ::PostMessageA(about, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(WaitFor([&] { return !::IsWindow(about); }));
    }
}

TEST_F(RelayDlgTest, EnterClosesTheDialogOnlyOnAValidPort) {
    Start(Local());
    std::thread typing([&] { ::SetDlgItemTextA(hwnd, IDC_PORT, "20000"); });
    EXPECT_EQ(AnswerMessageBox().text, kOutOfRange) << "every change reads the boxes";
    WithinDeadline("the typed port's range message", UiThread(), [&] { typing.join(); });
    ::PostMessageA(::GetDlgItem(hwnd, IDC_PORT), WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(AnswerMessageBox().text, kOutOfRange);
    // The box is gone; the dialog's own loop still takes a message posted after it.
    ::PostMessageA(hwnd, WM_NULL, 0, PanelUnderTest::kMarker);
    ASSERT_TRUE(WaitFor([&] { return dialog->markers > 0 || done; }));
    EXPECT_FALSE(done) << "the dialog closed after the range message";
    ::SetDlgItemTextA(hwnd, IDC_PORT, "10000");
    ::PostMessageA(::GetDlgItem(hwnd, IDC_PORT), WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_TRUE(WaitFor([&] { return done.load(); }));
    EXPECT_EQ(result, IDOK);
}

TEST_F(RelayDlgTest, AReconnectUsesTheNewLinkAndTheBoardMayEndIt) {
    Start(Local());
    Connect();
    Connect();
    EXPECT_EQ(Wire(8, 1), kQuery);
    board.Send(1, {0x55, 0x01, 0x10, 0x00, 0x00, 0x00, 0x01, 0x67});
    EXPECT_TRUE(WaitFor([&] { return Channels() == "GRRRRRRRRRRRRRRR"; }));

    board.Close(1);
    Tick(20); // still connected as far as the dialog knows
    EXPECT_EQ(Wire(16, 1), Join({kQuery, kQuery}));
    EXPECT_EQ(AnswerMessageBox(100).text, "");
    EXPECT_EQ(Channels(), "GRRRRRRRRRRRRRRR");
}

} // namespace
