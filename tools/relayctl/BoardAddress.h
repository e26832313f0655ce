// Where the board is, read from "canshu.ini" as the panel reads it. The file is never
// written here.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

struct BoardAddress {
    std::string host;
    std::uint16_t port;
    // Why the file's port cannot be dialled, naming the file, the key and the value;
    // empty when it can.
    std::string portError;
};

// Section "canshu_v2", keys "socket_ip" (empty or missing: 192.168.1.110) and
// "socket_port" (missing or empty: 6000; otherwise its leading digits, which must read
// as 1-65535: a value the panel would cut to 16 bits reaches some other port).
BoardAddress ReadBoardAddress(const std::filesystem::path& file);
