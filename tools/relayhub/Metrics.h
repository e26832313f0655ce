// The hub's metrics: counted where things happen (the hub's thread, the MQTT bridge), written
// for Prometheus by the web panel's /metrics.
#pragma once

#include "Captions.h"
#include "Hub.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

// Why the board's connection went, once it was up.
enum class DownReason { Closed, Stale, Error, Overflow };
// Why a client of the board's protocol was turned away.
enum class RefusedReason { BoardDown, Full };
// Why a client's frame went no further.
enum class DroppedReason { BadFrame, NotASwitch, BoardDown };

// Upper bounds, in seconds, of the switch-confirmation histogram's buckets.
inline constexpr std::array<double, 10> CONFIRM_BUCKETS = {0.01, 0.025, 0.05, 0.1, 0.25,
                                                           0.5,  1,     2.5,  5,   10};

// Counters only grow; every member may be touched from any thread.
struct HubMetrics {
    std::atomic<std::uint64_t> boardConnects{0};
    std::array<std::atomic<std::uint64_t>, 4> disconnects{};
    std::atomic<std::uint64_t> statusFrames{0};
    std::atomic<std::uint64_t> badFrames{0};
    std::atomic<int> clients{0};
    std::array<std::atomic<std::uint64_t>, 2> clientsRefused{};
    std::array<std::atomic<std::uint64_t>, 3> clientFramesDropped{};
    std::array<std::atomic<std::uint64_t>, 4> switches{}; // by SwitchSource
    // Not cumulative here: [i] counts those at most CONFIRM_BUCKETS[i], the last the rest.
    std::array<std::atomic<std::uint64_t>, CONFIRM_BUCKETS.size() + 1> confirmBuckets{};
    std::atomic<std::uint64_t> confirmNanoseconds{0};
    std::atomic<bool> mqttUp{false};
    std::atomic<std::uint64_t> mqttConnects{0};

    void Count(DownReason why) { ++disconnects[static_cast<int>(why)]; }
    void Count(RefusedReason why) { ++clientsRefused[static_cast<int>(why)]; }
    void Count(DroppedReason why, std::uint64_t frames = 1) {
        clientFramesDropped[static_cast<int>(why)] += frames;
    }
    void Count(SwitchSource source) { ++switches[static_cast<int>(source)]; }
    void ObserveConfirm(std::chrono::steady_clock::duration took);
};

// The process's one set.
HubMetrics& Metrics();

// The switches sent to the board until a status shows them, for the confirmation
// histogram. The hub's thread only.
class CSwitchTimer {
  public:
    void Sent(const RelayFrame& frame, std::chrono::steady_clock::time_point now);
    // Observes each switch the channels show; forgets those too old to be answered.
    void Status(std::uint16_t channels, std::chrono::steady_clock::time_point now);
    void Clear() { m_pending.clear(); }

  private:
    struct Pending {
        std::uint16_t mask;
        std::uint16_t wanted;
        std::chrono::steady_clock::time_point sent;
    };
    std::vector<Pending> m_pending;
};

// Everything in Prometheus' text format 0.0.4, with the board's state and the web panel's
// live event streams as given.
std::string MetricsText(const BoardSnapshot& board, const ChannelCaptions& captions,
                        int httpListeners);
