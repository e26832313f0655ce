// The hub's core: one connection to the board, polled and reassembled, shared with the
// clients that speak the board's protocol and with the parts of this process (MQTT, web).
#pragma once

#include "RelayFrame.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

struct HubOptions;

// What the hub knows of the board at one moment.
struct BoardSnapshot {
    bool up = false;               // connected, and a good status frame seen on this connection
    std::uint16_t channels = 0;    // bit n-1 = channel n, from the last good status frame
    std::uint64_t statusCount = 0; // good status frames since start; grows by one with each
};

// Told of the board by the hub, on the hub's thread. A listener must not block and must not
// wait on the hub (SendCommand is fine: it only queues). Stop closes the board's
// connection without calling BoardDown: the parts stop before the hub and say so themselves.
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

    // Thread-safe. A switch (0x11, 0x12, 0x13) from a part of this process, queued behind
    // the clients' commands; from says who, for the log. False, logged and dropped when the
    // board is down or the frame is not a switch.
    bool SendCommand(const RelayFrame& frame, const std::string& from);

    // Thread-safe.
    BoardSnapshot Snapshot() const;
    // Thread-safe. Waits until a good status frame newer than afterCount arrives, the board
    // goes down, or the deadline passes; the snapshot then. While the board is down it
    // returns at once (to wait for the board to come up, listen for BoardUp).
    BoardSnapshot WaitForStatus(std::uint64_t afterCount,
                                std::chrono::steady_clock::time_point deadline) const;

  private:
    struct State;
    std::unique_ptr<State> m_state;
};
