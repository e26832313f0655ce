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

// The value of key in section of a private-profile file, read as the panel reads it:
// names compared with ASCII case ignored, trimmed, a surrounding pair of quotes taken off,
// cut to 999 characters; empty when missing. The bytes are taken as they are (GBK passes).
std::string ReadProfileText(const std::filesystem::path& file, const std::string& section,
                            const std::string& key);

// Section "canshu_v2", keys "socket_ip" (empty or missing: 192.168.1.110) and
// "socket_port" (missing or empty: 6000; otherwise its leading digits, which must read
// as 1-65535: a value the panel would cut to 16 bits reaches some other port).
BoardAddress ReadBoardAddress(const std::filesystem::path& file);
