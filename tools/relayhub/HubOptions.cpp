#include "HubOptions.h"

#include "BoardAddress.h"
#include "SettingsNames.h"

#include <openssl/pem.h>
#include <openssl/x509.h>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string_view>

namespace {

constexpr std::string_view kValueOptions[] = {"--board",
                                              "--connect-timeout-ms",
                                              "--poll-ms",
                                              "--listen",
                                              "--max-clients",
                                              "--mqtt",
                                              "--mqtt-user",
                                              "--mqtt-password-file",
                                              "--mqtt-ca",
                                              "--mqtt-ca-dir",
                                              "--mqtt-cert",
                                              "--mqtt-key",
                                              "--board-id",
                                              "--topic-prefix",
                                              "--http",
                                              "--http-token-file",
                                              "--http-max-listeners",
                                              "--http-cert",
                                              "--http-key",
                                              "--config",
                                              "--check-config",
                                              "--state-dir"};

// Decimal digits only, within [min, max].
bool ParseNumber(std::string_view text, long min, long max, long& value) {
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return !text.empty() && text[0] != '-' && text[0] != '+' && result.ec == std::errc() &&
           result.ptr == end && value >= min && value <= max;
}

bool IsIPv4(const std::string& host) {
    in_addr address{};
    return inet_pton(AF_INET, host.c_str(), &address) == 1;
}

// "HOST:PORT"; an empty host gives emptyHost. The port must be given unless defaultPort.
bool SplitHostPort(std::string_view text, const std::string& emptyHost, long minPort,
                   std::optional<std::uint16_t> defaultPort, std::string& host,
                   std::uint16_t& port) {
    const auto colon = text.rfind(':');
    long n = 0;
    if (colon == std::string_view::npos) {
        if (!defaultPort || text.empty())
            return false;
        host = text;
        port = *defaultPort;
        return true;
    }
    if (!ParseNumber(text.substr(colon + 1), minPort, 65535, n))
        return false;
    host = colon == 0 ? emptyHost : std::string(text.substr(0, colon));
    port = static_cast<std::uint16_t>(n);
    return !host.empty();
}

// MQTT topic levels and Home Assistant object ids take these safely.
bool IsIdText(std::string_view text) {
    if (text.empty() || text.size() > 64)
        return false;
    for (const char c : text) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '_' || c == '-';
        if (!ok)
            return false;
    }
    return true;
}

// One or more topic levels without wildcards, empty levels or a leading '$'.
bool IsTopicPrefix(std::string_view text) {
    if (text.empty() || text.front() == '/' || text.back() == '/' || text.front() == '$' ||
        text.find("//") != std::string_view::npos)
        return false;
    for (const char c : text) {
        if (c == '+' || c == '#' || static_cast<unsigned char>(c) < 0x20)
            return false;
    }
    return true;
}

bool Readable(const std::string& path) {
    return std::ifstream(path).good();
}

constexpr const char* SYSTEM_CA_DIR = "/etc/ssl/certs";
constexpr std::uint16_t MQTT_PORT = 1883;
constexpr std::uint16_t MQTT_TLS_PORT = 8883;

using Bio = std::unique_ptr<BIO, decltype(&BIO_free)>;
using Certificate = std::unique_ptr<X509, decltype(&X509_free)>;
using Key = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;

bool IsDirectory(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_directory(path, error);
}

// The file opened for OpenSSL, or null with why not in error.
Bio OpenPem(const std::string& path, std::string& error) {
    errno = IsDirectory(path) ? EISDIR : 0;
    Bio bio(errno ? nullptr : BIO_new_file(path.c_str(), "r"), BIO_free);
    if (!bio)
        error =
            "cannot read " + path + (errno ? std::string(" (") + std::strerror(errno) + ")" : "");
    return bio;
}

// The first certificate of a PEM file, or null with why not in error.
Certificate ReadCertificate(const std::string& path, std::string& error) {
    Bio bio = OpenPem(path, error);
    Certificate certificate(bio ? PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr) : nullptr,
                            X509_free);
    if (bio && !certificate)
        error = path + " holds no PEM certificate";
    return certificate;
}

// A key with a passphrase is refused rather than asked for: the hub has no terminal.
Key ReadKey(const std::string& path, std::string& error) {
    Bio bio = OpenPem(path, error);
    auto noPassphrase = [](char*, int, int, void*) { return -1; };
    Key key(bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, noPassphrase, nullptr) : nullptr,
            EVP_PKEY_free);
    if (bio && !key)
        error = path + " holds no PEM private key without a passphrase";
    return key;
}

