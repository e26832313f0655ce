// The switch-confirmation histogram: a switch is observed once, by the status that shows it,
// and one the board cannot show is never observed.
#include "Metrics.h"

#include <gtest/gtest.h>

#include <numeric>

namespace {

using namespace std::chrono_literals;

std::uint64_t Observed() {
    const auto& buckets = Metrics().confirmBuckets;
    return std::accumulate(
        buckets.begin(), buckets.end(), std::uint64_t{0},
        [](std::uint64_t sum, const auto& bucket) { return sum + bucket.load(); });
}

TEST(SwitchTimerTest, ObservesWhatTheStatusShows) {
    const struct {
        std::uint8_t command;
        std::uint32_t parameter;
        std::uint16_t status;
        std::uint64_t observed;
    } rows[] = {
        {RELAY_CMD_ON, 3, 0x0004, 1},
        {RELAY_CMD_ON, 3, 0x0000, 0},
        {RELAY_CMD_OFF, 16, 0x0000, 1},
        {RELAY_CMD_SET_ALL, 0x0005, 0x0005, 1},
        // Channels the board lacks: it ignores them, and no status shows them.
        {RELAY_CMD_ON, 0, 0x0000, 0},
        {RELAY_CMD_ON, 17, 0x0000, 0},
        {RELAY_CMD_OFF, 40, 0x0000, 0},
    };
    for (const auto& row : rows) {
        CSwitchTimer timer;
        const auto sent = std::chrono::steady_clock::now();
        const std::uint64_t before = Observed();
        timer.Sent(BuildRelayCommand(row.command, row.parameter), sent);
        timer.Status(row.status, sent + 20ms);
        timer.Status(row.status, sent + 40ms);
        EXPECT_EQ(Observed() - before, row.observed)
            << "command " << int(row.command) << " " << row.parameter << ", status " << row.status;
    }
}

} // namespace
