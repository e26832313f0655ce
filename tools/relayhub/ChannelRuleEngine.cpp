#include "ChannelRuleEngine.h"

#include "ChannelStateFile.h"

#include <algorithm>
#include <bit>
#include <utility>

namespace {

using namespace std::chrono_literals;

// The state file is written at most this often.
constexpr auto kSavePeriod = 1s;

constexpr std::uint16_t Bit(int n) {
    return static_cast<std::uint16_t>(1u << (n - 1));
}

std::string List(std::uint16_t channels) {
    std::string text;
    for (int n = 1; n <= RELAY_CHANNEL_COUNT; ++n) {
        if (channels & Bit(n))
            text += (text.empty() ? "" : ", ") + std::to_string(n);
    }
    return text;
}

std::string Channels(std::uint16_t channels) {
    return (std::popcount(channels) == 1 ? "channel " : "channels ") + List(channels);
}

RelayFrame SetAll(std::uint16_t channels) {
    return BuildRelayCommand(RELAY_CMD_SET_ALL, channels);
}

} // namespace

CChannelRuleEngine::CChannelRuleEngine(std::string stateFile, LogFunction log)
    : m_stateFile(std::move(stateFile)), m_log(std::move(log)) {
    if (m_stateFile.empty())
        return;
    std::uint16_t channels = 0;
    std::string error;
    if (ReadChannelStateFile(m_stateFile, channels, error)) {
        m_last = channels;
        m_saved = channels;
    } else if (!error.ends_with("none yet")) {
        m_log("state file " + error);
    }
}

void CChannelRuleEngine::SetRules(const ChannelRules& rules) {
    // A group's timers belong to the group; a new file starts its groups afresh, but for
    // the dead time after an off, which still runs for any group with that channel.
    std::vector<Group> groups(rules.interlocks.size());
    for (std::size_t g = 0; g < m_groups.size(); ++g) {
        if (m_groups[g].pending)
            DropPending(m_groups[g], "the rules were reloaded");
        for (std::size_t n = 0; n < groups.size(); ++n) {
            const auto& lastOff = m_groups[g].lastOff;
            if (lastOff && m_rules.interlocks[g].channels & rules.interlocks[n].channels)
                groups[n].lastOff = std::max(groups[n].lastOff.value_or(*lastOff), *lastOff);
        }
    }
    m_rules = rules;
    m_groups = std::move(groups);
    // The disk is written only for a rule that reads it back (an SD card wears).
    m_keepState =
        std::any_of(rules.channels.begin(), rules.channels.end(),
                    [](const ChannelRule& rule) { return rule.powerOn == PowerOn::Last; });
    if (m_up)
        RememberState(m_board, Clock::now());
}