// What libmosquitto would only find out when it connects, said at start instead.
bool CheckMqttTls(HubOptions& options, std::string& error) {
    if (!options.mqttCaFile.empty() && !options.mqttCaDir.empty()) {
        error = "--mqtt-ca and --mqtt-ca-dir: give one of them";
        return false;
    }
    if (options.mqttCertFile.empty() != options.mqttKeyFile.empty()) {
        error = options.mqttKeyFile.empty() ? "--mqtt-cert needs --mqtt-key"
                                            : "--mqtt-key needs --mqtt-cert";
        return false;
    }
    if (!options.mqttCaFile.empty() && !ReadCertificate(options.mqttCaFile, error)) {
        error = "--mqtt-ca: " + error;
        return false;
    }
    if (options.mqttCaFile.empty() && options.mqttCaDir.empty()) {
        options.mqttCaDir = SYSTEM_CA_DIR;
        if (!IsDirectory(options.mqttCaDir)) {
            error =
                std::string("--mqtt-tls: no --mqtt-ca or --mqtt-ca-dir, and no ") + SYSTEM_CA_DIR;
            return false;
        }
    }
    if (options.mqttCertFile.empty())
        return true;
    const Certificate certificate = ReadCertificate(options.mqttCertFile, error);
    if (!certificate) {
        error = "--mqtt-cert: " + error;
        return false;
    }
    const Key key = ReadKey(options.mqttKeyFile, error);
    if (!key) {
        error = "--mqtt-key: " + error;
        return false;
    }
    if (X509_check_private_key(certificate.get(), key.get()) != 1) {
        error = "--mqtt-key " + options.mqttKeyFile + " is not the key of --mqtt-cert " +
                options.mqttCertFile;
        return false;
    }
    return true;
}

// "board_127_0_0_1_6000": safe in a topic level and in Home Assistant's ids.
std::string DefaultBoardId(const std::string& host, std::uint16_t port) {
    std::string id = "board_";
    for (const char c : host)
        id += (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ? c : '_';
    return id + "_" + std::to_string(port);
}

} // namespace

