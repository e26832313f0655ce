#include "ChannelRules.h"

#include "PulseLength.h"

#include <toml++/toml.h>

#include <charconv>

namespace {

constexpr int kMaxDeadMs = 60000;

// A refusal on its way out of the parse: the line and the dotted key it is about.
struct Refusal {
    int line;
    std::string key;
    std::string what;
};

int LineOf(const toml::node& node) {
    return static_cast<int>(node.source().begin.line);
}

int LineOf(const toml::key& key) {
    return static_cast<int>(key.source().begin.line);
}

int Integer(const toml::node& node, const std::string& key, long min, long max,
            const std::string& allowed) {
    const auto value = node.value_exact<std::int64_t>();
    if (!value || *value < min || *value > max)
        throw Refusal{LineOf(node), key, allowed};
    return static_cast<int>(*value);
}

int ChannelNumber(std::string_view text) {
    int n = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), n);
    if (text.empty() || text[0] == '0' || result.ec != std::errc() ||
        result.ptr != text.data() + text.size() || n < 1 || n > RELAY_CHANNEL_COUNT)
        return 0;
    return n;
}

void ReadChannel(int n, const toml::table& table, const std::string& prefix, ChannelRule& rule) {
    for (const auto& [key, node] : table) {
        const std::string name = prefix + "." + std::string(key.str());
        if (key == "name") {
            const auto text = node.value_exact<std::string>();
            if (!text || text->empty() || text->size() > 64)
                throw Refusal{LineOf(node), name, "a text of 1 to 64 bytes"};
            rule.name = *text;
        } else if (key == "pulse_ms") {
            rule.pulseMs =
                Integer(node, name, PULSE_MS_MIN, PULSE_MS_MAX, "an integer from 50 to 60000");
        } else if (key == "max_on_s") {
            rule.maxOnS = Integer(node, name, 1, 604800, "an integer from 1 to 604800");
        } else if (key == "power_on") {
            const auto text = node.value_exact<std::string>();
            bool known = false;
            for (const PowerOn value : {PowerOn::Board, PowerOn::Off, PowerOn::On, PowerOn::Last}) {
                if (text && *text == PowerOnName(value)) {
                    rule.powerOn = value;
                    known = true;
                }
            }
            if (!known)
                throw Refusal{LineOf(node), name, "\"board\", \"off\", \"on\" or \"last\""};
        } else {
            throw Refusal{LineOf(key), name,
                          "unknown key; channel " + std::to_string(n) +
                              " takes name, pulse_ms, max_on_s and power_on"};
        }
    }
}

void ReadInterlock(const toml::table& table, const std::string& prefix, ChannelRules& rules) {
    InterlockGroup group;
    const int index = static_cast<int>(rules.interlocks.size());
    const toml::array* channels = nullptr;
    int channelsLine = LineOf(table);
    for (const auto& [key, node] : table) {
        const std::string name = prefix + "." + std::string(key.str());
        if (key == "channels") {
            channels = node.as_array();
            channelsLine = LineOf(node);
            if (!channels)
                throw Refusal{LineOf(node), name, "an array of channels 1 to 16"};
        } else if (key == "dead_ms") {
            group.deadMs = Integer(node, name, 0, kMaxDeadMs, "an integer from 0 to 60000");
        } else {
            throw Refusal{LineOf(key), name,
                          "unknown key; an interlock takes channels and dead_ms"};
        }
    }
    const std::string key = prefix + ".channels";
    if (!channels || channels->size() < 2)
        throw Refusal{channelsLine, key, "a group needs 2 or more channels"};
    for (const toml::node& node : *channels) {
        const int n = Integer(node, key, 1, RELAY_CHANNEL_COUNT, "channels 1 to 16");
        const auto bit = static_cast<std::uint16_t>(1u << (n - 1));
        if (group.channels & bit)
            throw Refusal{LineOf(node), key,
                          "channel " + std::to_string(n) + " twice; each channel once"};
        ChannelRule& rule = rules.channels[static_cast<std::size_t>(n - 1)];
        if (rule.interlock >= 0)
            throw Refusal{LineOf(node), key,
                          "channel " + std::to_string(n) +
                              " is in another interlock already; a channel is in one at most"};
        rule.interlock = index;
        group.channels |= bit;
    }
    rules.interlocks.push_back(group);
}

