// The board on an MQTT broker: one switch per channel (a button for a momentary one), Home
// Assistant discovery, and an availability topic that says online only while both the
// broker and the board are up.
#pragma once

#include "Captions.h"
#include "Hub.h"
#include "HubOptions.h"
#include "Log.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

struct mosquitto;
struct mosquitto_message;

class CMqttBridge : public CHubPart {
  public:
    CMqttBridge(CRelayHub& hub, const HubOptions& options, ChannelCaptions captions);
    ~CMqttBridge() override; // stops
    CMqttBridge(const CMqttBridge&) = delete;
    CMqttBridge& operator=(const CMqttBridge&) = delete;

    // Starts the bridge's thread, which connects and reconnects with a backoff; false with
    // a reason when the options or the password file are unusable. A broker that is not
    // there yet, or whose TLS fails, is not an error.
    bool Start(std::string& error) override;
    // Publishes offline, disconnects and joins the bridge's thread. Idempotent; the hub may
    // still call the listener afterwards.
    void Stop() override;

    // HubListener, on the hub's thread: these only hand messages over to mosquitto.
    void BoardUp(std::uint16_t channels) override;
    void BoardDown() override;
    void StatusChanged(std::uint16_t channels, std::uint16_t changed) override;
    // Names and momentary channels may have changed: discovery is published again.
    void RulesChanged(const ChannelRules& rules) override;

  private:
    // The bridge's thread: all of libmosquitto's network work, and the reconnects, which
    // libmosquitto's own thread would give up after a TLS failure.
    void Run();
    void ConnectFailed();

    // On the bridge's thread, from within libmosquitto.
    void OnLog(int level, const char* text);
    void OnConnect(int result);
    void OnDisconnect(int result);
    void OnMessage(const mosquitto_message& message);

    void HandleSet(const std::string& topic, const std::string& payload);
    void HandlePulse(int channel, const std::string& topic, const std::string& payload);
    // The channel of <base>/channel/<n>/<leaf>, when topic is one.
    std::optional<int> ChannelOf(const std::string& topic, const std::string& leaf) const;

    // With m_mutex held, so that what the hub's thread and the bridge's thread publish
    // cannot overtake each other.
    void PublishAvailability();
    void PublishStates(std::uint16_t which);
    void PublishDiscovery();
    void Publish(const std::string& topic, const std::string& payload);

    std::string ChannelTopic(int channel, const char* leaf) const;

    CRelayHub& m_hub; // not owned
    const HubOptions m_options;
    const ChannelCaptions m_captions;
    const std::string m_base;  // <prefix>/<id>
    const std::string m_where; // the broker, for the log
    mosquitto* m_client = nullptr;
    CRateLimitedLog m_ignoredLog;
    std::thread m_thread;

    // On the bridge's thread only.
    int m_refusal = 0;        // the broker's last refusal
    unsigned m_failures = 0;  // connects failed or lost since the last that worked
    std::string m_tlsFailure; // why this attempt's TLS failed, as far as known yet
    std::string m_tlsLogged;  // the last such reason logged

    std::mutex m_mutex;
    std::condition_variable m_wake; // the backoff's wait, ended early by Stop
    bool m_brokerUp = false;
    bool m_boardUp = false;
    bool m_stopping = false;
    std::chrono::steady_clock::time_point m_goodbyeDeadline; // once stopping
    std::uint16_t m_channels = 0; // as the board last reported them, valid while m_boardUp
    ChannelRules m_rules;         // names and momentary channels for discovery
};