bool ParseHubOptions(int argc, char** argv, HubOptions& options, std::string& error) {
    bool boardGiven = false, boardIdGiven = false, mqttPortGiven = false;
    // Options of a part that is off are a mistake worth saying, not something to ignore.
    std::string needsMqtt, needsHttp, needsTls;
    for (int i = 1; i < argc; ++i) {
        const std::string_view name = argv[i];
        if (name == "--help" || name == "-h") {
            options.help = true;
            return true;
        }
        if (name == "--no-discovery") {
            options.discovery = false;
            needsMqtt = name;
            continue;
        }
        if (name == "--mqtt-tls") {
            options.mqttTls = true;
            needsMqtt = name;
            continue;
        }
        if (std::find(std::begin(kValueOptions), std::end(kValueOptions), name) ==
            std::end(kValueOptions)) {
            error = "unknown option " + std::string(name);
            return false;
        }
        if (i + 1 >= argc) {
            error = std::string(name) + " needs a value";
            return false;
        }
        const std::string value = argv[++i];
        long n = 0;
        auto number = [&](long min, long max) {
            if (ParseNumber(value, min, max, n))
                return true;
            error = std::string(name) + " needs a number from " + std::to_string(min) + " to " +
                    std::to_string(max);
            return false;
        };
        auto fail = [&](const std::string& what) {
            error = std::string(name) + " needs " + what + ", not \"" + value + "\"";
            return false;
        };

        if (name == "--board") {
            if (!SplitHostPort(value, "", 1, std::nullopt, options.boardHost, options.boardPort) ||
                !IsIPv4(options.boardHost))
                return fail("an IPv4 address and a port, e.g. 127.0.0.1:6000");
            boardGiven = true;
        } else if (name == "--connect-timeout-ms") {
            if (!number(100, 60000))
                return false;
            options.connectTimeoutMs = static_cast<int>(n);
        } else if (name == "--poll-ms") {
            // At least two polls fit in the 5 s after which a quiet board counts as gone.
            if (!number(50, 2000))
                return false;
            options.pollMs = static_cast<int>(n);
        } else if (name == "--listen") {
            if (!SplitHostPort(value, "127.0.0.1", 0, std::nullopt, options.listenHost,
                               options.listenPort) ||
                !IsIPv4(options.listenHost))
                return fail("ADDR:PORT or :PORT (127.0.0.1) with an IPv4 address");
        } else if (name == "--max-clients") {
            if (!number(1, 1000))
                return false;
            options.maxClients = static_cast<int>(n);
        } else if (name == "--mqtt") {
            std::string host;
            if (!SplitHostPort(value, "", 1, MQTT_PORT, host, options.mqttPort))
                return fail("HOST or HOST:PORT");
            options.mqttHost = host;
            mqttPortGiven = value.find(':') != std::string::npos;
        } else if (name == "--mqtt-user") {
            options.mqttUser = value;
            needsMqtt = name;
        } else if (name == "--mqtt-password-file") {
            if (!Readable(value))
                return fail("a readable file");
            options.mqttPasswordFile = value;
            needsMqtt = name;
        } else if (name == "--mqtt-ca") {
            options.mqttCaFile = value;
            needsTls = name;
        } else if (name == "--mqtt-ca-dir") {
            if (!IsDirectory(value))
                return fail("a directory");
            options.mqttCaDir = value;
            needsTls = name;
        } else if (name == "--mqtt-cert") {
            options.mqttCertFile = value;
            needsTls = name;
        } else if (name == "--mqtt-key") {
            options.mqttKeyFile = value;
            needsTls = name;
        } else if (name == "--board-id") {
            if (!IsIdText(value))
                return fail("1 to 64 letters, digits, '_' or '-'");
            options.boardId = value;
            boardIdGiven = true;
        } else if (name == "--topic-prefix") {
            if (!IsTopicPrefix(value))
                return fail("topic levels without '+', '#', '$' at the start or empty levels");
            options.topicPrefix = value;
            needsMqtt = name;
        } else if (name == "--http") {
            std::string host;
            if (!SplitHostPort(value, "127.0.0.1", 0, std::nullopt, host, options.httpPort) ||
                !IsIPv4(host))
                return fail("ADDR:PORT or :PORT (127.0.0.1) with an IPv4 address");
            options.httpHost = host;
        } else if (name == "--http-token-file") {
            if (!Readable(value))
                return fail("a readable file");
            options.httpTokenFile = value;
            needsHttp = name;
        } else if (name == "--http-max-listeners") {
            if (!number(1, 1000))
                return false;
            options.httpMaxListeners = static_cast<int>(n);
            needsHttp = name;
        } else if (name == "--http-cert" || name == "--http-key") {
            // Read and checked as a pair by the web panel before the hub dials anything.
            (name == "--http-cert" ? options.httpCertFile : options.httpKeyFile) = value;
            needsHttp = name;
        } else if (name == "--config") {
            if (!Readable(value))
                return fail("a readable file");
            options.configFile = value;
        } else if (name == "--check-config") {
            options.checkConfig = value;
            return true;
        } else if (name == "--state-dir") {
            if (!IsDirectory(value))
                return fail("a directory");
            options.stateDir = value;
        }
    }
    if (options.configFile.empty() && Readable("relayhub.toml"))
        options.configFile = "relayhub.toml";
    if (options.stateDir.empty()) {
        // systemd gives a colon-separated list, one per StateDirectory= entry.
        const char* given = std::getenv("STATE_DIRECTORY");
        const std::string first =
            given ? std::string(given).substr(0, std::string(given).find(':')) : "";
        if (!first.empty() && IsDirectory(first))
            options.stateDir = first;
    }
    if (!needsMqtt.empty() && !options.mqttHost) {
        error = needsMqtt + " needs --mqtt";
        return false;
    }
    if (!needsTls.empty() && !options.mqttTls) {
        error = needsTls + " needs --mqtt-tls";
        return false;
    }
    if (options.mqttTls) {
        if (!CheckMqttTls(options, error))
            return false;
        if (!mqttPortGiven)
            options.mqttPort = MQTT_TLS_PORT;
    }
    if (!needsHttp.empty() && !options.httpHost) {
        error = needsHttp + " needs --http";
        return false;
    }
    if (!boardGiven) {
        // As relayctl does: a bad value in the file stops us rather than dial another board.
        const BoardAddress address = ReadBoardAddress("canshu.ini");
        if (!address.portError.empty()) {
            error = address.portError;
            return false;
        }
        if (!IsIPv4(address.host)) {
            error = std::string("canshu.ini: ") + SETTINGS_KEY_IP + "=" + address.host +
                    " is not an IPv4 address";
            return false;
        }
        options.boardHost = address.host;
        options.boardPort = address.port;
    }
    if (!boardIdGiven)
        options.boardId = DefaultBoardId(options.boardHost, options.boardPort);
    return true;
}

