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

} // namespace