std::optional<RelayFrame> CChannelRuleEngine::Admit(const RelayFrame& frame,
                                                    const std::string& from, int pulseMs,
                                                    Clock::time_point now) {
    const std::uint32_t parameter = RelayFrameParameter(frame);
    if (frame[2] == RELAY_CMD_SET_ALL) {
        std::uint16_t wanted = static_cast<std::uint16_t>(parameter);
        std::uint16_t grouped = 0;
        for (std::size_t g = 0; g < m_groups.size(); ++g) {
            const std::uint16_t members = m_rules.interlocks[g].channels;
            grouped |= members;
            if (m_groups[g].pending && !(wanted & Bit(m_groups[g].pending)))
                DropPending(m_groups[g], "a set-all from " + from + " came after it");
        }
        // A set-all may switch grouped channels off but never on: that is the ON's path.
        const std::uint16_t kept =
            static_cast<std::uint16_t>((wanted & ~grouped) | (wanted & grouped & m_board));
        if (kept != wanted)
            m_log("set-all from " + from + ": " + Channels(wanted & grouped & ~m_board) +
                  " left off (interlock)");
        for (int n = 1; n <= RELAY_CHANNEL_COUNT; ++n) {
            if (!(kept & Bit(n)))
                CancelPulse(n);
            else if (Rule(n).pulseMs > 0 && !(m_board & Bit(n)))
                Arm(n, Rule(n).pulseMs);
        }
        // Unchanged, it goes as it came: without rules the hub passes frames on whole.
        return kept == wanted ? frame : SetAll(kept);
    }
    if (parameter < 1 || parameter > RELAY_CHANNEL_COUNT)
        return frame; // the board ignores it
    const int n = static_cast<int>(parameter);
    const int g = Rule(n).interlock;
    if (frame[2] == RELAY_CMD_OFF) {
        CancelPulse(n);
        if (g >= 0 && m_groups[g].pending == n)
            DropPending(m_groups[g], "an off from " + from + " came after it");
        return frame;
    }
    const int length = pulseMs > 0 ? pulseMs : Rule(n).pulseMs;
    if (g < 0) {
        Arm(n, length);
        return frame;
    }
    Group& group = m_groups[static_cast<std::size_t>(g)];
    const InterlockGroup& rule = m_rules.interlocks[static_cast<std::size_t>(g)];
    if (group.pending)
        DropPending(group, "channel " + std::to_string(n) + " on from " + from + " came after it");
    const auto others =
        static_cast<std::uint16_t>(rule.channels & ~Bit(n) & (m_board | m_unconfirmed));
    const auto readyAt = group.lastOff ? *group.lastOff + std::chrono::milliseconds(rule.deadMs)
                                       : Clock::time_point{};
    if (others == 0 && now >= readyAt) {
        Arm(n, length);
        return frame;
    }
    group.pending = n;
    group.pendingFrom = from;
    group.pendingPulseMs = length;
    group.othersOff = others == 0;
    group.confirmBy = now + RULE_CONFIRM_WAIT;
    group.readyAt = readyAt;
    for (int other = 1; other <= RELAY_CHANNEL_COUNT; ++other) {
        if (others & Bit(other))
            SwitchOff(other, "interlock, before channel " + std::to_string(n) + " on for " + from);
    }
    return std::nullopt;
}

void CChannelRuleEngine::Sent(const RelayFrame& frame, Clock::time_point now) {
    const std::uint32_t parameter = RelayFrameParameter(frame);
    std::uint16_t on = 0;
    if (frame[2] == RELAY_CMD_SET_ALL)
        on = static_cast<std::uint16_t>(parameter & ~m_board);
    else if (frame[2] == RELAY_CMD_ON && parameter >= 1 && parameter <= RELAY_CHANNEL_COUNT)
        on = Bit(static_cast<int>(parameter));
    m_unconfirmed |= on;
    if (frame[2] == RELAY_CMD_OFF && parameter >= 1 && parameter <= RELAY_CHANNEL_COUNT) {
        Channel& channel = At(static_cast<int>(parameter));
        if (channel.offAgainAt != Clock::time_point::max())
            channel.offAgainAt = now + RULE_CONFIRM_WAIT;
    }
    for (int n = 1; n <= RELAY_CHANNEL_COUNT; ++n) {
        Channel& channel = At(n);
        if (on & Bit(n) && channel.pulseMs > 0) {
            channel.awaitingMs = channel.pulseMs;
            channel.awaitingSince = now;
            channel.pulseMs = 0;
        }
    }
}

