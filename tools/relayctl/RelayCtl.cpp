#include "RelayCtl.h"

#include <cstdio>
#include <ctime>
#include <thread>
#include <vector>

volatile std::sig_atomic_t g_relayctlStop = 0;

namespace {

// The panel's receive time-out counts ticks of its 30 ms timer.
constexpr std::chrono::milliseconds kTick(30);
constexpr int kRequeries = 3;
const RelayFrame kQuery = BuildRelayCommand(RELAY_CMD_QUERY, 0);

std::string ChannelList(std::uint16_t channels) {
    std::string list;
    for (int channel = 1; channel <= RELAY_CHANNEL_COUNT; ++channel) {
        // Appended, not += " " + ...: the insert that makes that temporary draws a false
        // -Wrestrict from GCC 12 when optimised (GCC bug 105651).
        if (channels >> (channel - 1) & 1)
            list.append(" ").append(std::to_string(channel));
    }
    return list.empty() ? " none" : list;
}

// "on: 1 3 16  #.#............#", channel 1 first, or the JSON object.
std::string StatusText(std::uint16_t channels, bool json) {
    std::string text = json ? "\"channels\":[" : "on:" + ChannelList(channels) + "  ";
    for (int channel = 1; channel <= RELAY_CHANNEL_COUNT; ++channel) {
        const bool on = channels >> (channel - 1) & 1;
        text += json ? (on ? "true" : "false") : (on ? "#" : ".");
        if (json && channel < RELAY_CHANNEL_COUNT)
            text += ",";
    }
    if (!json)
        return text;
    char mask[16];
    std::snprintf(mask, sizeof mask, "0x%04X", channels);
    return text + "],\"mask\":\"" + mask + "\"";
}

std::string Timestamp() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    char text[40];
    const std::size_t n =
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", std::localtime(&seconds));
    std::snprintf(
        text + n, sizeof text - n, ".%03d",
        static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000));
    return text;
}

// One on or off frame per channel of mask, as wanted says, channel 1 first.
std::vector<RelayFrame> SwitchFrames(std::uint16_t mask, std::uint16_t wanted) {
    std::vector<RelayFrame> frames;
    for (int channel = 1; channel <= RELAY_CHANNEL_COUNT; ++channel) {
        if (mask >> (channel - 1) & 1)
            frames.push_back(
                BuildRelayCommand(wanted >> (channel - 1) & 1 ? RELAY_CMD_ON : RELAY_CMD_OFF,
                                  static_cast<std::uint32_t>(channel)));
    }
    return frames;
}

} // namespace

CRelayCtl::CRelayCtl(CBoardSocket& socket, const CommandLine& line, std::string where)
    : m_socket(socket), m_line(line), m_where(std::move(where)) {}

int CRelayCtl::Run() {
    const std::uint16_t mask = m_line.channels;
    switch (m_line.command) {
    case Command::Status:
        return Exchange({kQuery}, 0, 0);
    case Command::On:
        return Exchange(SwitchFrames(mask, mask), mask, mask);
    case Command::Off:
        return Exchange(SwitchFrames(mask, 0), mask, 0);
    case Command::Toggle: {
        const int code = Exchange({kQuery}, 0, 0, false);
        const auto wanted = static_cast<std::uint16_t>(~m_status);
        return code != RELAYCTL_DONE ? code : Exchange(SwitchFrames(mask, wanted), mask, wanted);
    }
    case Command::AllOn:
        return Exchange({BuildRelayCommand(RELAY_CMD_SET_ALL, 0xFFFFFFFF)}, 0xFFFF, 0xFFFF);
    case Command::AllOff:
        return Exchange({BuildRelayCommand(RELAY_CMD_SET_ALL, 0)}, 0xFFFF, 0);
    case Command::Pulse: {
        const std::uint16_t first = m_line.offFirst ? 0 : mask;
        const int code = Exchange(SwitchFrames(mask, first), mask, first);
        if (code != RELAYCTL_DONE)
            return code;
        std::this_thread::sleep_for(std::chrono::milliseconds(m_line.pulseMs));
        const auto second = static_cast<std::uint16_t>(~first);
        return Exchange(SwitchFrames(mask, second), mask, second);
    }
    case Command::Watch:
        return Watch();
    }
    return RELAYCTL_BAD_USAGE;
}

