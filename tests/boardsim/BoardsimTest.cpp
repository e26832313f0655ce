#include "BoardsimProcess.h"
#include "LoopbackClient.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <regex>

using namespace std::chrono_literals;

namespace {

constexpr auto kWait = 10s;

const RelayFrame kQuery = BuildRelayCommand(RELAY_CMD_QUERY, 0);

RelayFrame On(int channel) {
    return BuildRelayCommand(RELAY_CMD_ON, channel);
}
RelayFrame Off(int channel) {
    return BuildRelayCommand(RELAY_CMD_OFF, channel);
}
RelayFrame SetAll(std::uint32_t mask) {
    return BuildRelayCommand(RELAY_CMD_SET_ALL, mask);
}
RelayFrame BadChecksum(RelayFrame frame) {
    ++frame[7];
    return frame;
}
RelayFrame Status(std::uint16_t channels) {
    return BuildRelayFrame(0x01, 0x10, 0x00, 0x00, static_cast<std::uint8_t>(channels >> 8),
                           static_cast<std::uint8_t>(channels));
}
std::vector<std::uint8_t> Bytes(const RelayFrame& frame) {
    return {frame.begin(), frame.end()};
}

// A running boardsim on a free port, logging frames to a file in its own directory.
class Board {
  public:
    explicit Board(std::vector<std::string> options = {})
        : process(WithDefaults(std::move(options))), port(process.Port()) {}

    std::vector<std::string> LogLines(std::size_t count) {
        return WaitForLines(process.Dir() / "frames.log", count, In(kWait));
    }
    bool StderrShows(const std::string& text) {
        return WaitForText([this] { return process.Stderr(); }, text, In(kWait));
    }
    // Sends a frame and reads the answer.
    std::optional<RelayFrame> Ask(CLoopbackClient& client, const RelayFrame& frame) {
        RelayFrame answer{};
        if (!client.Send(frame) || !client.ReadFrame(answer, In(kWait)))
            return std::nullopt;
        return answer;
    }

    CBoardsimProcess process;
    std::uint16_t port;

  private:
    static std::vector<std::string> WithDefaults(std::vector<std::string> options) {
        options.insert(options.begin(), {"--port", "0", "--log", "@DIR@/frames.log"});
        return options;
    }
};

TEST(Boardsim, HelpDocumentsEveryOptionAndExitsZero) {
    CBoardsimProcess help({"--help"});
    EXPECT_EQ(help.WaitExit(In(kWait)), 0);
    const std::string text = help.FirstLine(In(kWait)).value_or("") + help.DrainStdout(In(kWait));
    for (const char* option :
         {"--port", "--channels", "--log", "--corrupt-every", "--split", "--split-pause",
          "--silent", "--close-after", "--ignore-commands", "--toggle", "--toggle-ms", "--flood",
          "--flood-ms", "--send-hex", "--send-file", "SIGTERM"})
        EXPECT_NE(text.find(option), std::string::npos) << option;
}

TEST(Boardsim, BadCommandLineExitsTwo) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--bogus"},
                                                 {"--port", "70000"},
                                                 {"--toggle", "17"},
                                                 {"--send-hex", "5"},
                                                 {"--split", "8"},
                                                 {"--corrupt-every"}}) {
        CBoardsimProcess bad(args);
        EXPECT_EQ(bad.WaitExit(In(kWait)), 2) << args[0];
    }
}

TEST(Boardsim, BusyPortExitsOne) {
    Board first;
    ASSERT_NE(first.port, 0);
    CBoardsimProcess second({"--port", std::to_string(first.port)});
    EXPECT_EQ(second.WaitExit(In(kWait)), 1);
}

TEST(Boardsim, QueryIsAnsweredWithTheInitialChannels) {
    Board board({"--channels", "0x8005"});
    CLoopbackClient client(board.port);
    ASSERT_TRUE(client.IsConnected());
    const auto answer = board.Ask(client, kQuery);
    ASSERT_TRUE(answer);
    EXPECT_EQ(*answer, Status(0x8005));
    EXPECT_TRUE(RelayChecksumOk(*answer));
    for (int channel : {1, 3, 16})
        EXPECT_TRUE(RelayStatusChannelOn(*answer, channel));
}

