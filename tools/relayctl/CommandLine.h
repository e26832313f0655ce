// relayctl's command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

inline constexpr char RELAYCTL_USAGE[] =
    "usage: relayctl [--host ADDR] [--port N] [--timeout MS] [--json] [--no-verify] "
    "status | on CH... | off CH... | toggle CH... | all-on | all-off | "
    "pulse CH... --ms N [--off-first] | watch [--interval MS]";

enum class Command { Status, On, Off, Toggle, AllOn, AllOff, Pulse, Watch };

struct CommandLine {
    Command command = Command::Status;
    std::uint16_t channels = 0; // bit n-1 stands for channel n
    std::optional<std::string> host;
    std::optional<std::uint16_t> port;
    int timeoutMs = 1000;
    bool json = false;
    bool verify = true;
    int pulseMs = -1; // pulse: required
    bool offFirst = false;
    int intervalMs = 600;
    bool help = false;
};

// Fills line from argv; false with a message for a person when the input is bad.
bool ParseCommandLine(int argc, char** argv, CommandLine& line, std::string& error);
