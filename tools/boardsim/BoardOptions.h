// Command line of boardsim.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct BoardOptions {
    std::uint16_t port = 6000; // 0: any free port
    std::uint16_t initialChannels = 0;
    std::string logPath; // empty: standard output
    unsigned corruptEvery = 0;
    unsigned splitBytes = 0;
    unsigned splitPauseMs = 100;
    bool silent = false;
    unsigned closeAfter = 0;
    bool ignoreCommands = false;
    int toggleChannel = 0;
    unsigned toggleMs = 1000;
    unsigned floodCount = 0;
    unsigned floodMs = 0;
    std::vector<std::uint8_t> sendOnConnect;
};

enum class ParseResult { Run, Help, Error };

// Fills options from argv; on Error, error says why.
ParseResult ParseBoardOptions(int argc, char** argv, BoardOptions& options, std::string& error);

const char* BoardHelpText();
