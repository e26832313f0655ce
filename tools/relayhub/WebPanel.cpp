#include "WebPanel.h"

#include "ChannelRuleEngine.h"
#include "HubOptions.h"
#include "Log.h"
#include "Metrics.h"
#include "PulseLength.h"
#include "WebAssets.h"
#include "WebServer.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cctype>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <fstream>
#include <mutex>
#include <optional>
#include <sstream>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
// ordered: the keys go out in the order relayctl --json prints them.
using json = nlohmann::ordered_json;

// relayctl's verification: a status showing the change within its default time-out, then
// up to three more statuses (its requeries; here the hub's own polls), each within it.
constexpr auto kConfirmTimeout = std::chrono::milliseconds(1000);
constexpr int kMoreStatuses = 3;
// The longest body taken is "toggle"; anything much bigger is not a request for us.
constexpr std::size_t kMaxBody = 64;
// A connection that sends or reads nothing for this long goes; an event stream, whose
// heartbeats keep it busy, after a few heartbeats.
constexpr int kTimeoutSeconds = 5;
// A quiet event stream gets a comment this often, which also finds listeners that left.
constexpr auto kStreamHeartbeat = std::chrono::seconds(10);
// Events a slow listener may be behind before it gets the current state instead.
constexpr std::size_t kEventsKept = 64;

json StatusJson(bool connected, std::uint16_t channels) {
    json list = json::array();
    for (int n = 0; n < RELAY_CHANNEL_COUNT; ++n)
        list.push_back(static_cast<bool>(channels >> n & 1));
    char mask[8];
    std::snprintf(mask, sizeof mask, "0x%04X", channels);
    return {{"connected", connected}, {"channels", list}, {"mask", mask}};
}

// Each channel's rules as relayhub.toml gives them; null for a rule not set.
json RulesJson(const ChannelRules& rules) {
    const auto orNull = [](int value) { return value > 0 ? json(value) : json(nullptr); };
    json list = json::array();
    for (int n = 1; n <= RELAY_CHANNEL_COUNT; ++n) {
        const ChannelRule& rule = rules.Channel(n);
        json group = nullptr;
        if (rule.interlock >= 0) {
            group = json::array();
            const std::uint16_t members =
                rules.interlocks[static_cast<std::size_t>(rule.interlock)].channels;
            for (int other = 1; other <= RELAY_CHANNEL_COUNT; ++other)
                if (members >> (other - 1) & 1)
                    group.push_back(other);
        }
        list.push_back({{"name", rule.name.empty() ? json(nullptr) : json(rule.name)},
                        {"pulse_ms", orNull(rule.pulseMs)},
                        {"max_on_s", orNull(rule.maxOnS)},
                        {"power_on", PowerOnName(rule.powerOn)},
                        {"interlock", group}});
    }
    return list;
}

// Per channel, the milliseconds until its running timer switches it off (rounded up, so a
// running timer never reads 0 early), null for none.
json TimersJson(const BoardSnapshot& board) {
    const auto now = Clock::now();
    json list = json::array();
    for (const Clock::time_point offAt : board.offAt) {
        if (offAt == Clock::time_point::max())
            list.push_back(nullptr);
        else
            list.push_back(std::max<std::int64_t>(
                std::chrono::ceil<std::chrono::milliseconds>(offAt - now).count(), 0));
    }
    return list;
}

