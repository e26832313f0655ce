#include "MqttBridge.h"

#include "Metrics.h"
#include "PulseLength.h"

#include <mosquitto.h>
#include <nlohmann/json.hpp>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string_view>

namespace {

constexpr int KEEPALIVE_SECONDS = 30;
// As libmosquitto's exponential backoff: the minimum times the square of the failures in a
// row, 1, 4, 9, 16, 25 s, then the maximum.
constexpr unsigned RECONNECT_MIN_SECONDS = 1;
constexpr unsigned RECONNECT_MAX_SECONDS = 30;
// How long one turn of libmosquitto's loop may wait for the network; what the hub
// publishes wakes it at once.
constexpr int LOOP_TIMEOUT_MS = 1000;
// For the offline and the disconnect to leave when the hub stops.
constexpr auto GOODBYE_TIME = std::chrono::seconds(2);
constexpr const char* HA_STATUS_TOPIC = "homeassistant/status";
constexpr const char* ONLINE = "online";
constexpr const char* OFFLINE = "offline";

std::once_flag g_libraryInit;

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// "1".."16" exactly: no sign, no leading zero, no trailing text.
std::optional<int> ChannelNumber(const std::string& text) {
    if (text.empty() || text.size() > 2 || text[0] == '0' ||
        !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); }))
        return std::nullopt;
    const int channel = std::stoi(text);
    if (channel > RELAY_CHANNEL_COUNT)
        return std::nullopt;
    return channel;
}

bool ReadPassword(const std::string& file, std::string& password, std::string& error) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        error = "cannot read the MQTT password file " + file;
        return false;
    }
    std::getline(in, password);
    if (!password.empty() && password.back() == '\r')
        password.pop_back();
    if (password.empty()) {
        error = "the MQTT password file " + file + " is empty";
        return false;
    }
    return true;
}

CMqttBridge& BridgeOf(void* userdata) {
    return *static_cast<CMqttBridge*>(userdata);
}

// Why OpenSSL did not accept the broker's certificate, the kind first.
std::string BrokerCertificateFault(long verifyResult) {
    const std::string detail = std::string(" (the broker's certificate: ") +
                               X509_verify_cert_error_string(verifyResult) + ")";
    switch (verifyResult) {
    case X509_V_ERR_CERT_HAS_EXPIRED:
        return "expired certificate" + detail;
    case X509_V_ERR_CERT_NOT_YET_VALID:
        return "certificate not valid yet" + detail;
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
        return "unknown CA" + detail;
    default:
        return "broker's certificate refused" + detail;
    }
}

// OpenSSL's reason for a failed connection; an alert about certificates that the broker
// sent means it did not take the hub's (or wanted one).
std::string TlsFault(std::string_view reason) {
    const bool alert = reason.find("alert") != std::string_view::npos;
    if (alert && (reason.find("certificate") != std::string_view::npos ||
                  reason.find("unknown ca") != std::string_view::npos))
        return "client certificate refused (the broker says: " + std::string(reason) + ")";
    return std::string(reason);
}

} // namespace

CMqttBridge::CMqttBridge(CRelayHub& hub, const HubOptions& options, ChannelCaptions captions)
    : m_hub(hub), m_options(options), m_captions(std::move(captions)),
      m_base(options.topicPrefix + "/" + options.boardId),
      m_where(options.mqttHost.value_or("") + ":" + std::to_string(options.mqttPort)) {}

CMqttBridge::~CMqttBridge() {
    Stop();
    if (m_client)
        mosquitto_destroy(m_client);
}

