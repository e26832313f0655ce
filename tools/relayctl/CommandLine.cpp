#include "CommandLine.h"

#include "RelayFrame.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <string_view>

namespace {

constexpr struct {
    std::string_view name;
    Command command;
    bool takesChannels;
} kCommands[] = {
    {"status", Command::Status, false}, {"on", Command::On, true},
    {"off", Command::Off, true},        {"toggle", Command::Toggle, true},
    {"all-on", Command::AllOn, false},  {"all-off", Command::AllOff, false},
    {"pulse", Command::Pulse, true},    {"watch", Command::Watch, false},
};

// Decimal digits only, within [min, max].
bool ParseNumber(std::string_view text, long min, long max, long& value) {
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return !text.empty() && text[0] != '-' && text[0] != '+' && result.ec == std::errc() &&
           result.ptr == end && value >= min && value <= max;
}

// "3", "5-8" or a comma list of those; adds them to mask.
bool ParseChannels(std::string_view text, std::uint16_t& mask) {
    while (true) {
        const auto comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        const auto dash = item.find('-');
        long first = 0, last = 0;
        if (!ParseNumber(item.substr(0, dash), 1, RELAY_CHANNEL_COUNT, first))
            return false;
        last = first;
        if (dash != std::string_view::npos &&
            !ParseNumber(item.substr(dash + 1), first, RELAY_CHANNEL_COUNT, last))
            return false;
        for (long channel = first; channel <= last; ++channel)
            mask = static_cast<std::uint16_t>(mask | 1u << (channel - 1));
        if (comma == std::string_view::npos)
            return true;
        text.remove_prefix(comma + 1);
    }
}

} // namespace

bool ParseCommandLine(int argc, char** argv, CommandLine& line, std::string& error) {
    bool haveCommand = false, takesChannels = false;
    bool pulseOption = false, intervalOption = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const std::string_view value = i + 1 < argc ? argv[i + 1] : "";
        long n = 0;
        auto number = [&](long min, long max) {
            ++i;
            if (ParseNumber(value, min, max, n))
                return true;
            error = std::string(arg) + " needs a number from " + std::to_string(min) + " to " +
                    std::to_string(max);
            return false;
        };
        if (arg == "--help" || arg == "-h") {
            line.help = true;
            return true;
        } else if (arg == "--json") {
            line.json = true;
        } else if (arg == "--no-verify") {
            line.verify = false;
        } else if (arg == "--off-first") {
            line.offFirst = pulseOption = true;
        } else if (arg == "--host") {
            if (++i >= argc || value.empty()) {
                error = "--host needs an address";
                return false;
            }
            line.host = std::string(value);
        } else if (arg == "--port") {
            if (!number(1, 65535))
                return false;
            line.port = static_cast<std::uint16_t>(n);
        } else if (arg == "--timeout" || arg == "--ms" || arg == "--interval") {
            if (!number(arg == "--ms" ? 0 : 1, 3600000))
                return false;
            int& milliseconds = arg == "--timeout" ? line.timeoutMs
                                : arg == "--ms"    ? line.pulseMs
                                                   : line.intervalMs;
            milliseconds = static_cast<int>(n);
            pulseOption |= arg == "--ms";
            intervalOption |= arg == "--interval";
        } else if (arg.starts_with("--")) {
            error = "unknown option " + std::string(arg);
            return false;
        } else if (!haveCommand) {
            const auto known = std::find_if(std::begin(kCommands), std::end(kCommands),
                                            [&](const auto& c) { return c.name == arg; });
            if (known == std::end(kCommands)) {
                error = "unknown command " + std::string(arg);
                return false;
            }
            haveCommand = true;
            line.command = known->command;
            takesChannels = known->takesChannels;
        } else if (!takesChannels || !ParseChannels(arg, line.channels)) {
            error = takesChannels ? "bad channel list " + std::string(arg) +
                                        " (channels 1 to 16, e.g. 1,3 5-8)"
                                  : "this command takes no channels";
            return false;
        }
    }
    if (!haveCommand)
        error = "no command";
    else if (takesChannels && line.channels == 0)
        error = "which channels?";
    else if (line.command == Command::Pulse ? line.pulseMs < 0 : pulseOption)
        error = "pulse needs --ms N; --ms and --off-first are for pulse only";
    else if (intervalOption && line.command != Command::Watch)
        error = "--interval is for watch only";
    return error.empty();
}
