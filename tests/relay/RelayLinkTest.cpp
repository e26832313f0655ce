// The board link over real loopback TCP, handing bytes to a plain window.
#include "CRelayLink.h"
#include "LoopbackBoard.h"
#include "OwnThreadCount.h"
#include "SocketStart.h"
#include "WaitFor.h"

#include <gtest/gtest.h>

namespace {

struct RxMessage {
    WPARAM wParam;
    LPARAM lParam;
    DWORD thread;
};
std::vector<RxMessage> g_received;

LRESULT CALLBACK RecordRxByte(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_RELAY_RXBYTE)
        return ::DefWindowProcA(hWnd, message, wParam, lParam);
    g_received.push_back({wParam, lParam, ::GetCurrentThreadId()});
    return 0;
}

const RelayFrame kQuery = {0x55, 0x01, 0x10, 0x00, 0x00, 0x00, 0x00, 0x66};

class RelayLinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        static const bool started = AfxSocketInit() != FALSE;
        ASSERT_TRUE(started);
        ASSERT_NE(board.Port(), 0);
        WNDCLASSA wc{};
        wc.lpfnWndProc = &RecordRxByte;
        wc.lpszClassName = "RelayLinkTarget";
        ::RegisterClassA(&wc);
        window = ::CreateWindowA(wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        g_received.clear();
        idleThreads = OwnThreadCount();
    }
    void TearDown() override { ::DestroyWindow(window); }

    BOOL Connect(CRelayLink& link, u_short port) {
        return link.Open() && link.Connect("127.0.0.1", port) && link.StartReceiving(window);
    }

    LoopbackBoard board;
    HWND window = nullptr;
    int idleThreads = 0;
};

TEST_F(RelayLinkTest, BytesReachTheWindowOnItsThreadInArrivalOrder) {
    CRelayLink link;
    EXPECT_EQ(link.SendFrame(kQuery), SOCKET_ERROR) << "no connection yet";
    ASSERT_TRUE(Connect(link, board.Port()));
    EXPECT_EQ(link.SendFrame(kQuery), 8);
    ASSERT_TRUE(WaitFor([&] { return board.Received(0).size() >= 8; }));
    EXPECT_EQ(board.Received(0), Bytes(kQuery.begin(), kQuery.end()));

    const Bytes stream = {0x55, 0x01, 0x10, 0x00, 0x00, 0x80, 0x01, 0xE7, 0xFF, 0x7F, 0x00};
    board.Send(0, Bytes(stream.begin(), stream.begin() + 3)); // frames straddle the reads
    board.Send(0, Bytes(stream.begin() + 3, stream.end()));
    ASSERT_TRUE(WaitFor([&] { return g_received.size() >= stream.size(); }));
    ASSERT_EQ(g_received.size(), stream.size());
    for (size_t i = 0; i < stream.size(); ++i) {
        EXPECT_EQ(g_received[i].wParam, static_cast<WPARAM>(static_cast<signed char>(stream[i])))
            << "byte " << i;
        EXPECT_EQ(g_received[i].lParam, 1);
        EXPECT_EQ(g_received[i].thread, ::GetCurrentThreadId());
    }
}

// The last holder of a connection closes it: a reconnect shuts the old one down
// and its thread ends; so does the board closing it, or the link's end. Under
// wine a shut-down socket does not wake a blocked read, and a hung board never
// closes its side: neither may keep a thread.
TEST_F(RelayLinkTest, EachConnectionEndsWithItsThread) {
    LoopbackBoard hung(true);
    {
        CRelayLink link;
        ASSERT_TRUE(Connect(link, board.Port()));
        ASSERT_TRUE(Connect(link, board.Port()));
        EXPECT_TRUE(WaitFor([&] { return board.Ended(0); })) << "the old connection stayed open";
        ASSERT_TRUE(WaitFor([&] { return board.ConnectionCount() == 2; }));
        board.Send(1, {0xA5});
        ASSERT_TRUE(WaitFor([&] { return g_received.size() == 1; }));

        board.Close(1);
        EXPECT_TRUE(WaitFor([&] { return OwnThreadCount() == idleThreads; }));
        EXPECT_FALSE(board.Ended(1)) << "the link closes its socket only when it lets go";

        for (size_t count = 1; count <= 20; ++count)
            ASSERT_TRUE(Connect(link, hung.Port()) &&
                        WaitFor([&] { return hung.ConnectionCount() == count; }));
        EXPECT_TRUE(WaitFor([&] { return board.Ended(1); }));
        EXPECT_TRUE(WaitFor([&] { return OwnThreadCount() == idleThreads + 1; }))
            << OwnThreadCount() - idleThreads << " receive threads";
    } // the link ends while its thread waits on the hung board
    EXPECT_TRUE(WaitFor([&] { return OwnThreadCount() == idleThreads; }));
}

} // namespace
