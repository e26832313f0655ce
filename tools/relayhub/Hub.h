// The hub's core: one connection to the board, polled and reassembled, shared with the
// clients that speak the board's protocol and with the parts of this process (MQTT, web).
#pragma once

#include "ChannelRules.h"
#include "RelayFrame.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

struct HubOptions;

// Who asked for a switch: a client of the board's protocol, MQTT, the web panel, or the hub
// itself enforcing a rule.
enum class SwitchSource { Client, Mqtt, Web, Rule };

// What the hub knows of the board at one moment.
struct BoardSnapshot {
    bool up = false;               // connected, and a good status frame seen on this connection
    std::uint16_t channels = 0;    // bit n-1 = channel n, from the last good status frame
    std::uint64_t statusCount = 0; // good status frames since start; grows by one with each
    // Per channel [n-1], when a running timer (pulse or auto-off) switches it off; max() for
    // none.
    std::array<std::chrono::steady_clock::time_point, RELAY_CHANNEL_COUNT> offAt;
    BoardSnapshot() { offAt.fill(std::chrono::steady_clock::time_point::max()); }
};

// Told of the board and its timers by the hub, on the hub's thread. A listener must not
// block and must not wait on the hub (SendCommand is fine: it only queues). Stop closes the
// board's connection without calling BoardDown: the parts stop before the hub and say so
// themselves.
class HubListener {
  public:
    virtual ~HubListener() = default;
    // The first good status frame of a connection: the board is up, all channels as given.
    virtual void BoardUp(std::uint16_t channels) = 0;
    // The connection has gone (closed, failed, or no good status for too long).
    virtual void BoardDown() = 0;
    // A good status frame whose channels differ from the last; changed has a bit per
    // channel that differs.
    virtual void StatusChanged(std::uint16_t channels, std::uint16_t changed) = 0;
    // New rules are in force (a reload); names and momentary channels may have changed.
    virtual void RulesChanged(const ChannelRules& /*rules*/) {}
    // The timers (BoardSnapshot::offAt, already in the snapshot) differ from the last told;
    // they also change with no change of the board: a pulse restarted, an auto-off begun.
    virtual void TimersChanged(
        const std::array<std::chrono::steady_clock::time_point, RELAY_CHANNEL_COUNT>& /*offAt*/) {}
};

// A part of the hub beside its clients (MQTT, the web panel): a listener, started once the
// hub runs and stopped before it, so that it can still say goodbye.
class CHubPart : public HubListener {
  public:
    // False with a reason when the part cannot work (its options, its files, its port).
    virtual bool Start(std::string& error) = 0;
    // Idempotent; the hub may still call the listener afterwards.
    virtual void Stop() = 0;
};

class CRelayHub {
  public:
    explicit CRelayHub(const HubOptions& options);
    ~CRelayHub(); // stops
    CRelayHub(const CRelayHub&) = delete;
    CRelayHub& operator=(const CRelayHub&) = delete;

    // Before Start; the listener outlives the hub's thread.
    void AddListener(HubListener& listener);

    // Binds the client listener and starts the hub's thread; false with a reason.
    bool Start(std::string& error);
    // Closes every connection and joins the thread. Idempotent.
    void Stop();

    // Thread-safe, before Start or at any time (a reload): the rules in force from the hub's
    // next round, when the listeners hear of them.
    void SetRules(const ChannelRules& rules);
    ChannelRules Rules() const;

    // Thread-safe. A switch (0x11, 0x12, 0x13) from a part of this process, queued behind
    // the clients' commands; from says who, for the log. False, logged and dropped when the
    // board is down or the frame is not a switch.
    bool SendCommand(const RelayFrame& frame, SwitchSource source, const std::string& from);
    // Thread-safe. Switches the channel on, and off again ms after the board confirms the
    // on, whatever its rules; false, logged and dropped when the board is down.
    bool PulseChannel(int channel, int ms, SwitchSource source, const std::string& from);

    // Thread-safe.
    BoardSnapshot Snapshot() const;
    // Thread-safe. Waits until a good status frame newer than afterCount arrives, the board
    // goes down, or the deadline passes; the snapshot then. While the board is down it
    // returns at once (to wait for the board to come up, listen for BoardUp).
    BoardSnapshot WaitForStatus(std::uint64_t afterCount,
                                std::chrono::steady_clock::time_point deadline) const;

  private:
    bool Queue(const RelayFrame& frame, SwitchSource source, const std::string& from, int pulseMs);

    struct State;
    std::unique_ptr<State> m_state;
};
