// Where the board is, read from "canshu.ini" as the panel reads it. The file is never
// written here.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

struct BoardAddress {
    std::string host;
    std::uint16_t port;
};

// Section "canshu_v2", keys "socket_ip" (empty or missing: 192.168.1.110) and
// "socket_port" (missing or empty: 6000; otherwise its leading digits, none reading as 0,
// cut to 16 bits as the panel's connect cuts it).
BoardAddress ReadBoardAddress(const std::filesystem::path& file);
