// The channel rules at work, driven by the hub's loop with the board's statuses, the
// switches asked for and the time: what may go to the board, and what the hub switches on
// its own (each with one log line giving its reason). No sockets, no threads.
#pragma once

#include "ChannelRules.h"
#include "RelayFrame.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// How long the engine waits for the board to show a switch of its own: an interlock's
// others off before the ON, a pulse's ON, a timer's OFF before sending it again.
inline constexpr std::chrono::seconds RULE_CONFIRM_WAIT{2};

class CChannelRuleEngine {
  public:
    using Clock = std::chrono::steady_clock;
    using LogFunction = std::function<void(const std::string&)>;

    // stateFile: where the channels' states are kept for power_on = "last"; empty for none.
    CChannelRuleEngine(std::string stateFile, LogFunction log);

    void SetRules(const ChannelRules& rules);

    // A switch asked for (from says who); pulseMs > 0 makes an ON a pulse of that length.
    // What goes to the board now, if anything: a set-all may come back changed, and an ON
    // that an interlock holds back comes later among TakeFrames.
    std::optional<RelayFrame> Admit(const RelayFrame& frame, const std::string& from, int pulseMs,
                                    Clock::time_point now);
    // Every switch as it goes to the board, the hub's own included.
    void Sent(const RelayFrame& frame, Clock::time_point now);
    // A good status frame: first on a new connection; answersSwitch when it is the answer
    // to the last switch sent.
    void Status(std::uint16_t channels, bool first, bool answersSwitch, Clock::time_point now);
    void BoardDown();
    // Runs what is due.
    void Tick(Clock::time_point now);
    Clock::time_point NextDeadline() const;
    // The hub's own switches decided since the last call, in order, ahead of the others.
    std::vector<RelayFrame> TakeFrames();
    // Per channel, when a running timer switches it off; max() for none.
    std::array<Clock::time_point, RELAY_CHANNEL_COUNT> OffAt() const;
    // Writes the state file now if it is behind.
    void Flush();

  private:
    struct Channel {
        int pulseMs = 0;    // an ON admitted as a pulse of this length, not yet sent
        int awaitingMs = 0; // sent, waiting for the status that shows it on
        Clock::time_point awaitingSince{};
        int runningMs = 0;
        Clock::time_point pulseOffAt = Clock::time_point::max();
        std::optional<Clock::time_point> onSince; // auto-off's count
        bool autoOffDone = false;
        // A timer's OFF that no status has shown yet is sent again then (logged once).
        Clock::time_point offAgainAt = Clock::time_point::max();
        bool offAgainLogged = false;
    };
    struct Group {
        std::optional<Clock::time_point> lastOff; // a channel of the group seen going off
        bool safeOffSent = false;
        // An ON held back: until the others show off (confirmBy), then until readyAt.
        int pending = 0;
        std::string pendingFrom;
        int pendingPulseMs = 0;
        bool othersOff = false;
        Clock::time_point confirmBy{}, readyAt{};
    };

    Channel& At(int n) { return m_channels[static_cast<std::size_t>(n - 1)]; }
    const ChannelRule& Rule(int n) const { return m_rules.Channel(n); }
    void Switch(const RelayFrame& frame, const std::string& line);
    void SwitchOff(int n, const std::string& why);
    // A timer's OFF (pulse, auto-off), sent again until the board shows it.
    void TimerOff(int n, const std::string& why, Clock::time_point now);
    void DropPending(Group& group, const std::string& why);
    void Arm(int n, int pulseMs);
    void CancelPulse(int n);
    void BoardCameUp(std::uint16_t channels);
    void CheckGroups(std::uint16_t channels, Clock::time_point now);
    void RememberState(std::uint16_t channels, Clock::time_point now);

    std::string m_stateFile;
    LogFunction m_log;
    ChannelRules m_rules;
    std::array<Channel, RELAY_CHANNEL_COUNT> m_channels{};
    std::vector<Group> m_groups;
    std::vector<RelayFrame> m_frames;
    bool m_up = false;
    std::uint16_t m_board = 0;       // the last status
    std::uint16_t m_unconfirmed = 0; // switched on, not yet answered
    std::uint16_t m_offOrdered = 0;  // switched off by the hub, not yet shown off
    std::uint16_t m_pulseOwed = 0;   // an OFF still owed for a pulse
    // power_on = "last": what was last seen, and whether it is known.
    std::optional<std::uint16_t> m_last;
    bool m_keepState = false;  // some channel has power_on = "last"
    std::uint16_t m_saved = 0; // what the state file holds, or is about to
    bool m_saveDue = false;
    Clock::time_point m_nextSave{};
};
