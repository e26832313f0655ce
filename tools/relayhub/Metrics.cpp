#include "Metrics.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Past this a switch is not waited for any more: the board ignored it.
constexpr auto kForgetAfter = std::chrono::seconds(10);

constexpr const char* kDownReasons[] = {"closed", "stale", "error", "overflow"};
constexpr const char* kRefusedReasons[] = {"board_down", "full"};
constexpr const char* kDroppedReasons[] = {"bad_frame", "not_a_switch", "board_down"};
constexpr const char* kSources[] = {"client", "mqtt", "web", "rule"};

// Label values as the format wants them: backslash, double quote and line feed escaped.
std::string Escaped(const std::string& value) {
    std::string out;
    for (const char c : value) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c == '\n' ? std::string("\\n") : std::string(1, c);
    }
    return out;
}

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

class Writer {
  public:
    void Family(const char* name, const char* type, const char* help) {
        m_text.append("# HELP ").append(name).append(" ").append(help).append("\n# TYPE ");
        m_text.append(name).append(" ").append(type).append("\n");
    }
    // A family of one unlabelled sample.
    void Single(const char* name, const char* type, const char* help, double value) {
        Family(name, type, help);
        Sample(name, value);
    }
    void Sample(const std::string& name, double value, const std::string& labels = "") {
        m_text.append(name);
        if (!labels.empty())
            m_text.append("{").append(labels).append("}");
        m_text.append(" ").append(Number(value)).append("\n");
    }
    template <std::size_t N>
    void ByLabel(const char* name, const char* label, const char* const (&values)[N],
                 const std::array<std::atomic<std::uint64_t>, N>& counts) {
        for (std::size_t i = 0; i < N; ++i)
            Sample(name, static_cast<double>(counts[i].load()), Label(label, values[i]));
    }
    static std::string Label(const char* name, const std::string& value) {
        return std::string(name) + "=\"" + Escaped(value) + "\"";
    }
    std::string Text() { return std::move(m_text); }

  private:
    std::string m_text;
};

double ResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE));
}

double CpuSeconds() {
    timespec used{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
    return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) / 1e9;
}

} // namespace

HubMetrics& Metrics() {
    static HubMetrics metrics;
    return metrics;
}

void HubMetrics::ObserveConfirm(Clock::duration took) {
    const double seconds = std::chrono::duration<double>(took).count();
    const auto bucket = std::lower_bound(CONFIRM_BUCKETS.begin(), CONFIRM_BUCKETS.end(), seconds);
    ++confirmBuckets[static_cast<std::size_t>(bucket - CONFIRM_BUCKETS.begin())];
    confirmNanoseconds += static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(took).count());
}

void CSwitchTimer::Sent(const RelayFrame& frame, Clock::time_point now) {
    const std::uint32_t parameter = RelayFrameParameter(frame);
    Pending added{0xFFFF, static_cast<std::uint16_t>(parameter), now};
    if (frame[2] != RELAY_CMD_SET_ALL) {
        // The board ignores a channel it lacks: no status will show it.
        if (parameter < 1 || parameter > RELAY_CHANNEL_COUNT)
            return;
        added.mask = static_cast<std::uint16_t>(1u << (parameter - 1));
        added.wanted = frame[2] == RELAY_CMD_ON ? added.mask : 0;
    }
    // A later switch of the same channels is the one the board will show.
    std::erase_if(m_pending, [&](const Pending& p) { return (p.mask & added.mask) != 0; });
    m_pending.push_back(added);
}

void CSwitchTimer::Status(std::uint16_t channels, Clock::time_point now) {
    std::erase_if(m_pending, [&](const Pending& p) {
        if (((channels ^ p.wanted) & p.mask) == 0) {
            Metrics().ObserveConfirm(now - p.sent);
            return true;
        }
        return now - p.sent > kForgetAfter;
    });
}

std::string MetricsText(const BoardSnapshot& board, const ChannelCaptions& captions,
                        int httpListeners) {
    const HubMetrics& m = Metrics();
    Writer w;
    w.Single("kestrel_board_up", "gauge", "1 while the board is connected and answers.", board.up);
    w.Single("kestrel_board_connects_total", "counter", "Times the board came up.",
             static_cast<double>(m.boardConnects.load()));
    w.Family("kestrel_board_disconnects_total", "counter",
             "Times the board went, once up, by reason.");
    w.ByLabel("kestrel_board_disconnects_total", "reason", kDownReasons, m.disconnects);
    w.Single("kestrel_board_status_frames_total", "counter", "Good status frames from the board.",
             static_cast<double>(m.statusFrames.load()));
    w.Single("kestrel_board_bad_frames_total", "counter",
             "Frames from the board with a bad checksum.", static_cast<double>(m.badFrames.load()));
    if (board.up) {
        w.Family("kestrel_channel_on", "gauge", "1 for a channel the board shows on.");
        for (int n = 1; n <= RELAY_CHANNEL_COUNT; ++n)
            w.Sample("kestrel_channel_on", board.channels >> (n - 1) & 1,
                     Writer::Label("channel", std::to_string(n)) + "," +
                         Writer::Label("caption", captions[static_cast<std::size_t>(n - 1)]));
    }
    w.Single("kestrel_clients", "gauge", "Clients of the board's protocol connected.",
             m.clients.load());
    w.Family("kestrel_clients_refused_total", "counter", "Clients turned away, by reason.");
    w.ByLabel("kestrel_clients_refused_total", "reason", kRefusedReasons, m.clientsRefused);
    w.Family("kestrel_client_frames_dropped_total", "counter",
             "Client frames that went no further, by reason.");
    w.ByLabel("kestrel_client_frames_dropped_total", "reason", kDroppedReasons,
              m.clientFramesDropped);
    w.Family("kestrel_switches_total", "counter", "Switches sent to the board, by source.");
    w.ByLabel("kestrel_switches_total", "source", kSources, m.switches);
    w.Family("kestrel_switch_confirm_seconds", "histogram",
             "From a switch sent to the board to the status that shows it.");
    std::uint64_t cumulative = 0;
    for (std::size_t i = 0; i <= CONFIRM_BUCKETS.size(); ++i) {
        cumulative += m.confirmBuckets[i].load();
        w.Sample("kestrel_switch_confirm_seconds_bucket", static_cast<double>(cumulative),
                 Writer::Label("le", i < CONFIRM_BUCKETS.size() ? Number(CONFIRM_BUCKETS[i])
                                                                : std::string("+Inf")));
    }
    w.Sample("kestrel_switch_confirm_seconds_sum",
             static_cast<double>(m.confirmNanoseconds.load()) / 1e9);
    w.Sample("kestrel_switch_confirm_seconds_count", static_cast<double>(cumulative));
    w.Single("kestrel_mqtt_up", "gauge", "1 while the MQTT broker is connected.", m.mqttUp.load());
    w.Single("kestrel_mqtt_connects_total", "counter", "Times the MQTT broker took the hub.",
             static_cast<double>(m.mqttConnects.load()));
    w.Single("kestrel_http_listeners", "gauge", "Live event streams of the web panel.",
             httpListeners);
    w.Single("process_resident_memory_bytes", "gauge", "Resident memory size in bytes.",
             ResidentBytes());
    w.Single("process_cpu_seconds_total", "counter", "User and system CPU time in seconds.",
             CpuSeconds());
    return w.Text();
}