void CChannelRuleEngine::Status(std::uint16_t channels, bool first, bool answersSwitch,
                                Clock::time_point now) {
    const std::uint16_t before = first ? 0 : m_board;
    if (first)
        BoardCameUp(channels);
    m_up = true;
    m_board = channels;
    m_unconfirmed = answersSwitch ? 0 : static_cast<std::uint16_t>(m_unconfirmed & ~channels);
    m_offOrdered &= channels;
    m_pulseOwed &= channels;
    for (std::size_t g = 0; g < m_groups.size(); ++g) {
        if (before & ~channels & m_rules.interlocks[g].channels)
            m_groups[g].lastOff = now;
    }
    for (int n = 1; n <= RELAY_CHANNEL_COUNT; ++n) {
        Channel& channel = At(n);
        const ChannelRule& rule = Rule(n);
        if (channel.awaitingMs > 0 && now - channel.awaitingSince > RULE_CONFIRM_WAIT)
            channel.awaitingMs = 0; // the board took no notice of the ON
        if (!(channels & Bit(n))) {
            if (channel.awaitingMs == 0 || answersSwitch)
                CancelPulse(n);
            channel.onSince.reset();
            channel.autoOffDone = false;
            channel.offAgainAt = Clock::time_point::max();
            channel.offAgainLogged = false;
            continue;
        }
        if (channel.awaitingMs > 0 && (answersSwitch || !(before & Bit(n)))) {
            channel.runningMs = channel.awaitingMs;
            channel.pulseOffAt = now + std::chrono::milliseconds(channel.awaitingMs);
            channel.awaitingMs = 0;
            channel.offAgainAt = Clock::time_point::max();
            m_pulseOwed |= Bit(n);
        } else if (rule.pulseMs > 0 && !(before & Bit(n)) && !(m_offOrdered & Bit(n)) &&
                   channel.pulseOffAt == Clock::time_point::max()) {
            // Switched on outside the hub: a momentary channel is released all the same.
            channel.runningMs = rule.pulseMs;
            channel.pulseOffAt = now + std::chrono::milliseconds(rule.pulseMs);
            m_pulseOwed |= Bit(n);
        }
        if (!channel.onSince)
            channel.onSince = now;
    }
    CheckGroups(channels, now);
    // At the first status, what the hub has just asked for, so that a board gone again
    // before it obeys still comes back to it.
    RememberState(first ? *m_last : channels, now);
    Tick(now);
}

void CChannelRuleEngine::BoardCameUp(std::uint16_t reported) {
    // A pulse that was running when the board went away ends first: the state promised.
    const std::uint16_t pulsed = m_pulseOwed & reported;
    for (int n = 1; n <= RELAY_CHANNEL_COUNT; ++n) {
        if (pulsed & Bit(n))
            SwitchOff(n, "its pulse of " + std::to_string(At(n).runningMs) +
                             " ms was running when the board went away");
        if (!(reported & Bit(n)) || pulsed & Bit(n)) {
            CancelPulse(n);
            At(n).awaitingMs = 0;
        }
    }
    const auto start = static_cast<std::uint16_t>(reported & ~pulsed);
    std::uint16_t target = start;
    std::string why;
    for (int n = 1; n <= RELAY_CHANNEL_COUNT; ++n) {
        const PowerOn powerOn = Rule(n).powerOn;
        bool on = start & Bit(n);
        if (powerOn == PowerOn::On || (powerOn == PowerOn::Last && m_last && *m_last & Bit(n)))
            on = true;
        else if (powerOn == PowerOn::Off || (powerOn == PowerOn::Last && m_last))
            on = false;
        target = static_cast<std::uint16_t>(on ? target | Bit(n) : target & ~Bit(n));
    }
    for (std::size_t g = 0; g < m_groups.size(); ++g) {
        const std::uint16_t members = m_rules.interlocks[g].channels;
        if (std::popcount(static_cast<std::uint16_t>(reported & members)) > 1) {
            target &= static_cast<std::uint16_t>(~members);
            m_groups[g].safeOffSent = true;
            why += "; " + Channels(reported & members) + " were on together (interlock)";
        } else if (target & ~start & members && start & ~target & members) {
            // No changeover without the dead time: only the OFF now.
            target = static_cast<std::uint16_t>((target & ~members) | (start & target & members));
        } else if (std::popcount(static_cast<std::uint16_t>(target & members)) > 1) {
            target = static_cast<std::uint16_t>((target & ~members) | (start & members));
        }
    }
    const auto changed = static_cast<std::uint16_t>(target ^ start);
    for (int n = 1; n <= RELAY_CHANNEL_COUNT; ++n) {
        if (changed & Bit(n) && Rule(n).powerOn != PowerOn::Board)
            why += "; channel " + std::to_string(n) + (target & Bit(n) ? " on" : " off") +
                   " (power_on = " + PowerOnName(Rule(n).powerOn) + ")";
    }
    if (changed) {
        m_offOrdered |= static_cast<std::uint16_t>(start & ~target);
        Switch(SetAll(target), "set-all to " + (target ? List(target) : std::string("none")) +
                                   " on: the board came up" + why);
    }
    m_last = target;
}

