// CRelayHub in process against the real boardsim (BOARDSIM names it): what the MQTT and web
// parts are told (listeners, snapshots, waits) and which commands SendCommand takes.
#include "Hub.h"
#include "HubOptions.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;

// boardsim on a free loopback port; its first line says which.
class Boardsim {
  public:
    explicit Boardsim(const char* channels) {
        int out[2];
        if (pipe(out) != 0)
            return;
        m_pid = fork();
        if (m_pid == 0) {
            const int null = open("/dev/null", O_RDWR);
            dup2(out[1], 1);
            dup2(null, 0);
            dup2(null, 2);
            execl(std::getenv("BOARDSIM"), "boardsim", "--port", "0", "--channels", channels,
                  "--log", "/dev/null", nullptr);
            _exit(127);
        }
        close(out[1]);
        pollfd ready{out[0], POLLIN, 0};
        char line[64] = {};
        if (poll(&ready, 1, 20000) == 1 && read(out[0], line, sizeof line - 1) > 0)
            std::sscanf(line, "port %hu", &port);
        close(out[0]);
    }
    ~Boardsim() { Kill(); }
    void Kill() {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        m_pid = -1;
    }
    std::uint16_t port = 0;

  private:
    pid_t m_pid = -1;
};

class Recorder : public HubListener {
  public:
    using Timers = std::array<std::chrono::steady_clock::time_point, RELAY_CHANNEL_COUNT>;
    void BoardUp(std::uint16_t channels) override { Add("up " + Hex(channels)); }
    void BoardDown() override { Add("down"); }
    void StatusChanged(std::uint16_t channels, std::uint16_t changed) override {
        Add("changed " + Hex(channels) + " " + Hex(changed));
    }
    // Logged as the channels with a running timer.
    void TimersChanged(const Timers& offAt) override {
        std::uint16_t running = 0;
        for (int n = 0; n < RELAY_CHANNEL_COUNT; ++n) {
            if (offAt[static_cast<std::size_t>(n)] != std::chrono::steady_clock::time_point::max())
                running |= static_cast<std::uint16_t>(1u << n);
        }
        std::lock_guard lock(m_mutex);
        m_timers = offAt;
        m_events.push_back("timers " + Hex(running));
    }
    std::vector<std::string> Events() {
        std::lock_guard lock(m_mutex);
        return m_events;
    }
    Timers LastTimers() {
        std::lock_guard lock(m_mutex);
        return m_timers;
    }

  private:
    static std::string Hex(std::uint16_t value) {
        char text[8];
        std::snprintf(text, sizeof text, "%04X", value);
        return text;
    }
    void Add(const std::string& event) {
        std::lock_guard lock(m_mutex);
        m_events.push_back(event);
    }
    std::mutex m_mutex;
    std::vector<std::string> m_events;
    Timers m_timers = BoardSnapshot().offAt;
};

// boardsim with the channels given and a started hub in front of it, a Recorder listening,
// until the board's first status; a fatal failure where either does not start.
class HubCoreTest : public testing::Test {
  protected:
    void Start(const char* channels) {
        board.emplace(channels);
        ASSERT_NE(board->port, 0) << "boardsim did not start (BOARDSIM=" << std::getenv("BOARDSIM")
                                  << ")";
        HubOptions options;
        options.boardHost = "127.0.0.1";
        options.boardPort = board->port;
        options.listenPort = 0;
        hub.emplace(options);
        hub->AddListener(recorder);
        std::string error;
        ASSERT_TRUE(hub->Start(error)) << error;
        // WaitForStatus returns at once while the board is down: the first status is polled.
        for (status = hub->Snapshot(); !status.up && std::chrono::steady_clock::now() < deadline;
             status = hub->Snapshot())
            std::this_thread::sleep_for(10ms);
        ASSERT_TRUE(status.up) << "no status from the board within 30 s";
    }
    const std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::now() + 30s;
    std::optional<Boardsim> board;
    Recorder recorder;
    std::optional<CRelayHub> hub;
    BoardSnapshot status;
};