bool CMqttBridge::Start(std::string& error) {
    if (!m_options.mqttHost) {
        error = "no MQTT broker given";
        return false;
    }
    std::string password;
    if (!m_options.mqttPasswordFile.empty()) {
        if (m_options.mqttUser.empty()) {
            error = "an MQTT password needs --mqtt-user";
            return false;
        }
        if (!ReadPassword(m_options.mqttPasswordFile, password, error))
            return false;
    }

    {
        std::lock_guard lock(m_mutex); // the rules announced on connect; a reload comes later
        m_rules = m_hub.Rules();
    }
    std::call_once(g_libraryInit, [] { mosquitto_lib_init(); });
    // A client id of libmosquitto's making, random per process: a fixed one (from the board
    // id, say) would be shared by two sites' hubs on one broker, and the broker lets only one
    // client have an id, so each would throw the other off in turn.
    m_client = mosquitto_new(nullptr, true, this);
    if (!m_client) {
        error = "cannot create the MQTT client";
        return false;
    }
    mosquitto_connect_callback_set(
        m_client, [](mosquitto*, void* self, int result) { BridgeOf(self).OnConnect(result); });
    mosquitto_disconnect_callback_set(
        m_client, [](mosquitto*, void* self, int result) { BridgeOf(self).OnDisconnect(result); });
    mosquitto_message_callback_set(m_client,
                                   [](mosquitto*, void* self, const mosquitto_message* message) {
                                       BridgeOf(self).OnMessage(*message);
                                   });

    const std::string availability = m_base + "/availability";
    int result = mosquitto_will_set(m_client, availability.c_str(), 7, OFFLINE, 1, true);
    if (result == MOSQ_ERR_SUCCESS && !m_options.mqttUser.empty())
        result = mosquitto_username_pw_set(m_client, m_options.mqttUser.c_str(),
                                           password.empty() ? nullptr : password.c_str());
    if (result == MOSQ_ERR_SUCCESS && m_options.mqttTls) {
        auto path = [](const std::string& file) { return file.empty() ? nullptr : file.c_str(); };
        result =
            mosquitto_tls_set(m_client, path(m_options.mqttCaFile), path(m_options.mqttCaDir),
                              path(m_options.mqttCertFile), path(m_options.mqttKeyFile), nullptr);
        // Verify the broker, in the library's default TLS versions; its host name is checked
        // as long as mosquitto_tls_insecure_set is never called.
        if (result == MOSQ_ERR_SUCCESS)
            result = mosquitto_tls_opts_set(m_client, SSL_VERIFY_PEER, nullptr, nullptr);
    }
    if (result == MOSQ_ERR_SUCCESS)
        result = mosquitto_threaded_set(m_client, true);
    if (result != MOSQ_ERR_SUCCESS) {
        error = std::string("MQTT client set-up: ") + mosquitto_strerror(result);
        return false;
    }
    struct stat key {};
    if (!m_options.mqttKeyFile.empty() && stat(m_options.mqttKeyFile.c_str(), &key) == 0 &&
        (key.st_mode & (S_IRGRP | S_IROTH))) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(key.st_mode & 07777));
        HubLog("warning: the MQTT key " + m_options.mqttKeyFile + " is readable by others (mode " +
               mode + "); chmod 600 it");
    }
    mosquitto_log_callback_set(m_client, [](mosquitto*, void* self, int level, const char* text) {
        BridgeOf(self).OnLog(level, text);
    });
    m_thread = std::thread(&CMqttBridge::Run, this);
    return true;
}

void CMqttBridge::Run() {
    // A broker that is not there yet is retried like a lost one.
    int result = mosquitto_connect_async(m_client, m_options.mqttHost->c_str(), m_options.mqttPort,
                                         KEEPALIVE_SECONDS);
    if (result != MOSQ_ERR_SUCCESS && m_tlsFailure.empty() && ERR_peek_error() == 0)
        HubLog("MQTT broker " + m_where + " not reachable yet (" + mosquitto_strerror(result) +
               "); retrying");
    for (;;) {
        if (result == MOSQ_ERR_SUCCESS)
            result = mosquitto_loop(m_client, LOOP_TIMEOUT_MS, 1);
        std::unique_lock lock(m_mutex);
        if (m_stopping) {
            // Until what is queued (the offline, the disconnect) has left, for a while.
            if (result != MOSQ_ERR_SUCCESS || std::chrono::steady_clock::now() >= m_goodbyeDeadline)
                return;
            continue;
        }
        if (result == MOSQ_ERR_SUCCESS)
            continue;
        lock.unlock();
        ConnectFailed();
        lock.lock();
        const auto delay = std::chrono::seconds(
            std::min(RECONNECT_MIN_SECONDS * m_failures * m_failures, RECONNECT_MAX_SECONDS));
        if (m_wake.wait_for(lock, delay, [this] { return m_stopping; }))
            return;
        lock.unlock();
        result = mosquitto_reconnect_async(m_client);
    }
}