void CChannelRuleEngine::CheckGroups(std::uint16_t channels, Clock::time_point now) {
    std::uint16_t off = 0;
    std::string why;
    for (std::size_t g = 0; g < m_groups.size(); ++g) {
        Group& group = m_groups[g];
        const std::uint16_t members = m_rules.interlocks[g].channels;
        const auto on = static_cast<std::uint16_t>(channels & members);
        if (std::popcount(on) <= 1) {
            group.safeOffSent = false;
        } else if (!group.safeOffSent) {
            group.safeOffSent = true;
            off |= members;
            why += (why.empty() ? "" : "; ") + Channels(on) + " on together (interlock)";
        }
        if (group.pending && !group.othersOff && !(channels & members & ~Bit(group.pending))) {
            group.othersOff = true;
            group.readyAt = now + std::chrono::milliseconds(m_rules.interlocks[g].deadMs);
        }
    }
    if (off) {
        m_offOrdered |= static_cast<std::uint16_t>(channels & off);
        Switch(SetAll(static_cast<std::uint16_t>(channels & ~off)),
               Channels(channels & off) + " off: " + why);
    }
}

void CChannelRuleEngine::Tick(Clock::time_point now) {
    if (m_up) {
        for (int n = 1; n <= RELAY_CHANNEL_COUNT; ++n) {
            Channel& channel = At(n);
            const int maxOnS = Rule(n).maxOnS;
            if (channel.pulseOffAt <= now) {
                channel.pulseOffAt = Clock::time_point::max();
                TimerOff(n, "pulse of " + std::to_string(channel.runningMs) + " ms", now);
            } else if (maxOnS > 0 && channel.onSince && !channel.autoOffDone &&
                       !(m_offOrdered & Bit(n)) &&
                       now >= *channel.onSince + std::chrono::seconds(maxOnS)) {
                channel.autoOffDone = true;
                TimerOff(n, "on for " + std::to_string(maxOnS) + " s (max_on_s)", now);
            } else if (channel.offAgainAt <= now && m_board & Bit(n)) {
                channel.offAgainAt = now + RULE_CONFIRM_WAIT;
                m_offOrdered |= Bit(n);
                m_frames.push_back(BuildRelayCommand(RELAY_CMD_OFF, static_cast<std::uint32_t>(n)));
                if (!std::exchange(channel.offAgainLogged, true))
                    m_log("channel " + std::to_string(n) +
                          " off again: still on 2 s after the hub's off (again every 2 s until "
                          "the board shows it off)");
            }
        }
        for (std::size_t g = 0; g < m_groups.size(); ++g) {
            Group& group = m_groups[g];
            if (!group.pending)
                continue;
            const std::uint16_t others =
                m_rules.interlocks[g].channels & ~Bit(group.pending) & (m_board | m_unconfirmed);
            if (!group.othersOff && now >= group.confirmBy) {
                DropPending(group,
                            "the board did not show " + Channels(others) + " off within 2 s");
            } else if (group.othersOff && now >= group.readyAt) {
                if (others) {
                    DropPending(group, Channels(others) + " on again");
                    continue;
                }
                const int n = group.pending;
                group.pending = 0;
                Arm(n, group.pendingPulseMs);
                Switch(BuildRelayCommand(RELAY_CMD_ON, static_cast<std::uint32_t>(n)),
                       "channel " + std::to_string(n) + " on for " + group.pendingFrom + ": " +
                           std::to_string(m_rules.interlocks[g].deadMs) +
                           " ms after the others showed off (interlock)");
            }
        }
    }
    if (m_saveDue && now >= m_nextSave)
        Flush();
}

