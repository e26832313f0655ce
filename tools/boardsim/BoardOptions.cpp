#include "BoardOptions.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string_view>

namespace {

constexpr std::size_t kMaxSendBytes = 65536;

bool ParseNumber(const char* text, unsigned long max, unsigned long& value) {
    if (text == nullptr || *text == '\0' || *text == '-')
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtoul(text, &end, 0);
    return errno == 0 && *end == '\0' && value <= max;
}

bool ParseHex(std::string_view text, std::vector<std::uint8_t>& bytes) {
    std::string digits;
    for (char c : text) {
        if (std::isxdigit(static_cast<unsigned char>(c)))
            digits += c;
        else if (c != ' ' && c != ':' && c != ',')
            return false;
    }
    if (digits.size() % 2 != 0 || bytes.size() + digits.size() / 2 > kMaxSendBytes)
        return false;
    for (std::size_t i = 0; i < digits.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    return true;
}

bool ReadFile(const char* path, std::vector<std::uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.insert(bytes.end(), std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return bytes.size() <= kMaxSendBytes;
}

} // namespace

ParseResult ParseBoardOptions(int argc, char** argv, BoardOptions& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view name = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        unsigned long n = 0;
        auto number = [&](unsigned long max, unsigned long min = 0) {
            ++i;
            if (ParseNumber(value, max, n) && n >= min)
                return true;
            error = std::string(name) + " needs a number from " + std::to_string(min) + " to " +
                    std::to_string(max);
            return false;
        };

        if (name == "--help" || name == "-h")
            return ParseResult::Help;
        if (name == "--silent")
            options.silent = true;
        else if (name == "--ignore-commands")
            options.ignoreCommands = true;
        else if (name == "--port" && number(65535))
            options.port = static_cast<std::uint16_t>(n);
        else if (name == "--channels" && number(0xFFFF))
            options.initialChannels = static_cast<std::uint16_t>(n);
        else if (name == "--corrupt-every" && number(1000000, 1))
            options.corruptEvery = static_cast<unsigned>(n);
        else if (name == "--split" && number(7, 1))
            options.splitBytes = static_cast<unsigned>(n);
        else if (name == "--split-pause" && number(60000))
            options.splitPauseMs = static_cast<unsigned>(n);
        else if (name == "--close-after" && number(1000000, 1))
            options.closeAfter = static_cast<unsigned>(n);
        else if (name == "--toggle" && number(16, 1))
            options.toggleChannel = static_cast<int>(n);
        else if (name == "--toggle-ms" && number(3600000, 1))
            options.toggleMs = static_cast<unsigned>(n);
        else if (name == "--flood" && number(100000000, 1))
            options.floodCount = static_cast<unsigned>(n);
        else if (name == "--flood-ms" && number(3600000, 1))
            options.floodMs = static_cast<unsigned>(n);
        else if (name == "--log") {
            ++i;
            if (value == nullptr || *value == '\0') {
                error = "--log needs a file name";
                return ParseResult::Error;
            }
            options.logPath = value;
        } else if (name == "--send-hex") {
            ++i;
            if (value == nullptr || !ParseHex(value, options.sendOnConnect)) {
                error = "--send-hex needs pairs of hex digits (at most 65536 bytes in all)";
                return ParseResult::Error;
            }
        } else if (name == "--send-file") {
            ++i;
            if (value == nullptr || !ReadFile(value, options.sendOnConnect)) {
                error = "--send-file needs a readable file (at most 65536 bytes in all)";
                return ParseResult::Error;
            }
        } else {
            if (error.empty())
                error = "unknown option " + std::string(name);
            return ParseResult::Error;
        }
    }
    return ParseResult::Run;
}

const char* BoardHelpText() {
    return R"help(usage: boardsim [options]

Simulates the 16-channel TCP relay board for the Kestrel panel. Listens on
127.0.0.1 only, serves one connection at a time (others wait in the backlog
and are accepted when it closes) and keeps the channel states across
connections.

Protocol: 8-byte frames cut at every 8th byte received on a connection.
A frame whose byte 7 is not the sum of bytes 0..6 (mod 256) is dropped.
  0x10 query       answered with a status frame
  0x11 off, nn     switches channel nn (bytes 3..6, MSB first) off, answers
  0x12 on, nn      switches channel nn on, answers
  0x13 set all     sets all 16 channels from the mask (bit n-1 = channel n),
                   answers
Other commands are logged and ignored. A status frame is
  55 01 10 00 00 <channels 9-16> <channels 1-8> <checksum>

Output:
  standard output  first line "port N" (the port listened on), then the
                   frame log unless --log is given
  frame log        one line per received frame, flushed per line:
                   2024-05-01T12:00:00.123 55 01 12 00 00 00 05 6D
                   with " bad-checksum" appended to dropped frames; a line is
                   written once the frame's answer has been sent
  standard error   connections and every channel change, for a person
                   watching, e.g. "12:00:00.123 channel 5 on (command)"

Options:
  --port N             TCP port, default 6000; 0 picks a free one
  --channels MASK      initial channel states, bit n-1 = channel n (0x8001 =
                       channels 1 and 16 on); default 0, all off
  --log FILE           write the frame log to FILE instead of standard output
  --help, -h           show this text and exit

Faults:
  --corrupt-every N    add 1 to the checksum of every Nth answer (counted
                       over the whole run)
  --split N            send each answer in pieces of N bytes (1..7) ...
  --split-pause MS     ... with MS milliseconds between pieces (default 100)
  --silent             never answer (commands are still applied)
  --close-after N      close the connection after its Nth frame (good or
                       bad; the Nth frame is still answered)
  --ignore-commands    do not apply or answer 0x11, 0x12, 0x13; answer queries
  --toggle CH          flip channel CH by itself, as if switched by hand at the
                       board, every --toggle-ms MS (default 1000); the change
                       shows in the next answer, nothing is pushed

Sent on each new connection before anything is read, in this order:
  --send-hex HEX       these bytes, e.g. "55 01 10 00 00 00 01 67"
  --send-file FILE     the bytes of FILE (at most 64 KiB); several of these
                       two options send their bytes in command-line order
  --flood N            then N status frames back to back ...
  --flood-ms MS        ... or for MS milliseconds; with both, whichever ends
                       first
Flood frames are whole and correct; --corrupt-every, --split and --silent
apply to answers only.

Stops cleanly on SIGINT or SIGTERM (exit status 0). Exit status 1 when the
port cannot be opened, 2 for a bad command line.
)help";
}