void CMqttBridge::ConnectFailed() {
    // Bounded: beyond the square root of the maximum, the delay is the maximum anyway.
    m_failures = std::min(m_failures + 1, RECONNECT_MAX_SECONDS);
    // Some failures (an alert that ends the connection) reach libmosquitto's log as
    // nothing but a lost connection; OpenSSL still has the reason on this thread.
    if (m_tlsFailure.empty())
        if (const unsigned long error = ERR_peek_last_error())
            if (const char* reason = ERR_reason_error_string(error))
                m_tlsFailure = TlsFault(reason);
    ERR_clear_error();
    // One line until something changes, as for refusals.
    if (!m_tlsFailure.empty() && m_tlsFailure != m_tlsLogged) {
        HubLog("MQTT broker " + m_where + ": TLS failed: " + m_tlsFailure + "; retrying");
        m_tlsLogged = m_tlsFailure;
    }
    m_tlsFailure.clear();
}

void CMqttBridge::Stop() {
    if (!m_client)
        return;
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping)
            return;
        Publish(m_base + "/availability", OFFLINE);
        m_stopping = true; // the hub's later calls publish nothing: offline is the last word
        // Without a connection there is nothing to say goodbye with.
        m_goodbyeDeadline = std::chrono::steady_clock::now() +
                            (m_brokerUp ? GOODBYE_TIME : std::chrono::seconds(0));
    }
    m_wake.notify_all();
    // libmosquitto sends what it has queued, the offline included, before the disconnect.
    mosquitto_disconnect(m_client);
    if (m_thread.joinable())
        m_thread.join();
}

void CMqttBridge::BoardUp(std::uint16_t channels) {
    std::lock_guard lock(m_mutex);
    m_boardUp = true;
    m_channels = channels;
    PublishStates(0xFFFF);
    PublishAvailability();
}

void CMqttBridge::BoardDown() {
    std::lock_guard lock(m_mutex);
    m_boardUp = false;
    PublishAvailability();
}

void CMqttBridge::StatusChanged(std::uint16_t channels, std::uint16_t changed) {
    std::lock_guard lock(m_mutex);
    m_channels = channels;
    PublishStates(changed);
}

void CMqttBridge::RulesChanged(const ChannelRules& rules) {
    std::lock_guard lock(m_mutex);
    m_rules = rules;
    if (m_options.discovery)
        PublishDiscovery();
}

void CMqttBridge::OnLog(int level, const char* text) {
    if (level != MOSQ_LOG_ERR)
        return;
    const std::string_view line = text;
    // libmosquitto checks the host name itself, and says so only here.
    if (line.starts_with("Error: host name verification failed"))
        m_tlsFailure =
            "host name mismatch (the broker's certificate is not for " + *m_options.mqttHost + ")";
    if (!line.starts_with("OpenSSL Error") || !m_tlsFailure.empty())
        return;
    // OpenSSL's text, "error:CODE:LIBRARY:FUNCTION:REASON"; a certificate that did not
    // verify has its reason kept in the connection.
    const auto* ssl = static_cast<const SSL*>(mosquitto_ssl_get(m_client));
    const long verifyResult = ssl ? SSL_get_verify_result(ssl) : X509_V_OK;
    m_tlsFailure = verifyResult != X509_V_OK ? BrokerCertificateFault(verifyResult)
                                             : TlsFault(line.substr(line.rfind(':') + 1));
}

