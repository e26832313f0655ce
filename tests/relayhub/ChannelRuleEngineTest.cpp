// The rule engine driven by hand, where a case needs a moment no run at boardsim can hit.
#include "ChannelRuleEngine.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

// A reload inside an interlock's dead time leaves it running: the motor still gets its pause.
TEST(ChannelRuleEngineTest, DeadTimeOutlastsAReload) {
    ChannelRules rules;
    rules.interlocks.push_back({0x0003, 500});
    rules.channels[0].interlock = rules.channels[1].interlock = 0;
    CChannelRuleEngine engine("", [](const std::string&) {});
    engine.SetRules(rules);
    auto now = CChannelRuleEngine::Clock::now();
    engine.Status(0x0001, true, false, now);
    const RelayFrame on2 = BuildRelayCommand(RELAY_CMD_ON, 2);
    EXPECT_FALSE(engine.Admit(on2, "test", 0, now));
    const RelayFrame off1 = BuildRelayCommand(RELAY_CMD_OFF, 1);
    ASSERT_EQ(engine.TakeFrames(), std::vector<RelayFrame>{off1});
    engine.Sent(off1, now);
    engine.Status(0x0000, false, true, now += 10ms);
    engine.SetRules(rules);
    EXPECT_FALSE(engine.Admit(on2, "test", 0, now += 10ms)) << "an ON inside the dead time";
    engine.Tick(now += 470ms);
    EXPECT_TRUE(engine.TakeFrames().empty()) << "the ON before the dead time ran out";
    engine.Tick(now += 30ms);
    EXPECT_EQ(engine.TakeFrames(), std::vector<RelayFrame>{on2});
}

// A timer's OFF that the board did not take is sent again: the channel is never left on.
TEST(ChannelRuleEngineTest, TimersOffUntilTheBoardShowsIt) {
    ChannelRules rules;
    rules.channels[0].maxOnS = 1;
    rules.channels[4].pulseMs = 300;
    for (const auto& [channel, timer] : {std::pair{1, 1000ms}, {5, 300ms}}) {
        int logged = 0;
        CChannelRuleEngine engine("", [&logged](const std::string&) { ++logged; });
        engine.SetRules(rules);
        const std::uint16_t bit = static_cast<std::uint16_t>(1u << (channel - 1));
        const RelayFrame off =
            BuildRelayCommand(RELAY_CMD_OFF, static_cast<std::uint32_t>(channel));
        auto now = CChannelRuleEngine::Clock::now();
        engine.Status(0, true, false, now);
        engine.Status(bit, false, false, now += 10ms);
        engine.Tick(now += timer);
        ASSERT_EQ(engine.TakeFrames(), std::vector<RelayFrame>{off}) << "channel " << channel;
        engine.Sent(off, now);
        engine.Status(bit, false, true, now += 10ms); // the board's answer: still on
        engine.Tick(now += 1900ms);
        EXPECT_TRUE(engine.TakeFrames().empty()) << "channel " << channel << ": too soon";
        // Sent again every 2 s while it stays on, with one line for all of them.
        for (int again = 0; again < 2; ++again) {
            const int before = logged;
            engine.Tick(now = std::min(engine.NextDeadline(), now + 3s));
            EXPECT_EQ(engine.TakeFrames(), std::vector<RelayFrame>{off}) << "channel " << channel;
            EXPECT_EQ(logged - before, again == 0) << "channel " << channel << ": its log lines";
            engine.Sent(off, now);
            engine.Status(bit, false, true, now += 10ms);
        }
        engine.Status(0, false, false, now += 10ms);
        EXPECT_EQ(engine.NextDeadline(), CChannelRuleEngine::Clock::time_point::max())
            << "channel " << channel << ": a timer left once off";
        engine.Tick(now += 5s);
        EXPECT_TRUE(engine.TakeFrames().empty()) << "channel " << channel << ": off at last";
    }
}

} // namespace