TEST_F(HubCoreTest, ListenersSnapshotsAndCommands) {
    ASSERT_NO_FATAL_FAILURE(Start("0x0005"));
    EXPECT_EQ(status.channels, 0x0005);
    EXPECT_FALSE(
        hub->SendCommand(BuildRelayCommand(RELAY_CMD_QUERY, 0), SwitchSource::Client, "test"));
    EXPECT_TRUE(hub->SendCommand(BuildRelayCommand(RELAY_CMD_ON, 2), SwitchSource::Client, "test"));
    while (status.up && status.channels != 0x0007 && std::chrono::steady_clock::now() < deadline)
        status = hub->WaitForStatus(status.statusCount, deadline);
    EXPECT_EQ(status.channels, 0x0007) << "channel 2 not on within 30 s";

    board->Kill();
    while (status.up && std::chrono::steady_clock::now() < deadline)
        status = hub->WaitForStatus(status.statusCount, deadline);
    EXPECT_FALSE(status.up) << "the board not down within 30 s";
    EXPECT_TRUE(std::chrono::steady_clock::now() < deadline) << "the wait not woken by the down";
    EXPECT_FALSE(
        hub->SendCommand(BuildRelayCommand(RELAY_CMD_ON, 3), SwitchSource::Client, "test"));
    hub->Stop();
    EXPECT_EQ(recorder.Events(),
              (std::vector<std::string>{"up 0005", "changed 0007 0002", "down"}));
}

// What the web panel and MQTT pulse with: the board shows the channel on with its off time
// in the snapshot, then off, whatever the channel's rules. The listeners hear of each new
// timer, a restart that changes no channel included.
TEST_F(HubCoreTest, PulseChannel) {
    using Clock = std::chrono::steady_clock;
    ASSERT_NO_FATAL_FAILURE(Start("0x0000"));
    EXPECT_FALSE(hub->PulseChannel(3, 49, SwitchSource::Web, "test"));
    EXPECT_FALSE(hub->PulseChannel(17, 300, SwitchSource::Web, "test"));
    ASSERT_TRUE(hub->PulseChannel(3, 60000, SwitchSource::Mqtt, "test"));
    while (status.up && status.channels != 0x0004 && Clock::now() < deadline)
        status = hub->WaitForStatus(status.statusCount, deadline);
    ASSERT_EQ(status.channels, 0x0004) << "channel 3 not on within 30 s";
    const auto first = status.offAt[2];
    EXPECT_NE(first, Clock::time_point::max());
    EXPECT_EQ(status.offAt[1], Clock::time_point::max());

    // Restarted with a shorter pulse: the board does not change, the timer does.
    const auto asked = Clock::now();
    ASSERT_TRUE(hub->PulseChannel(3, 300, SwitchSource::Web, "test"));
    auto told = recorder.LastTimers();
    for (; told[2] >= first && Clock::now() < deadline; told = recorder.LastTimers())
        std::this_thread::sleep_for(10ms);
    ASSERT_TRUE(told[2] < first) << "the listener not told of the restarted pulse within 30 s";
    // The timer starts at the status that shows it on: after the ask, 300 ms on.
    EXPECT_GE(told[2], asked + 300ms);
    while (status.up && status.channels != 0 && Clock::now() < deadline)
        status = hub->WaitForStatus(status.statusCount, deadline);
    EXPECT_EQ(status.channels, 0) << "channel 3 not off within 30 s";
    EXPECT_EQ(hub->Snapshot().offAt[2], Clock::time_point::max());
    hub->Stop();
    // Told once per change: the pulse's end clears its timer as the hub sends the OFF.
    EXPECT_EQ(recorder.Events(),
              (std::vector<std::string>{"up 0000", "changed 0004 0004", "timers 0004",
                                        "timers 0004", "timers 0000", "changed 0000 0004"}));
}

} // namespace
