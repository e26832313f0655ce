// relayhub's command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct HubOptions {
    // The board: --board HOST:PORT, else canshu.ini in the working directory, else defaults.
    std::string boardHost;
    std::uint16_t boardPort = 0;
    int connectTimeoutMs = 3000;
    int pollMs = 600; // --poll-ms

    // Clients that speak the board's protocol: --listen ADDR:PORT.
    std::string listenHost = "127.0.0.1";
    std::uint16_t listenPort = 6001;
    int maxClients = 16; // --max-clients

    // MQTT, on when --mqtt HOST[:PORT] is given.
    std::optional<std::string> mqttHost;
    std::uint16_t mqttPort = 1883;
    std::string mqttUser;         // --mqtt-user
    std::string mqttPasswordFile; // --mqtt-password-file; the password never appears elsewhere
    std::string boardId;          // --board-id; default derived from the board's address
    std::string topicPrefix = "kestrel"; // --topic-prefix
    bool discovery = true;               // --no-discovery
    // MQTT over TLS (--mqtt-tls, port 8883 by default). The broker's certificate and host
    // name are always verified, against the CAs of --mqtt-ca or --mqtt-ca-dir, else the
    // system's; --mqtt-cert with --mqtt-key gives the hub a client certificate.
    bool mqttTls = false;
    std::string mqttCaFile;
    std::string mqttCaDir;
    std::string mqttCertFile;
    std::string mqttKeyFile;

    // The web panel, on when --http ADDR:PORT (or :PORT, meaning 127.0.0.1) is given.
    std::optional<std::string> httpHost;
    std::uint16_t httpPort = 0;
    std::string httpTokenFile; // --http-token-file
    int httpMaxListeners = 32; // --http-max-listeners
    std::string httpCertFile;  // --http-cert: HTTPS, with --http-key
    std::string httpKeyFile;   // --http-key

    // Channel rules: --config FILE, else relayhub.toml here when there is one; none without.
    std::string configFile;
    std::string checkConfig; // --check-config FILE: check it, print the rules, exit
    // Where power_on = "last" keeps the channels' states: --state-dir, else
    // $STATE_DIRECTORY (systemd's StateDirectory=); none without either.
    std::string stateDir;

    bool help = false;
};

// Fills options from argv (and canshu.ini for the board when --board is not given); false
// with a message for a person when the input is bad.
bool ParseHubOptions(int argc, char** argv, HubOptions& options, std::string& error);

// The text --help prints.
const char* HubHelpText();