TEST(Boardsim, CommandsAreAppliedAndAnswered) {
    Board board;
    CLoopbackClient client(board.port);
    ASSERT_TRUE(client.IsConnected());
    const struct {
        RelayFrame command;
        std::uint16_t channels;
    } steps[] = {
        {On(3), 0x0004},
        {On(16), 0x8004},
        {Off(3), 0x8000},
        {On(9), 0x8100},
        {SetAll(0xFFFFFFFF), 0xFFFF},
        {Off(1), 0xFFFE},
        {SetAll(0), 0x0000},
        {On(17), 0x0000},
        {kQuery, 0x0000},
    };
    for (const auto& step : steps) {
        const auto answer = board.Ask(client, step.command);
        ASSERT_TRUE(answer);
        EXPECT_EQ(*answer, Status(step.channels)) << "after command " << int(step.command[2]);
    }
}

TEST(Boardsim, FramesInPiecesAndBackToBackAreCut) {
    Board board;
    CLoopbackClient client(board.port);
    ASSERT_TRUE(client.IsConnected());
    const RelayFrame on = On(2);
    ASSERT_TRUE(client.SendBytes({on.begin(), on.begin() + 3}));
    ASSERT_TRUE(board.StderrShows("connection opened"));
    std::vector<std::uint8_t> rest(on.begin() + 3, on.end());
    const RelayFrame on4 = On(4);
    rest.insert(rest.end(), on4.begin(), on4.end());
    ASSERT_TRUE(client.SendBytes(rest));
    EXPECT_EQ(client.ReadExactly(16, In(kWait)), [] {
        auto both = Bytes(Status(0x0002));
        const auto second = Bytes(Status(0x000A));
        both.insert(both.end(), second.begin(), second.end());
        return both;
    }());
}

TEST(Boardsim, BadChecksumIsDroppedWithoutAnswer) {
    Board board({"--close-after", "3"});
    CLoopbackClient client(board.port);
    ASSERT_TRUE(client.IsConnected());
    ASSERT_TRUE(client.Send(BadChecksum(On(3))));
    ASSERT_TRUE(client.Send(BadChecksum(kQuery)));
    ASSERT_TRUE(client.Send(kQuery));
    bool closed = false;
    EXPECT_EQ(client.ReadUntilClosed(In(kWait), closed), Bytes(Status(0)));
    EXPECT_TRUE(closed);
    const auto lines = board.LogLines(3);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[0].find(" bad-checksum"), std::string::npos);
    EXPECT_NE(lines[1].find(" bad-checksum"), std::string::npos);
    EXPECT_EQ(lines[2].find(" bad-checksum"), std::string::npos);
}

TEST(Boardsim, LogHasOneTimestampedHexLinePerFrame) {
    Board board;
    CLoopbackClient client(board.port);
    ASSERT_TRUE(client.IsConnected());
    ASSERT_TRUE(board.Ask(client, On(5)));
    ASSERT_TRUE(board.Ask(client, SetAll(0xFFFFFFFF)));
    ASSERT_TRUE(client.Send(BadChecksum(Off(16))));
    const auto lines = board.LogLines(3);
    ASSERT_EQ(lines.size(), 3u);
    const std::string stamp = R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3} )";
    EXPECT_TRUE(std::regex_match(lines[0], std::regex(stamp + "55 01 12 00 00 00 05 6D$")))
        << lines[0];
    EXPECT_TRUE(std::regex_match(lines[1], std::regex(stamp + "55 01 13 FF FF FF FF 65$")))
        << lines[1];
    EXPECT_TRUE(
        std::regex_match(lines[2], std::regex(stamp + "55 01 11 00 00 00 10 78 bad-checksum$")))
        << lines[2];
}

TEST(Boardsim, LogGoesToStdoutAfterThePortLine) {
    CBoardsimProcess process({"--port", "0"});
    const std::uint16_t port = process.Port();
    ASSERT_NE(port, 0);
    CLoopbackClient client(port);
    ASSERT_TRUE(client.Send(kQuery));
    EXPECT_TRUE(WaitForText([&] { return process.DrainStdout(In(0ms)); },
                            " 55 01 10 00 00 00 00 66\n", In(kWait)));
}

