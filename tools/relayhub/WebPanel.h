// The web panel: the page, a JSON API, a server-sent event stream and the metrics, served
// over HTTP or HTTPS (WebServer.h) beside the hub's other clients.
#pragma once

#include "Captions.h"
#include "Hub.h"

#include <memory>
#include <string>

struct HubOptions;
namespace web {
struct Certificate;
}

class CWebPanel : public CHubPart {
  public:
    // HTTPS with the certificate, when it is not empty.
    CWebPanel(CRelayHub& hub, const HubOptions& options, ChannelCaptions captions,
              web::Certificate certificate);
    ~CWebPanel() override; // stops
    CWebPanel(const CWebPanel&) = delete;
    CWebPanel& operator=(const CWebPanel&) = delete;

    // Reads the token file (when given), binds and starts serving; false with a reason.
    bool Start(std::string& error) override;
    // Ends the event streams, waits for requests in progress and closes. Idempotent.
    void Stop() override;

    void BoardUp(std::uint16_t channels) override;
    void BoardDown() override;
    void StatusChanged(std::uint16_t channels, std::uint16_t changed) override;
    // The streams hear of the new rules (names, momentary channels) at once.
    void RulesChanged(const ChannelRules& rules) override;
    // A pulse's or an auto-off's time left, also when the board has not changed.
    void TimersChanged(const std::array<std::chrono::steady_clock::time_point, RELAY_CHANNEL_COUNT>&
                           offAt) override;

  private:
    struct State;
    std::unique_ptr<State> m_state;
};

// What relayhub looks up in the web panel's module, which it loads only for --http. Null
// with a reason naming the option when the certificate or its key cannot serve.
using MakeWebPanelFunction = CHubPart*(CRelayHub& hub, const HubOptions& options,
                                       const ChannelCaptions& captions, std::string& error);
inline constexpr char MAKE_WEB_PANEL[] = "RelayhubMakeWebPanel";
extern "C" MakeWebPanelFunction RelayhubMakeWebPanel;