void CMqttBridge::OnConnect(int result) {
    if (result != 0) {
        // Tried again after the backoff; one line until something changes.
        if (result != m_refusal)
            HubLog("MQTT broker " + m_where + " refused the connection (" +
                   mosquitto_connack_string(result) + "); retrying");
        m_refusal = result;
        return;
    }
    m_refusal = 0;
    m_failures = 0;
    m_tlsLogged.clear();
    const std::string setChannel = m_base + "/channel/+/set";
    const std::string setAll = m_base + "/all/set";
    const std::string pulse = m_base + "/channel/+/pulse";
    mosquitto_subscribe(m_client, nullptr, setChannel.c_str(), 0);
    mosquitto_subscribe(m_client, nullptr, pulse.c_str(), 0);
    mosquitto_subscribe(m_client, nullptr, setAll.c_str(), 0);
    if (m_options.discovery)
        mosquitto_subscribe(m_client, nullptr, HA_STATUS_TOPIC, 0);

    std::lock_guard lock(m_mutex);
    m_brokerUp = true;
    Metrics().mqttUp = true;
    ++Metrics().mqttConnects;
    HubLog("MQTT broker " + m_where + " up");
    if (m_options.discovery)
        PublishDiscovery();
    if (m_boardUp)
        PublishStates(0xFFFF);
    PublishAvailability();
}

void CMqttBridge::OnDisconnect(int result) {
    std::lock_guard lock(m_mutex);
    if (m_brokerUp && !m_stopping)
        HubLog("MQTT broker " + m_where + " down (" + mosquitto_strerror(result) +
               "); reconnecting");
    m_brokerUp = false;
    Metrics().mqttUp = false;
}

void CMqttBridge::OnMessage(const mosquitto_message& message) {
    const std::string topic = message.topic;
    const std::string payload(static_cast<const char*>(message.payload),
                              static_cast<std::size_t>(message.payloadlen));
    if (topic == HA_STATUS_TOPIC) {
        std::lock_guard lock(m_mutex);
        if (payload == ONLINE)
            PublishDiscovery();
        return;
    }
    // A retained command is an old one: a switch that arrives late is worse than none.
    if (message.retain) {
        m_ignoredLog.Write("MQTT: ignored a retained command on " + topic);
        return;
    }
    if (const std::optional<int> channel = ChannelOf(topic, "pulse"))
        HandlePulse(*channel, topic, payload);
    else
        HandleSet(topic, payload);
}

void CMqttBridge::HandleSet(const std::string& topic, const std::string& payload) {
    const std::string command = Upper(payload);
    std::optional<RelayFrame> frame;
    if (topic == m_base + "/all/set") {
        if (command == "ON")
            frame = BuildRelayCommand(RELAY_CMD_SET_ALL, 0xFFFFFFFF);
        else if (command == "OFF")
            frame = BuildRelayCommand(RELAY_CMD_SET_ALL, 0);
    } else {
        const std::optional<int> channel = ChannelOf(topic, "set");
        if (channel && command == "TOGGLE") {
            std::unique_lock lock(m_mutex);
            if (!m_boardUp) {
                lock.unlock();
                m_ignoredLog.Write("MQTT: dropped TOGGLE on " + topic + ": the board is down");
                return;
            }
            frame =
                BuildRelayCommand((m_channels >> (*channel - 1)) & 1 ? RELAY_CMD_OFF : RELAY_CMD_ON,
                                  static_cast<std::uint32_t>(*channel));
        } else if (channel && (command == "ON" || command == "OFF")) {
            frame = BuildRelayCommand(command == "ON" ? RELAY_CMD_ON : RELAY_CMD_OFF,
                                      static_cast<std::uint32_t>(*channel));
        }
    }
    if (!frame) {
        m_ignoredLog.Write("MQTT: ignored \"" + payload.substr(0, 32) + "\" on " + topic);
        return;
    }
    m_hub.SendCommand(*frame, SwitchSource::Mqtt, "MQTT " + topic);
}