TEST(Boardsim, ChannelChangesAreShownForAPerson) {
    Board board;
    CLoopbackClient client(board.port);
    ASSERT_TRUE(board.Ask(client, On(5)));
    EXPECT_TRUE(board.StderrShows("channel 5 on (command)  [.... #... .... ....]"));
    ASSERT_TRUE(board.Ask(client, SetAll(0)));
    EXPECT_TRUE(board.StderrShows("channel 5 off (set all)"));
}

TEST(Boardsim, EveryNthAnswerHasAWrongChecksum) {
    Board board({"--corrupt-every", "2", "--channels", "0x0001"});
    CLoopbackClient client(board.port);
    for (int i = 1; i <= 4; ++i) {
        const auto answer = board.Ask(client, kQuery);
        ASSERT_TRUE(answer);
        RelayFrame expected = Status(0x0001);
        if (i % 2 == 0)
            ++expected[7];
        EXPECT_EQ(*answer, expected) << "answer " << i;
    }
}

TEST(Boardsim, AnswersArriveInPieces) {
    Board board({"--split", "3", "--split-pause", "400"});
    CLoopbackClient client(board.port);
    ASSERT_TRUE(client.Send(kQuery));
    std::vector<std::size_t> pieces;
    std::vector<std::uint8_t> answer;
    while (answer.size() < 8) {
        const auto some = client.ReadSome(8 - answer.size(), In(kWait));
        ASSERT_FALSE(some.empty());
        pieces.push_back(some.size());
        answer.insert(answer.end(), some.begin(), some.end());
    }
    EXPECT_EQ(answer, Bytes(Status(0)));
    EXPECT_GE(pieces.size(), 2u);
    EXPECT_LE(pieces.front(), 3u);
}

TEST(Boardsim, SilentBoardAppliesButNeverAnswers) {
    Board board({"--silent", "--close-after", "2"});
    CLoopbackClient client(board.port);
    ASSERT_TRUE(client.Send(kQuery));
    ASSERT_TRUE(client.Send(On(1)));
    bool closed = false;
    EXPECT_TRUE(client.ReadUntilClosed(In(kWait), closed).empty());
    EXPECT_TRUE(closed);
    EXPECT_TRUE(board.StderrShows("channel 1 on"));
}

TEST(Boardsim, ClosesAfterNFramesAndAcceptsTheNextConnection) {
    Board board({"--close-after", "2"});
    {
        CLoopbackClient client(board.port);
        ASSERT_TRUE(client.Send(On(7)));
        ASSERT_TRUE(client.Send(kQuery));
        bool closed = false;
        auto expected = Bytes(Status(0x0040));
        expected.insert(expected.end(), expected.begin(), expected.end());
        EXPECT_EQ(client.ReadUntilClosed(In(kWait), closed), expected);
        EXPECT_TRUE(closed);
    }
    CLoopbackClient again(board.port);
    ASSERT_TRUE(again.IsConnected());
    EXPECT_EQ(board.Ask(again, kQuery), Status(0x0040));
}

TEST(Boardsim, IgnoredCommandsGetNoAnswerButQueriesDo) {
    Board board({"--ignore-commands", "--close-after", "4", "--channels", "0x0100"});
    CLoopbackClient client(board.port);
    ASSERT_TRUE(client.Send(On(3)));
    ASSERT_TRUE(client.Send(SetAll(0xFFFFFFFF)));
    ASSERT_TRUE(client.Send(Off(9)));
    ASSERT_TRUE(client.Send(kQuery));
    bool closed = false;
    EXPECT_EQ(client.ReadUntilClosed(In(kWait), closed), Bytes(Status(0x0100)));
    EXPECT_TRUE(closed);
}

TEST(Boardsim, ChannelChangesByItself) {
    Board board({"--toggle", "5", "--toggle-ms", "50"});
    CLoopbackClient client(board.port);
    bool sawOn = false, sawOffAfterOn = false;
    const Deadline deadline = In(kWait);
    while (!sawOffAfterOn && std::chrono::steady_clock::now() < deadline) {
        const auto answer = board.Ask(client, kQuery);
        ASSERT_TRUE(answer);
        EXPECT_EQ(RelayStatusChannels(*answer) & ~0x0010, 0) << "only channel 5 changes";
        if (RelayStatusChannelOn(*answer, 5))
            sawOn = true;
        else if (sawOn)
            sawOffAfterOn = true;
    }
    EXPECT_TRUE(sawOffAfterOn);
    EXPECT_TRUE(board.StderrShows("channel 5 on (by hand)"));
}

