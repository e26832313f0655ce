// The length a client may give a pulse (MQTT, the web panel): milliseconds, as pulse_ms
// in relayhub.toml.
#pragma once

#include <algorithm>
#include <cctype>
#include <optional>
#include <string_view>

inline constexpr int PULSE_MS_MIN = 50;
inline constexpr int PULSE_MS_MAX = 60000;

// Decimal digits only (no sign, no spaces), within PULSE_MS_MIN..PULSE_MS_MAX.
inline std::optional<int> ParsePulseMs(std::string_view text) {
    if (text.empty() || text.size() > 5 ||
        !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); }))
        return std::nullopt;
    int ms = 0;
    for (const char digit : text)
        ms = ms * 10 + (digit - '0');
    if (ms < PULSE_MS_MIN || ms > PULSE_MS_MAX)
        return std::nullopt;
    return ms;
}
