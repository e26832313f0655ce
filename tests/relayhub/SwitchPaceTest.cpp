// When relayhub lets the next switch go: after the board's answer to the last one, counted
// among the answers owed for the queries around it, or after the pace.
#include "SwitchPace.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

// q a query sent, s a switch sent, r a status received, t the pace passes;
// + and - the next switch may go, or must wait.
TEST(SwitchPaceTest, NextSwitchWaitsForTheAnswerOrThePace) {
    const char* rows[] = {
        "s-r+",       // answered
        "qs-r-r+",    // a query's answer before it is not its answer
        "s-t+",       // ignored: the pace
        "sqt+s-r-r+", // the query sent while an ignored switch waited is answered late
        "sqtr+s-r+",  // an ignored switch's answer is not owed any more
    };
    for (const char* row : rows) {
        CSwitchPace pace(300ms);
        auto now = CSwitchPace::Clock::time_point{} + 1h;
        for (const char* step = row; *step; ++step) {
            switch (*step) {
            case 'q':
                pace.QuerySent();
                break;
            case 's':
                pace.SwitchSent(now);
                break;
            case 'r':
                pace.StatusReceived(now);
                break;
            case 't':
                now += 300ms;
                break;
            default:
                EXPECT_EQ(pace.MayGo(now), *step == '+') << row << " at " << step - row;
            }
        }
    }
}

} // namespace