ChannelRules Read(const toml::table& root, std::vector<int>& channelLines) {
    ChannelRules rules;
    channelLines.assign(RELAY_CHANNEL_COUNT, 0);
    for (const auto& [key, node] : root) {
        const std::string name(key.str());
        if (key == "channel") {
            const toml::table* channels = node.as_table();
            if (!channels)
                throw Refusal{LineOf(node), name, "tables [channel.1] to [channel.16]"};
            for (const auto& [number, table] : *channels) {
                const std::string channelKey = "channel." + std::string(number.str());
                const int n = ChannelNumber(number.str());
                if (n == 0)
                    throw Refusal{LineOf(number), channelKey, "a channel is 1 to 16"};
                if (!table.is_table())
                    throw Refusal{LineOf(table), channelKey, "a table of the channel's rules"};
                channelLines[static_cast<std::size_t>(n - 1)] = LineOf(number);
                ReadChannel(n, *table.as_table(), channelKey,
                            rules.channels[static_cast<std::size_t>(n - 1)]);
            }
        } else if (key == "interlock") {
            const toml::array* groups = node.as_array();
            if (!groups || !groups->is_array_of_tables())
                throw Refusal{LineOf(node), name, "[[interlock]] tables"};
            for (std::size_t i = 0; i < groups->size(); ++i)
                ReadInterlock(*groups->get(i)->as_table(), "interlock[" + std::to_string(i) + "]",
                              rules);
        } else {
            throw Refusal{LineOf(key), name,
                          "unknown key; the file takes [channel.N] and [[interlock]]"};
        }
    }
    // Two channels of one group switched on together would defeat the group.
    for (std::size_t g = 0; g < rules.interlocks.size(); ++g) {
        int firstOn = 0;
        for (int n = 1; n <= RELAY_CHANNEL_COUNT; ++n) {
            const ChannelRule& rule = rules.Channel(n);
            if (rule.interlock != static_cast<int>(g) || rule.powerOn != PowerOn::On)
                continue;
            if (firstOn != 0)
                throw Refusal{channelLines[static_cast<std::size_t>(n - 1)],
                              "channel." + std::to_string(n) + ".power_on",
                              "\"on\" for channel " + std::to_string(firstOn) +
                                  " of the same interlock already; one channel of a group at most"};
            firstOn = n;
        }
    }
    return rules;
}

std::string ChannelList(std::uint16_t channels) {
    std::string text;
    for (int n = 1; n <= RELAY_CHANNEL_COUNT; ++n) {
        if (channels >> (n - 1) & 1)
            text += (text.empty() ? "" : ", ") + std::to_string(n);
    }
    return text;
}

} // namespace

bool LoadChannelRules(const std::string& file, ChannelRules& rules, std::string& error) {
    std::vector<int> channelLines;
    try {
        const toml::table root = toml::parse_file(file);
        rules = Read(root, channelLines);
        return true;
    } catch (const toml::parse_error& failure) {
        const auto line = failure.source().begin.line;
        error = file + (line > 0 ? ":" + std::to_string(line) : std::string()) + ": " +
                std::string(failure.description());
    } catch (const Refusal& refusal) {
        error =
            file + ":" + std::to_string(refusal.line) + ": " + refusal.key + ": " + refusal.what;
    }
    return false;
}

std::string DescribeChannelRules(const ChannelRules& rules) {
    std::string text;
    for (int n = 1; n <= RELAY_CHANNEL_COUNT; ++n) {
        const ChannelRule& rule = rules.Channel(n);
        std::string line;
        if (!rule.name.empty())
            line += " name \"" + rule.name + "\";";
        if (rule.pulseMs > 0)
            line += " momentary: off " + std::to_string(rule.pulseMs) + " ms after each on;";
        if (rule.maxOnS > 0)
            line += " auto-off: never on longer than " + std::to_string(rule.maxOnS) + " s;";
        if (rule.powerOn != PowerOn::Board)
            line += std::string(" when the board comes up: ") + PowerOnName(rule.powerOn) + ";";
        if (rule.interlock >= 0)
            line += " interlock " + std::to_string(rule.interlock + 1) + ";";
        if (!line.empty()) {
            line.pop_back();
            text += "channel " + std::to_string(n) + ":" + line + "\n";
        }
    }
    for (std::size_t g = 0; g < rules.interlocks.size(); ++g) {
        const InterlockGroup& group = rules.interlocks[g];
        text += "interlock " + std::to_string(g + 1) + ": channels " + ChannelList(group.channels) +
                ", at most one on; " + std::to_string(group.deadMs) +
                " ms after the others are off before an on\n";
    }
    if (text.empty())
        text = "no channel rules: every channel as the board has it\n";
    return text;
}

const char* PowerOnName(PowerOn powerOn) {
    switch (powerOn) {
    case PowerOn::Off:
        return "off";
    case PowerOn::On:
        return "on";
    case PowerOn::Last:
        return "last";
    case PowerOn::Board:
        break;
    }
    return "board";
}