std::string Dump(const json& value) {
    return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

void Reply(web::Response& res, int status, const json& body) {
    res.status = status;
    res.set_header("Cache-Control", "no-store");
    res.set_content(Dump(body), "application/json; charset=utf-8");
}

void Refuse(web::Response& res, int status, const std::string& why) {
    Reply(res, status, {{"error", why}});
}

bool IsLoopback(const std::string& address) {
    return address.starts_with("127.") || address == "::1" || address.starts_with("::ffff:127.");
}

// The host part of a Host header ("[::1]:8080" gives "::1", "a.b:80" gives "a.b").
std::string HostName(const std::string& host) {
    if (host.starts_with("["))
        return host.substr(1, host.find(']') - 1);
    return host.substr(0, host.find(':'));
}

bool IsAddressLiteral(const std::string& name) {
    return name.find(':') != std::string::npos ||
           (!name.empty() && std::all_of(name.begin(), name.end(), [](unsigned char c) {
               return std::isdigit(c) || c == '.';
           }));
}

// Both equal, in a time that does not depend on where they differ.
bool SameSecret(const std::string& given, const std::string& secret) {
    unsigned difference = given.size() != secret.size();
    for (std::size_t i = 0; i < given.size(); ++i)
        difference |=
            static_cast<unsigned char>(given[i]) ^
            static_cast<unsigned char>(secret[i % std::max<std::size_t>(secret.size(), 1)]);
    return difference == 0;
}

std::string Lowered(std::string text) {
    const auto space = [](unsigned char c) { return std::isspace(c) != 0; };
    text.erase(std::find_if_not(text.rbegin(), text.rend(), space).base(), text.end());
    text.erase(text.begin(), std::find_if_not(text.begin(), text.end(), space));
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Whether an Origin names the same host and port as the Host header, by https, or by http
// too when the hub serves plain HTTP (a TLS proxy may be in front); the port Host leaves out
// is the Origin scheme's.
bool SameOrigin(const std::string& origin, const std::string& host, bool httpsOnly) {
    const auto authority = [](const std::string& text, const std::string& defaultPort) {
        const std::string name = HostName(text);
        const std::size_t end = text.starts_with("[") ? text.find(']') + 1 : name.size();
        const bool port = end < text.size() && text[end] == ':';
        return Lowered(name) + ":" + (port ? text.substr(end + 1) : defaultPort);
    };
    if (httpsOnly && !origin.starts_with("https://"))
        return false;
    for (const auto& [scheme, port] : {std::pair{"http://", "80"}, {"https://", "443"}})
        if (origin.starts_with(scheme))
            return authority(origin.substr(std::string(scheme).size()), port) ==
                   authority(host, port);
    return false;
}

// The file's bytes; nothing when it cannot be read.
std::optional<std::string> ReadWhole(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream whole;
    whole << file.rdbuf();
    if (!file)
        return std::nullopt;
    return whole.str();
}

enum class Outcome { Confirmed, NotConfirmed, Down };

// "1".."16" from a path, 0 for anything else.
int ChannelOfPath(const std::string& number) {
    const bool digits = !number.empty() && number.size() <= 2 &&
                        std::all_of(number.begin(), number.end(),
                                    [](unsigned char c) { return std::isdigit(c) != 0; });
    const int channel = digits ? std::stoi(number) : 0;
    return channel >= 1 && channel <= RELAY_CHANNEL_COUNT ? channel : 0;
}

// What the event streams are told; written out with the rules and timers of that moment.
struct Event {
    std::uint64_t number;
    const char* type;
    bool connected;
    std::uint16_t channels;
};

} // namespace

struct CWebPanel::State {
    CRelayHub& hub;
    const std::string host;
    const std::uint16_t port;
    const std::string tokenFile;
    const int maxListeners;
    const ChannelCaptions captions;
    const web::Certificate certificate; // empty for plain HTTP

    std::string token;
    web::Server server;
    CRateLimitedLog refusals;

    // The board as the hub's events told it, and the events for the streams.
    std::mutex mutex;
    std::condition_variable eventAdded;
    bool connected = false;
    std::uint16_t channels = 0;
    std::deque<Event> events;
    std::uint64_t nextEvent = 1;
    int listeners = 0;
    std::atomic<bool> stopping{false}; // also read by switches waiting for the board

    State(CRelayHub& hub, const HubOptions& options, ChannelCaptions captions,
          web::Certificate certificate)
        : hub(hub), host(options.httpHost.value_or("127.0.0.1")), port(options.httpPort),
          tokenFile(options.httpTokenFile), maxListeners(options.httpMaxListeners),
          captions(std::move(captions)), certificate(std::move(certificate)) {}

    json Status(const BoardSnapshot& board) const {
        json status = StatusJson(board.up, board.channels);
        status["captions"] = captions;
        status["rules"] = RulesJson(hub.Rules());
        status["timer_ms"] = TimersJson(board);
        return status;
    }

    // The board's down event keeps the channels last seen, a reload's event both.
    void Publish(const char* type, std::optional<bool> up, std::optional<std::uint16_t> now) {
        {
            std::lock_guard lock(mutex);
            connected = up.value_or(connected);
            channels = now.value_or(channels);
            AddEvent(type);
        }
        eventAdded.notify_all();
    }

    // With mutex held.
    void AddEvent(const char* type) {
        events.push_back({nextEvent++, type, connected, channels});
        if (events.size() > kEventsKept)
            events.pop_front();
    }

    // 0 when the request may go on, else the status to refuse it with.
    int Refusal(const web::Request& req, std::string& why) const {
        // Without a token only loopback is trusted, so the page must be asked for by address:
        // a name of some other site that resolves here (DNS rebinding) is not ours.
        const std::string name = HostName(req.get_header_value("Host"));
        if (token.empty() && name != "localhost" && name != host && !IsAddressLiteral(name)) {
            why = "the host name " + name + " is not this hub's";
            return 403;
        }
        if (req.method == "GET" || req.method == "HEAD")
            return 0;
        if (req.has_header("Origin") &&
            !SameOrigin(req.get_header_value("Origin"), req.get_header_value("Host"),
                        !certificate.certPem.empty())) {
            why = "a page of another origin (" + req.get_header_value("Origin") + ")";
            return 403;
        }
        if (!token.empty() &&
            !SameSecret(req.get_header_value("Authorization"), "Bearer " + token)) {
            why = "no valid bearer token";
            return 401;
        }
        if (token.empty() && !IsLoopback(req.remote_addr)) {
            why = "switching is only from loopback unless the hub has a token";
            return 403;
        }
        return 0;
    }

    // Writes what the listener has not seen yet; waits for it first when there is nothing.
    bool Stream(std::uint64_t& next, web::DataSink& sink) {
        std::string out = next == 0 ? "retry: 2000\n" : "";
        std::vector<Event> unseen;
        {
            std::unique_lock lock(mutex);
            if (next != 0)
                eventAdded.wait_for(lock, kStreamHeartbeat,
                                    [&] { return stopping || nextEvent > next; });
            if (stopping) {
                sink.done();
                return true;
            }
            if (next == 0 || (nextEvent > next && events.front().number > next)) {
                // A new listener, or one too far behind: the state as it is now.
                unseen.push_back({0, "snapshot", connected, channels});
            } else {
                for (const Event& event : events) {
                    if (event.number >= next)
                        unseen.push_back(event);
                }
            }
            next = nextEvent;
        }
        if (unseen.empty()) {
            out += ": still here\n\n";
        } else {
            // Asked for outside our lock, so that the hub's is never taken under it.
            const json rules = RulesJson(hub.Rules());
            const json timers = TimersJson(hub.Snapshot());
            for (const Event& event : unseen) {
                json status = StatusJson(event.connected, event.channels);
                status["rules"] = rules;
                status["timer_ms"] = timers;
                out += std::string("event: ") + event.type + "\ndata: " + Dump(status) + "\n\n";
            }
        }
        return sink.write(out.data(), out.size());
    }

    // What an ON of the channel may take beyond a switch: an interlock's changeover.
    Clock::duration Changeover(int channel) const {
        const ChannelRules rules = hub.Rules();
        const int group = rules.Channel(channel).interlock;
        if (group < 0)
            return Clock::duration::zero();
        return RULE_CONFIRM_WAIT +
               std::chrono::milliseconds(rules.interlocks[static_cast<std::size_t>(group)].deadMs);
    }

    Outcome Confirm(BoardSnapshot& seen, std::uint16_t mask, std::uint16_t wanted,
                    Clock::duration changeover) const {
        const auto shows = [&] { return ((seen.channels ^ wanted) & mask) == 0; };
        const auto deadline = Clock::now() + kConfirmTimeout + changeover;
        // A changeover may take a minute: a stop does not wait for it.
        while (!stopping) {
            const BoardSnapshot now = hub.WaitForStatus(seen.statusCount, deadline);
            if (!now.up)
                return Outcome::Down;
            if (now.statusCount == seen.statusCount)
                break;
            seen = now;
            if (shows())
                return Outcome::Confirmed;
        }
        for (int more = 0; more < kMoreStatuses; ++more) {
            const BoardSnapshot now =
                hub.WaitForStatus(seen.statusCount, Clock::now() + kConfirmTimeout);
            if (!now.up)
                return Outcome::Down;
            seen = now;
            if (shows())
                return Outcome::Confirmed;
        }
        return Outcome::NotConfirmed;
    }

    // Sends the switch that brings the channels of mask to wanted (toggled when wanted is
    // empty) and answers once the board has confirmed it or has not.
    void Switch(const web::Request& req, web::Response& res, std::uint16_t mask,
                std::optional<bool> wanted) {
        BoardSnapshot seen = hub.Snapshot();
        if (!seen.up)
            return Refuse(res, 503, "the board is not connected");
        const auto target =
            static_cast<std::uint16_t>(wanted ? (*wanted ? mask : 0) : ~seen.channels & mask);
        RelayFrame frame;
        std::uint16_t shown = mask; // what the board's answer is to show as target does
        Clock::duration changeover = Clock::duration::zero();
        if (mask == 0xFFFF) {
            frame = BuildRelayCommand(RELAY_CMD_SET_ALL, target ? 0xFFFFFFFF : 0);
            // The hub's set-all on leaves interlocked channels as they are.
            if (target) {
                for (const InterlockGroup& group : hub.Rules().interlocks)
                    shown &= static_cast<std::uint16_t>(~group.channels);
            }
        } else {
            const auto channel = static_cast<std::uint32_t>(std::countr_zero(mask) + 1);
            frame = BuildRelayCommand(target ? RELAY_CMD_ON : RELAY_CMD_OFF, channel);
            if (target)
                changeover = Changeover(static_cast<int>(channel));
        }
        if (!hub.SendCommand(frame, SwitchSource::Web, "web " + req.remote_addr))
            return Refuse(res, 503, "the board is not connected");
        Answer(res, seen, shown, static_cast<std::uint16_t>(target & shown), changeover);
    }

    // Pulses the channel and answers once the board has confirmed the on, or has not.
    void Pulse(const web::Request& req, web::Response& res, int channel, int ms) {
        BoardSnapshot seen = hub.Snapshot();
        if (!seen.up || !hub.PulseChannel(channel, ms, SwitchSource::Web, "web " + req.remote_addr))
            return Refuse(res, 503, "the board is not connected");
        const auto mask = static_cast<std::uint16_t>(1u << (channel - 1));
        Answer(res, seen, mask, mask, Changeover(channel));
    }

    void Answer(web::Response& res, BoardSnapshot& seen, std::uint16_t mask, std::uint16_t target,
                Clock::duration changeover) const {
        switch (Confirm(seen, mask, target, changeover)) {
        case Outcome::Confirmed:
            return Reply(res, 200, Status(seen));
        case Outcome::Down:
            return Refuse(res, 503, "the board went away before it confirmed");
        case Outcome::NotConfirmed:
            return Reply(
                res, 504,
                {{"error", "the board did not confirm the switch"}, {"status", Status(seen)}});
        }
    }

    void Routes() {
        server.set_pre_routing_handler([this](const web::Request& req, web::Response& res) {
            std::string why;
            const int status = Refusal(req, why);
            if (status == 0)
                return false;
            refusals.Write("web: refused " + req.method + " " + req.path + " from " +
                           req.remote_addr + ": " + why);
            Refuse(res, status, why);
            if (status == 401)
                res.set_header("WWW-Authenticate", "Bearer");
            // The body, if any, is not read: nothing more on this connection makes sense.
            res.set_header("Connection", "close");
            return true;
        });

        for (const WebAsset& asset : WebAssets()) {
            const std::string path = asset.path == "/index.html" ? "/" : std::string(asset.path);
            server.Get(path, [&asset](const web::Request&, web::Response& res) {
                res.set_header("Cache-Control", "no-cache");
                res.set_header("Content-Security-Policy",
                               "default-src 'self'; frame-ancestors 'none'");
                res.set_content(asset.body.data(), asset.body.size(), std::string(asset.type));
            });
        }

        server.Get("/api/status", [this](const web::Request&, web::Response& res) {
            Reply(res, 200, Status(hub.Snapshot()));
        });

        server.Get("/metrics", [this](const web::Request&, web::Response& res) {
            int streams = 0;
            {
                std::lock_guard lock(mutex);
                streams = listeners;
            }
            res.set_header("Cache-Control", "no-store");
            res.set_content(MetricsText(hub.Snapshot(), captions, streams),
                            "text/plain; version=0.0.4; charset=utf-8");
        });

        server.Post(R"(/api/channel/([^/]*))", [this](const web::Request& req, web::Response& res) {
            const int channel = ChannelOfPath(req.matches[1]);
            if (channel == 0)
                return Refuse(res, 400, "channels are 1 to 16");
            const std::string body = Lowered(req.body);
            if (body != "on" && body != "off" && body != "toggle")
                return Refuse(res, 400, "the body is on, off or toggle");
            const auto mask = static_cast<std::uint16_t>(1u << (channel - 1));
            Switch(req, res, mask,
                   body == "toggle" ? std::nullopt : std::optional<bool>(body == "on"));
        });

        server.Post(
            R"(/api/channel/([^/]*)/pulse)", [this](const web::Request& req, web::Response& res) {
                const int channel = ChannelOfPath(req.matches[1]);
                if (channel == 0)
                    return Refuse(res, 400, "channels are 1 to 16");
                const std::string body = Lowered(req.body);
                const int configured = hub.Rules().Channel(channel).pulseMs;
                if (body.empty() && configured == 0)
                    return Refuse(res, 400,
                                  "channel " + std::to_string(channel) +
                                      " has no pulse_ms: the body is the milliseconds to pulse");
                const std::optional<int> ms = body.empty() ? configured : ParsePulseMs(body);
                if (!ms)
                    return Refuse(res, 400,
                                  "the body is the milliseconds, " + std::to_string(PULSE_MS_MIN) +
                                      " to " + std::to_string(PULSE_MS_MAX) +
                                      ", or empty for the channel's pulse_ms");
                Pulse(req, res, channel, *ms);
            });

        server.Post("/api/all", [this](const web::Request& req, web::Response& res) {
            const std::string body = Lowered(req.body);
            if (body != "on" && body != "off")
                return Refuse(res, 400, "the body is on or off");
            Switch(req, res, 0xFFFF, body == "on");
        });

        server.Get("/api/events", [this](const web::Request& req, web::Response& res) {
            {
                std::lock_guard lock(mutex);
                if (listeners >= maxListeners) {
                    refusals.Write("web: event stream refused to " + req.remote_addr + ": " +
                                   std::to_string(maxListeners) + " listeners already");
                    res.set_header("Retry-After", "5");
                    return Refuse(res, 503, "too many listeners");
                }
                ++listeners;
            }
            res.set_header("Cache-Control", "no-store");
            auto next = std::make_shared<std::uint64_t>(0);
            res.set_chunked_content_provider(
                "text/event-stream",
                [this, next](std::size_t, web::DataSink& sink) { return Stream(*next, sink); },
                [this](bool) {
                    std::lock_guard lock(mutex);
                    --listeners;
                });
        });
    }
};

CWebPanel::CWebPanel(CRelayHub& hub, const HubOptions& options, ChannelCaptions captions,
                     web::Certificate certificate)
    : m_state(std::make_unique<State>(hub, options, std::move(captions), std::move(certificate))) {}

CWebPanel::~CWebPanel() {
    Stop();
}

bool CWebPanel::Start(std::string& error) {
    State& s = *m_state;
    if (!s.tokenFile.empty()) {
        s.token = ReadWhole(s.tokenFile).value_or("");
        s.token.erase(s.token.find_last_not_of(" \t\r\n") + 1);
        s.token.erase(0, s.token.find_first_not_of(" \t\r\n"));
        if (s.token.empty()) {
            error = "cannot read a token from " + s.tokenFile;
            return false;
        }
    }
    s.server.set_default_header("X-Content-Type-Options", "nosniff");
    // The server's own refusals (404, 413) come without a body; the API's are JSON.
    s.server.set_error_handler([](const web::Request&, web::Response& res) {
        if (res.body.empty())
            Refuse(res, res.status,
                   res.status == 413   ? "the request is too large"
                   : res.status == 404 ? "no such page"
                                       : "the request was refused");
    });
    s.Routes();
    web::Server::Settings settings;
    settings.maxBody = kMaxBody;
    settings.idleSeconds = kTimeoutSeconds;
    settings.streamSeconds = static_cast<int>(3 * kStreamHeartbeat / std::chrono::seconds(1));
    settings.maxStreams = s.maxListeners;
    settings.certificate = s.certificate;
    std::string why;
    if (!s.server.Listen(s.host, s.port, settings, why)) {
        error = "cannot listen for the web panel on " + s.host + ":" + std::to_string(s.port) +
                ": " + why;
        return false;
    }
    const bool https = !s.certificate.certPem.empty();
    HubLog(std::string("web panel on ") + (https ? "https" : "http") + "://" + s.host + ":" +
           std::to_string(s.server.Port()) + "/ (switching " +
           (s.token.empty() ? "from loopback only)" : "with the token)"));
    return true;
}

void CWebPanel::Stop() {
    State& s = *m_state;
    {
        std::lock_guard lock(s.mutex);
        s.stopping = true;
    }
    s.eventAdded.notify_all();
    s.server.Stop();
}

void CWebPanel::BoardUp(std::uint16_t channels) {
    m_state->Publish("up", true, channels);
}

void CWebPanel::BoardDown() {
    m_state->Publish("down", false, std::nullopt);
}

void CWebPanel::StatusChanged(std::uint16_t channels, std::uint16_t) {
    m_state->Publish("status", true, channels);
}

void CWebPanel::RulesChanged(const ChannelRules&) {
    m_state->Publish("rules", std::nullopt, std::nullopt);
}

// The streams read the timers from the hub's snapshot, which already holds these.
void CWebPanel::TimersChanged(const std::array<Clock::time_point, RELAY_CHANNEL_COUNT>&) {
    m_state->Publish("timers", std::nullopt, std::nullopt);
}

extern "C" CHubPart* RelayhubMakeWebPanel(CRelayHub& hub, const HubOptions& options,
                                          const ChannelCaptions& captions, std::string& error) {
    web::Certificate certificate;
    if (options.httpCertFile.empty() != options.httpKeyFile.empty()) {
        error = options.httpKeyFile.empty() ? "--http-cert needs --http-key"
                                            : "--http-key needs --http-cert";
        return nullptr;
    }
    if (!options.httpCertFile.empty()) {
        const std::optional<std::string> cert = ReadWhole(options.httpCertFile);
        const std::optional<std::string> key = ReadWhole(options.httpKeyFile);
        if (!cert || !key) {
            error = !cert ? "--http-cert " + options.httpCertFile + ": cannot read it"
                          : "--http-key " + options.httpKeyFile + ": cannot read it";
            return nullptr;
        }
        certificate = {*cert, *key};
        if (!web::CheckCertificate(certificate, error)) {
            error = "--http-cert " + options.httpCertFile + " with --http-key " +
                    options.httpKeyFile + ": " + error;
            return nullptr;
        }
    }
    return new CWebPanel(hub, options, captions, std::move(certificate)); // the caller owns it
}
