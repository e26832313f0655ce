#include "BoardAddress.h"

#include "SettingsNames.h"

#include <algorithm>
#include <cctype>
#include <fstream>

namespace {

constexpr std::size_t kMaxValue = 999; // the panel reads values into 1000 characters
constexpr std::uint32_t kMaxPort = 65535;

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    const auto last = text.find_last_not_of(" \t\r");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

// Names compare as the private-profile functions compare them: ASCII case ignored.
bool SameName(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

} // namespace

std::string ReadProfileText(const std::filesystem::path& file, const std::string& section,
                            const std::string& key) {
    std::ifstream in(file, std::ios::binary);
    bool inSection = false;
    for (std::string line; std::getline(in, line);) {
        line = Trim(line);
        if (line.starts_with('[')) {
            const auto close = line.find(']');
            inSection =
                SameName(line.substr(1, close == std::string::npos ? close : close - 1), section);
            continue;
        }
        const auto equals = line.find('=');
        if (!inSection || equals == std::string::npos ||
            !SameName(Trim(line.substr(0, equals)), key))
            continue;
        std::string value = Trim(line.substr(equals + 1));
        if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
            value = value.substr(1, value.size() - 2);
        return value.substr(0, kMaxValue);
    }
    return {};
}

BoardAddress ReadBoardAddress(const std::filesystem::path& file) {
    BoardAddress address{
        ReadProfileText(file, SETTINGS_SECTION, SETTINGS_KEY_IP), SETTINGS_DEFAULT_PORT, {}};
    if (address.host.empty())
        address.host = SETTINGS_DEFAULT_IP;
    const std::string port = ReadProfileText(file, SETTINGS_SECTION, SETTINGS_KEY_PORT);
    if (port.empty())
        return address;
    std::uint32_t value = 0;
    for (auto digit = port.begin();
         digit != port.end() && std::isdigit(static_cast<unsigned char>(*digit)) &&
         value <= kMaxPort;
         ++digit)
        value = value * 10 + static_cast<std::uint32_t>(*digit - '0');
    if (value < 1 || value > kMaxPort)
        address.portError = file.string() + ": " + SETTINGS_KEY_PORT + "=" + port +
                            " is not a port number from 1 to 65535";
    else
        address.port = static_cast<std::uint16_t>(value);
    return address;
}