CChannelRuleEngine::Clock::time_point CChannelRuleEngine::NextDeadline() const {
    auto deadline = m_saveDue ? m_nextSave : Clock::time_point::max();
    if (!m_up)
        return deadline;
    for (const auto at : OffAt())
        deadline = std::min(deadline, at);
    for (const Channel& channel : m_channels)
        deadline = std::min(deadline, channel.offAgainAt);
    for (std::size_t g = 0; g < m_groups.size(); ++g) {
        const Group& group = m_groups[g];
        if (group.pending)
            deadline = std::min(deadline, group.othersOff ? group.readyAt : group.confirmBy);
    }
    return deadline;
}

std::vector<RelayFrame> CChannelRuleEngine::TakeFrames() {
    std::vector<RelayFrame> frames;
    frames.swap(m_frames);
    return frames;
}

std::array<CChannelRuleEngine::Clock::time_point, RELAY_CHANNEL_COUNT>
CChannelRuleEngine::OffAt() const {
    std::array<Clock::time_point, RELAY_CHANNEL_COUNT> offAt;
    for (int n = 1; n <= RELAY_CHANNEL_COUNT; ++n) {
        const Channel& channel = m_channels[static_cast<std::size_t>(n - 1)];
        auto at = channel.pulseOffAt;
        const int maxOnS = Rule(n).maxOnS;
        if (maxOnS > 0 && channel.onSince && !channel.autoOffDone && !(m_offOrdered & Bit(n)))
            at = std::min(at, *channel.onSince + std::chrono::seconds(maxOnS));
        offAt[static_cast<std::size_t>(n - 1)] = at;
    }
    return offAt;
}

void CChannelRuleEngine::BoardDown() {
    m_up = false;
    for (Group& group : m_groups) {
        if (group.pending)
            DropPending(group, "the board went away");
        group.safeOffSent = false;
    }
    m_unconfirmed = 0;
    m_offOrdered = 0;
}

void CChannelRuleEngine::Flush() {
    if (!m_saveDue || m_stateFile.empty())
        return;
    m_saveDue = false;
    m_nextSave = Clock::now() + kSavePeriod;
    std::string error;
    if (WriteChannelStateFile(m_stateFile, m_saved, error))
        return;
    m_log("state file not written: " + error);
}

void CChannelRuleEngine::RememberState(std::uint16_t channels, Clock::time_point now) {
    m_last = channels;
    if (m_stateFile.empty() || !m_keepState || channels == m_saved)
        return;
    m_saved = channels;
    if (!m_saveDue && m_nextSave < now)
        m_nextSave = now;
    m_saveDue = true;
}

void CChannelRuleEngine::Switch(const RelayFrame& frame, const std::string& line) {
    m_frames.push_back(frame);
    m_log(line);
}

void CChannelRuleEngine::SwitchOff(int n, const std::string& why) {
    m_offOrdered |= Bit(n);
    Switch(BuildRelayCommand(RELAY_CMD_OFF, static_cast<std::uint32_t>(n)),
           "channel " + std::to_string(n) + " off: " + why);
}

void CChannelRuleEngine::TimerOff(int n, const std::string& why, Clock::time_point now) {
    At(n).offAgainAt = now + RULE_CONFIRM_WAIT;
    SwitchOff(n, why);
}

void CChannelRuleEngine::DropPending(Group& group, const std::string& why) {
    m_log("dropped channel " + std::to_string(group.pending) + " on from " + group.pendingFrom +
          ": " + why);
    group.pending = 0;
}

void CChannelRuleEngine::Arm(int n, int pulseMs) {
    At(n).pulseMs = pulseMs;
}

void CChannelRuleEngine::CancelPulse(int n) {
    Channel& channel = At(n);
    channel.pulseMs = 0;
    channel.awaitingMs = 0;
    channel.pulseOffAt = Clock::time_point::max();
    m_pulseOwed &= static_cast<std::uint16_t>(~Bit(n));
}