bool CRelayCtl::SendFrame(const RelayFrame& frame) {
    if (!m_lost && !m_socket.Send(frame.data(), frame.size()))
        m_lost = true;
    return !m_lost;
}

bool CRelayCtl::NextStatus(Clock::time_point deadline) {
    while (!m_lost && !g_relayctlStop) {
        const auto start = Clock::now();
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - start);
        if (left.count() <= 0)
            return false;
        std::uint8_t byte = 0;
        const int got = m_socket.ReceiveByte(byte, static_cast<int>(std::min(left, kTick).count()));
        if (got < 0) {
            m_lost = true;
        } else if (got == 0) {
            // Quiet time as the panel's timer ticks: after 10 a partial frame is dropped.
            for (auto ticks = (Clock::now() - start) / kTick; ticks > 0; --ticks)
                m_rx.TickRxTimeout();
        } else if (m_rx.PushRxByte(byte)) {
            m_status = RelayStatusChannels(m_rx.m_rxFrame);
            return true;
        }
    }
    return false;
}

int CRelayCtl::Confirm(std::uint16_t mask, std::uint16_t wanted) {
    bool anyStatus = false;
    for (int query = 0; query <= kRequeries && !m_lost; ++query) {
        if (query > 0 && !SendFrame(kQuery))
            break;
        const auto deadline = Clock::now() + std::chrono::milliseconds(m_line.timeoutMs);
        while (NextStatus(deadline)) {
            anyStatus = true;
            if (((m_status ^ wanted) & mask) == 0)
                return RELAYCTL_DONE;
        }
    }
    if (m_lost)
        return LinkLost();
    if (!anyStatus)
        std::fprintf(stderr, "relayctl: no status from %s within %d tries of %d ms\n",
                     m_where.c_str(), kRequeries + 1, m_line.timeoutMs);
    else
        std::fprintf(stderr, "relayctl: %s did not confirm channels%s (its last status: %s)\n",
                     m_where.c_str(),
                     ChannelList(static_cast<std::uint16_t>((m_status ^ wanted) & mask)).c_str(),
                     StatusText(m_status, false).c_str());
    return RELAYCTL_NOT_CONFIRMED;
}

int CRelayCtl::Exchange(const std::vector<RelayFrame>& frames, std::uint16_t mask,
                        std::uint16_t wanted, bool print) {
    for (const RelayFrame& frame : frames) {
        if (!SendFrame(frame))
            return LinkLost();
    }
    if (mask != 0 && !m_line.verify)
        return RELAYCTL_DONE;
    const int code = Confirm(mask, wanted);
    if (code == RELAYCTL_DONE && print)
        Print();
    return code;
}

int CRelayCtl::Watch() {
    bool shown = false;
    std::uint16_t last = 0;
    while (!g_relayctlStop && SendFrame(kQuery)) {
        const auto next = Clock::now() + std::chrono::milliseconds(m_line.intervalMs);
        while (NextStatus(next)) {
            if (!shown || m_status != last)
                Print(Timestamp());
            shown = true;
            last = m_status;
        }
    }
    return m_lost ? LinkLost() : RELAYCTL_DONE;
}

int CRelayCtl::LinkLost() const {
    std::fprintf(stderr, "relayctl: connection to %s lost: %s\n", m_where.c_str(),
                 m_socket.LastError().c_str());
    return RELAYCTL_NO_LINK;
}

void CRelayCtl::Print(const std::string& time) const {
    const std::string status = StatusText(m_status, m_line.json);
    if (m_line.json)
        std::printf("{%s%s}\n", time.empty() ? "" : ("\"time\":\"" + time + "\",").c_str(),
                    status.c_str());
    else
        std::printf("%s%s\n", time.empty() ? "" : (time + " ").c_str(), status.c_str());
    std::fflush(stdout);
}