void CMqttBridge::HandlePulse(int channel, const std::string& topic, const std::string& payload) {
    const std::optional<int> ms = ParsePulseMs(payload);
    if (!ms) {
        m_ignoredLog.Write("MQTT: ignored \"" + payload.substr(0, 32) + "\" on " + topic + " (" +
                           std::to_string(PULSE_MS_MIN) + " to " + std::to_string(PULSE_MS_MAX) +
                           " ms)");
        return;
    }
    m_hub.PulseChannel(channel, *ms, SwitchSource::Mqtt, "MQTT " + topic);
}

std::optional<int> CMqttBridge::ChannelOf(const std::string& topic, const std::string& leaf) const {
    const std::string head = m_base + "/channel/";
    const std::string tail = "/" + leaf;
    if (topic.size() <= head.size() + tail.size() || !topic.starts_with(head) ||
        !topic.ends_with(tail))
        return std::nullopt;
    return ChannelNumber(topic.substr(head.size(), topic.size() - head.size() - tail.size()));
}

void CMqttBridge::PublishAvailability() {
    Publish(m_base + "/availability", m_boardUp ? ONLINE : OFFLINE);
}

void CMqttBridge::PublishStates(std::uint16_t which) {
    for (int n = 1; n <= RELAY_CHANNEL_COUNT; ++n)
        if ((which >> (n - 1)) & 1)
            Publish(ChannelTopic(n, "state"), (m_channels >> (n - 1)) & 1 ? "ON" : "OFF");
}

void CMqttBridge::PublishDiscovery() {
    const std::string& id = m_options.boardId;
    for (int n = 1; n <= RELAY_CHANNEL_COUNT; ++n) {
        const ChannelRule& rule = m_rules.Channel(n);
        const std::string object = id + "_" + std::to_string(n);
        nlohmann::json config = {
            {"name", rule.name.empty() ? m_captions[n - 1] : rule.name},
            {"unique_id", object},
            {"command_topic", ChannelTopic(n, "set")},
            {"availability_topic", m_base + "/availability"},
            {"payload_available", ONLINE},
            {"payload_not_available", OFFLINE},
            {"device", {{"identifiers", {id}}, {"name", id}}},
        };
        // A momentary channel is pressed, not switched: its ON is followed by the hub's OFF.
        const bool momentary = rule.pulseMs > 0;
        if (momentary) {
            config["payload_press"] = "ON";
        } else {
            config.update({{"state_topic", ChannelTopic(n, "state")},
                           {"payload_on", "ON"},
                           {"payload_off", "OFF"},
                           {"state_on", "ON"},
                           {"state_off", "OFF"},
                           {"optimistic", false}});
        }
        const auto topic = [&](const char* kind) {
            return "homeassistant/" + std::string(kind) + "/" + object + "/config";
        };
        // The other kind's config is cleared, so that Home Assistant never keeps both after
        // a reload or a restart with other rules (clearing one it never had is harmless).
        Publish(topic(momentary ? "switch" : "button"), "");
        Publish(topic(momentary ? "button" : "switch"),
                config.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
    }
}

void CMqttBridge::Publish(const std::string& topic, const std::string& payload) {
    if (!m_brokerUp || m_stopping)
        return; // everything is published again on the next connect
    // QoS 0: nothing is kept for a later connection, which could deliver it after the
    // fresher values that connect publishes.
    mosquitto_publish(m_client, nullptr, topic.c_str(), static_cast<int>(payload.size()),
                      payload.data(), 0, true);
}

std::string CMqttBridge::ChannelTopic(int channel, const char* leaf) const {
    return m_base + "/channel/" + std::to_string(channel) + "/" + leaf;
}