TEST(Boardsim, FloodsACountOfStatusFramesThenServes) {
    Board board({"--flood", "1000", "--channels", "0x1234"});
    CLoopbackClient client(board.port);
    const auto flood = client.ReadExactly(8000, In(kWait));
    ASSERT_EQ(flood.size(), 8000u);
    for (std::size_t i = 0; i < flood.size(); i += 8)
        ASSERT_TRUE(std::equal(flood.begin() + i, flood.begin() + i + 8, Status(0x1234).begin()))
            << "frame " << i / 8;
    EXPECT_EQ(board.Ask(client, kQuery), Status(0x1234));
}

TEST(Boardsim, FloodsForABoundedTime) {
    Board board({"--flood-ms", "200", "--close-after", "1"});
    CLoopbackClient client(board.port);
    ASSERT_TRUE(client.Send(kQuery));
    bool closed = false;
    const auto bytes = client.ReadUntilClosed(In(kWait), closed);
    EXPECT_TRUE(closed);
    ASSERT_EQ(bytes.size() % 8, 0u);
    EXPECT_GE(bytes.size(), 16u);
    for (std::size_t i = 0; i < bytes.size(); i += 8)
        ASSERT_TRUE(std::equal(bytes.begin() + i, bytes.begin() + i + 8, Status(0).begin()));
}

TEST(Boardsim, SendsGivenBytesOnConnect) {
    CTempDir dir;
    const auto file = dir.Path() / "bytes.bin";
    std::ofstream(file, std::ios::binary) << "\x01\x02";
    Board board({"--send-hex", "de ad:BE,ef", "--send-file", file.string(), "--close-after", "1"});
    CLoopbackClient client(board.port);
    ASSERT_TRUE(client.Send(kQuery));
    bool closed = false;
    std::vector<std::uint8_t> expected{0xDE, 0xAD, 0xBE, 0xEF, 0x01, 0x02};
    const auto status = Bytes(Status(0));
    expected.insert(expected.end(), status.begin(), status.end());
    EXPECT_EQ(client.ReadUntilClosed(In(kWait), closed), expected);
    EXPECT_TRUE(closed);
}

TEST(Boardsim, KeepsStateAcrossReconnects) {
    Board board;
    {
        CLoopbackClient client(board.port);
        EXPECT_EQ(board.Ask(client, On(2)), Status(0x0002));
    }
    ASSERT_TRUE(board.StderrShows("closed by the panel"));
    CLoopbackClient again(board.port);
    EXPECT_EQ(board.Ask(again, kQuery), Status(0x0002));
}

TEST(Boardsim, StopsCleanlyOnSignals) {
    for (int signal : {SIGTERM, SIGINT}) {
        Board idle;
        ASSERT_NE(idle.port, 0);
        idle.process.Signal(signal);
        EXPECT_EQ(idle.process.WaitExit(In(kWait)), 0) << "idle, signal " << signal;

        Board connected;
        CLoopbackClient client(connected.port);
        ASSERT_TRUE(connected.Ask(client, kQuery));
        connected.process.Signal(signal);
        EXPECT_EQ(connected.process.WaitExit(In(kWait)), 0) << "connected, signal " << signal;
        bool closed = false;
        client.ReadUntilClosed(In(kWait), closed);
        EXPECT_TRUE(closed);
    }
}

TEST(Boardsim, StopsWhileBlockedOnAReaderThatDoesNotRead) {
    Board board({"--flood-ms", "600000"});
    CLoopbackClient client(board.port);
    ASSERT_TRUE(client.IsConnected());
    ASSERT_FALSE(client.ReadExactly(8, In(kWait)).empty());
    ASSERT_TRUE(board.StderrShows("connection opened"));
    board.process.Signal(SIGTERM);
    EXPECT_EQ(board.process.WaitExit(In(kWait)), 0);
}

} // namespace
