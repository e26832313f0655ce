// The per-channel rules the board lacks (relayhub.toml): momentary, auto-off, the state after
// the board comes up, and interlock groups. The hub enforces them for every switch, whoever
// sends it.
#pragma once

#include "RelayFrame.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

enum class PowerOn { Board, Off, On, Last };

struct ChannelRule {
    std::string name; // empty: the caption from canshu.ini
    int pulseMs = 0;  // momentary when > 0
    int maxOnS = 0;   // auto-off when > 0
    PowerOn powerOn = PowerOn::Board;
    int interlock = -1; // index into ChannelRules::interlocks, -1 for none
};

struct InterlockGroup {
    std::uint16_t channels = 0; // bit n-1 = channel n; two or more
    int deadMs = 0;
};

// Without a file every channel has the default rule: the hub behaves as it always did.
struct ChannelRules {
    std::array<ChannelRule, RELAY_CHANNEL_COUNT> channels; // [n-1]
    std::vector<InterlockGroup> interlocks;

    const ChannelRule& Channel(int n) const { return channels[static_cast<std::size_t>(n - 1)]; }
};

// Reads and checks the whole file; false with "FILE:LINE: KEY: what is allowed" and the
// rules untouched, so that no half of a file is ever applied.
bool LoadChannelRules(const std::string& file, ChannelRules& rules, std::string& error);
// "board", "off", "on" or "last", as the file writes it.
const char* PowerOnName(PowerOn powerOn);
// The effective rules, a line each, for --check-config and the log.
std::string DescribeChannelRules(const ChannelRules& rules);