const char* HubHelpText() {
    return R"(usage: relayhub [options]

Holds the relay board's one connection and shares it: the panel and relayctl connect to
the hub as they would to the board; MQTT and a web panel are optional.

The board
  --board HOST:PORT       the board's IPv4 address; else canshu.ini here ([canshu_v2]
                          socket_ip, socket_port), else 192.168.1.110:6000
  --connect-timeout-ms MS a connect attempt's limit (default 3000)
  --poll-ms MS            a status query every MS (default 600, 50 to 2000)

Clients that speak the board's protocol
  --listen ADDR:PORT      where they connect (default 127.0.0.1:6001; :PORT means
                          127.0.0.1; port 0 takes a free one, the log says which)
  --max-clients N         at most N at once (default 16)

MQTT (off unless --mqtt is given)
  --mqtt HOST[:PORT]      the broker (port 1883 by default, 8883 with --mqtt-tls)
  --mqtt-user NAME        the user name
  --mqtt-password-file F  the password, read from F (never give it on the command line)
  --board-id ID           the board's id in topics (default board_<address>_<port>)
  --topic-prefix P        topics start with P (default kestrel)
  --no-discovery          no Home Assistant discovery messages
  --mqtt-tls              TLS to the broker; its certificate and host name are always
                          verified
  --mqtt-ca F             the CAs for the broker's certificate, PEM certificates in F
  --mqtt-ca-dir D         or in directory D, hashed as by openssl rehash (default: the
                          system's, /etc/ssl/certs)
  --mqtt-cert F           a client certificate (PEM) for a broker that asks for one,
  --mqtt-key F            with its key (PEM, no passphrase, readable by the hub only)

Web panel (off unless --http is given)
  --http ADDR:PORT        where it listens (:PORT means 127.0.0.1)
  --http-token-file F     the access token, read from F
  --http-max-listeners N  at most N live pages at once (default 32)
  --http-cert F           HTTPS with the certificate (chain) in PEM file F
  --http-key F            and its private key, in PEM file F

Channel rules (relayhub.toml; none: every channel as the board has it)
  --config FILE           the rules (default: relayhub.toml here, when there is one);
                          a bad file stops the hub before it dials the board
  --check-config FILE     checks FILE, prints the rules in force, exits 0 (good) or 1
  --state-dir DIR         where power_on = "last" keeps the channels' states (default
                          $STATE_DIRECTORY, set by systemd's StateDirectory=; without
                          either they last only as long as the hub runs)

  [channel.N]             N from 1 to 16, with any of:
    name = "Gate"         the channel's name for MQTT and the web panel (else canshu.ini's)
    pulse_ms = 500        momentary, 50 to 60000: every on is followed by an off MS
                          after the board shows it on (an on during it starts it again,
                          an off ends it); a pulse cut by the board's absence is ended
                          first when the board comes back still showing it on
    max_on_s = 1800       auto-off, 1 to 604800: never on longer, whoever switched it,
                          counted from the first status showing it on since the hub
                          started
    power_on = "last"     when the board comes up (every connection): "board" (leave
                          it, the default), "off", "on", or "last" (as the hub last saw
                          it); the channels that differ change in one set-all frame
  [[interlock]]
    channels = [1, 2]     at most one of them on: an on for one switches the others off,
                          waits for the board to show them off (2 s at most, else the on
                          is dropped), then dead_ms, then switches it on; set-all leaves
                          them as they are; two of them seen on together (switched
                          outside the hub) are all switched off
    dead_ms = 500         0 to 60000 (default 0)
  Each switch the hub makes on its own is logged with its reason; a pulse's or an
  auto-off's OFF that the board does not show within 2 s is sent again. SIGHUP reads the
  file again (a dead time running goes on); a bad file is logged and the rules in force stay.

SIGINT or SIGTERM closes everything and exits 0. The log goes to stderr.
)";
}
