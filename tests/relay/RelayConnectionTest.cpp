// The board link over real loopback TCP against an in-test listener.
#include "RelayLinkFixture.h"

#include <atomic>

namespace {

using RelayConnectionTest = RelayLinkTest;

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

const Bytes kChannel1On = {0x55, 0x01, 0x12, 0x00, 0x00, 0x00, 0x01, 0x69};

// The query goes out only once the success message has been answered, however long that
// takes; a reconnect closes the old link and sends one query on the new one; a failed one
// closes it too, and nothing can be sent after.
TEST_F(RelayConnectionTest, MessageThenQueryAndReconnectClosesTheOldLink) {
    EXPECT_EQ(dialog.SendFrame(0x01, RELAY_CMD_QUERY, 0, 0, 0, 0), SOCKET_ERROR) << "no socket";
    LoopbackListener& board = Listen();
    ASSERT_TRUE(board.IsListening()) << board.Failure();
    watcher.HoldEachBoxFor(200);
    std::atomic<int> boxesAnsweredAtQuery[2] = {-1, -1};
    std::atomic<bool> boxOpenAtQuery[2] = {true, true};
    board.OnFirstFrame([&](size_t i) {
        if (i < 2) {
            boxesAnsweredAtQuery[i] = static_cast<int>(watcher.Seen().size());
            boxOpenAtQuery[i] = FindMessageBox() != nullptr;
        }
    });

    dialog.OnConnect();
    EXPECT_EQ(dialog.m_bConnected, 1);
    ASSERT_TRUE(WaitFor([&] { return board.Received(0).size() >= 8; }));
    dialog.OnConnect();
    EXPECT_TRUE(WaitFor([&] { return board.Ended(0); })) << "the old connection stayed open";
    ASSERT_EQ(board.ConnectionCount(), 2u);
    // A marker sent after the connect shows that nothing but one query came before it.
    ASSERT_TRUE(WaitFor([&] { return board.Received(1).size() >= 8; }));
    dialog.SendFrame(0x01, RELAY_CMD_ON, 0, 0, 0, 1);
    ASSERT_TRUE(WaitFor([&] { return board.Received(1).size() >= 16; }));
    EXPECT_EQ(board.Received(1), Join({kQuery, kChannel1On}));
    EXPECT_EQ(board.Received(0), kQuery);
    for (int i : {0, 1}) {
        EXPECT_EQ(boxesAnsweredAtQuery[i], i + 1) << "connection " << i;
        EXPECT_FALSE(boxOpenAtQuery[i]) << "connection " << i;
    }

    dialog.m_nPort = ClosedLoopbackPort();
    dialog.OnConnect();
    EXPECT_EQ(dialog.m_bConnected, 0);
    EXPECT_TRUE(WaitFor([&] { return board.Ended(1); })) << "the old connection stayed open";
    EXPECT_EQ(dialog.SendFrame(0x01, RELAY_CMD_ON, 0, 0, 0, 1), SOCKET_ERROR);

    EXPECT_EQ(BoxTexts(),
              (std::vector<std::string>{"建立连接成功", "建立连接成功", "建立连接失败"}));
    for (const SeenMessageBox& box : watcher.Seen()) {
        EXPECT_EQ(box.caption, "relay_link_test");
        EXPECT_FALSE(box.hasIcon) << box.text;
        EXPECT_EQ(box.owner, dialog.m_hWnd) << box.text;
    }
}

TEST_F(RelayConnectionTest, TheBoardClosingTheLinkKeepsTheStateAndShowsNothing) {
    LoopbackListener& board = Listen();
    ASSERT_TRUE(board.IsListening()) << board.Failure();
    const int idle = OwnThreadCount();
    dialog.OnConnect();
    ASSERT_TRUE(WaitFor([&] { return board.Received(0).size() >= 8; }));
    ASSERT_TRUE(WaitFor([&] { return OwnThreadCount() == idle + 1; })) << "no receive thread";

    board.Close(0);
    ASSERT_TRUE(WaitFor([&] { return OwnThreadCount() == idle; })) << "the receive thread kept on";
    EXPECT_EQ(dialog.m_bConnected, 1);
    EXPECT_EQ(watcher.Seen().size(), 1u);
    EXPECT_FALSE(FindMessageBox() != nullptr);

    // Queries sent meanwhile go nowhere, not even into a socket opened since.
    SOCKET other = ::socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in address = Loopback(board.Port());
    ASSERT_EQ(::connect(other, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    dialog.SendFrame(0x01, RELAY_CMD_QUERY, 0, 0, 0, 0);
    ASSERT_EQ(::send(other, "mark", 4, 0), 4);
    ASSERT_TRUE(WaitFor([&] { return board.Received(1).size() >= 4; }));
    EXPECT_EQ(board.Received(1), (Bytes{'m', 'a', 'r', 'k'}));
    ::closesocket(other);

    // Connect again is the way back.
    dialog.OnConnect();
    ASSERT_TRUE(
        WaitFor([&] { return board.ConnectionCount() == 3 && board.Received(2).size() >= 8; }));
    EXPECT_EQ(board.Received(2), kQuery);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>(2, "建立连接成功"));
}

TEST_F(RelayConnectionTest, APortAbove65535ConnectsToItsLow16BitsAndIsKept) {
    LoopbackListener& board = Listen(4464);
    ASSERT_TRUE(board.IsListening()) << board.Failure();
    dialog.LoadConnectionSettings();
    dialog.m_nPort = 70000;
    dialog.OnConnect();
    ASSERT_TRUE(WaitFor([&] { return board.Received(0).size() >= 8; }));
    EXPECT_EQ(board.Received(0), kQuery);
    EXPECT_EQ(dialog.m_bConnected, 1);
    EXPECT_EQ(dialog.m_nPort, 70000u);
    EXPECT_EQ(dialog.m_savedPort, 70000u);
    EXPECT_NE(ReadWholeFile(std::string("canshu.ini")).value_or("").find("socket_port=70000\r\n"),
              std::string::npos);
    dialog.LoadConnectionSettings();
    EXPECT_EQ(dialog.m_savedPort, 70000u);
}

TEST_F(RelayConnectionTest, BytesReachOnRxByteOnTheUiThreadInArrivalOrder) {
    LoopbackListener& board = Listen();
    ASSERT_TRUE(board.IsListening()) << board.Failure();
    dialog.OnConnect();
    ASSERT_TRUE(WaitFor([&] { return board.ConnectionCount() == 1; }));

    const Bytes channels1And16 = {0x55, 0x01, 0x10, 0x00, 0x00, 0x80, 0x01, 0xE7};
    const Bytes noise = {0xFF, 0x00, 0x13, 0x37, 0xC8, 0x55, 0x01, 0x02};
    const Bytes foreignHeader = {0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFE};
    const Bytes last = {0x55, 0x01, 0x10, 0x00, 0x00, 0x12, 0x34, 0xAC};
    Bytes oneOff = last;
    ++oneOff[7];
    const Bytes stream = Join({channels1And16, noise, foreignHeader, oneOff, last});
    // In uneven pieces, so frames straddle the reads.
    board.Send(0, Bytes(stream.begin(), stream.begin() + 11));
    board.Send(0, Bytes(stream.begin() + 11, stream.begin() + 12));
    board.Send(0, Bytes(stream.begin() + 12, stream.begin() + 29));
    board.Send(0, Bytes(stream.begin() + 29, stream.end()));

    ASSERT_TRUE(WaitFor([&] { return dialog.rxMessages.size() >= stream.size(); }))
        << dialog.rxMessages.size() << " of " << stream.size() << " bytes";
    ASSERT_EQ(dialog.rxMessages.size(), stream.size());
    for (size_t i = 0; i < stream.size(); ++i) {
        const TestLinkDlg::RxMessage& message = dialog.rxMessages[i];
        EXPECT_EQ(message.wParam, static_cast<WPARAM>(static_cast<signed char>(stream[i])))
            << "byte " << i;
        EXPECT_EQ(message.lParam, 1) << "byte " << i;
        EXPECT_EQ(message.thread, uiThread) << "byte " << i;
    }

    std::vector<Bytes> applied;
    for (const TestLinkDlg::AppliedFrame& frame : dialog.applied) {
        applied.emplace_back(frame.frame.begin(), frame.frame.end());
        EXPECT_EQ(frame.thread, uiThread);
    }
    EXPECT_EQ(applied, (std::vector<Bytes>{channels1And16, foreignHeader, last}));
}

// While every connection streams, quick reconnects must leave exactly one
// receive thread, and it must be the one that reads the newest connection.
TEST_F(RelayConnectionTest, AnOldReceiveThreadNeverReadsANewerConnection) {
    LoopbackListener& board = Listen();
    ASSERT_TRUE(board.IsListening()) << board.Failure();
    board.StartStreaming();
    const int idle = OwnThreadCount();
    const size_t connects = 6;
    for (size_t i = 0; i < connects; ++i) {
        dialog.OnConnect();
        // Bytes flowing, so the thread is likely inside its hand-off at the next reconnect.
        const size_t before = dialog.rxMessages.size();
        ASSERT_TRUE(WaitFor([&] { return dialog.rxMessages.size() >= before + 64; }));
    }
    const size_t newest = connects - 1;

    ASSERT_TRUE(WaitFor([&] { return board.ConnectionCount() == connects; }));
    for (size_t i = 0; i < newest; ++i) {
        EXPECT_TRUE(WaitFor([&] { return board.Ended(i); }))
            << "connection " << i << " stayed open";
        EXPECT_EQ(board.Received(i), kQuery) << "connection " << i;
    }
    EXPECT_TRUE(WaitFor([&] { return OwnThreadCount() == idle + 1; }))
        << OwnThreadCount() - idle << " receive threads alive";
    EXPECT_EQ(BoxTexts(), std::vector<std::string>(connects, "建立连接成功"));

    // From here on only the newest connection's stream may arrive, whole and in order.
    const size_t from = dialog.rxMessages.size();
    const size_t span = 40 * 8;
    ASSERT_TRUE(WaitFor([&] { return dialog.rxMessages.size() >= from + span; }));
    Bytes seen;
    for (size_t i = from; i < from + span; ++i)
        seen.push_back(static_cast<std::uint8_t>(dialog.rxMessages[i].wParam));
    size_t start = 0;
    while (start < 8 && !(seen[start] == 0xA5 && seen[start + 1] == newest))
        ++start;
    ASSERT_LT(start, 8u) << "no frame of the newest connection";
    const std::uint16_t first = static_cast<std::uint16_t>(seen[start + 2] << 8 | seen[start + 3]);
    for (size_t at = start, n = 0; at + 8 <= seen.size(); at += 8, ++n) {
        Bytes expected =
            LoopbackListener::StreamFrame(newest, static_cast<std::uint16_t>(first + n));
        ASSERT_EQ(Bytes(seen.begin() + at, seen.begin() + at + 8), expected) << "frame " << n;
    }
    EXPECT_EQ(board.Received(newest), kQuery);
}

} // namespace
