#include "WebServer.h"

#include "Log.h"

#include <gnutls/gnutls.h>
#include <gnutls/x509.h>
#include <microhttpd.h>

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <list>
#include <mutex>
#include <netdb.h>
#include <strings.h>
#include <sys/socket.h>
#include <thread>
#include <vector>

namespace web {

namespace {

using Clock = std::chrono::steady_clock;

// What one client address may hold beside its event streams: a browser opens up to six
// connections to one host.
constexpr int kPerAddress = 6;
// What all addresses together may hold beside the streams; above it the connection that
// has waited longest for a request goes.
constexpr int kTotal = 32;
// From the connection (or the end of its last response) to a complete request, head and
// body: a client that trickles either is closed when this runs out, however busy it looks.
constexpr auto kHeadDeadline = std::chrono::seconds(10);
constexpr auto kSweepPeriod = std::chrono::milliseconds(250);

std::string AddressText(const sockaddr* address) {
    char text[INET6_ADDRSTRLEN] = "";
    if (address && address->sa_family == AF_INET)
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text,
                  sizeof text);
    else if (address && address->sa_family == AF_INET6)
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr, text,
                  sizeof text);
    return text;
}

// One client connection as the limits see it.
struct Tracked {
    int fd = -1;
    std::string address;
    Clock::time_point since; // connected, or its last response ended
    bool busy = false;       // a request is in, its response not yet done
    bool stream = false;     // answering with a stream: counts apart
    bool shed = false;       // closed by us; the library has not yet seen it
};

struct RouteEntry {
    std::string method;
    std::regex pattern;
    Handler handler;
};

// A request between its head and its response.
struct Exchange {
    Request request;
    bool tooLarge = false;
};

struct Stream {
    ContentProvider provider;
    ContentReleaser releaser;
    std::string pending;
    std::size_t offset = 0;
    bool ended = false;
};

} // namespace

bool Caseless::operator()(const std::string& a, const std::string& b) const {
    return strcasecmp(a.c_str(), b.c_str()) < 0;
}

std::string Request::get_header_value(const std::string& name) const {
    const auto found = headers.find(name);
    return found == headers.end() ? std::string() : found->second;
}

bool DataSink::write(const char* data, std::size_t size) {
    m_out.append(data, size);
    return true;
}

void Response::set_content(const char* data, std::size_t size, const std::string& type) {
    body.assign(data, size);
    contentType = type;
}

void Response::set_content(const std::string& text, const std::string& type) {
    set_content(text.data(), text.size(), type);
}

void Response::set_chunked_content_provider(const std::string& type, ContentProvider content,
                                            ContentReleaser release) {
    contentType = type;
    provider = std::move(content);
    releaser = std::move(release);
}

struct Server::State {
    std::vector<RouteEntry> routes;
    PreRoutingHandler preRouting;
    Handler errorHandler;
    Headers defaultHeaders;
    Settings settings;
    MHD_Daemon* daemon = nullptr;
    CRateLimitedLog libraryLog, shedLog;

    std::mutex mutex;
    std::condition_variable stopAsked;
    bool stopping = false;
    std::list<Tracked> tracked;
    std::thread sweeper;

    // Closes a connection under the library: it sees the end at its next read and cleans up
    // as for any client that left. Called with the mutex held, so the connection's socket is
    // still open (the library closes it only after telling Closed).
    void Shed(Tracked& connection, const char* why) {
        connection.shed = true;
        shutdown(connection.fd, SHUT_RDWR);
        shedLog.Write("web: closed a connection from " + connection.address + ": " + why);
    }

    // The oldest connection waiting for a request among those that pass; null for none.
    template <typename Pass> Tracked* OldestIdle(Pass pass) {
        Tracked* oldest = nullptr;
        for (Tracked& t : tracked) {
            if (!t.busy && !t.stream && !t.shed && pass(t) && (!oldest || t.since < oldest->since))
                oldest = &t;
        }
        return oldest;
    }

    int Count(const std::string* address) const {
        return static_cast<int>(
            std::count_if(tracked.begin(), tracked.end(), [&](const Tracked& t) {
                return !t.stream && !t.shed && (!address || t.address == *address);
            }));
    }

    void Started(MHD_Connection* connection, void** context) {
        const MHD_ConnectionInfo* fd =
            MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
        const MHD_ConnectionInfo* peer =
            MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
        std::lock_guard lock(mutex);
        Tracked& added = tracked.emplace_back();
        added.fd = fd ? fd->connect_fd : -1;
        added.address = AddressText(peer ? peer->client_addr : nullptr);
        added.since = Clock::now();
        *context = &added;
        if (Count(&added.address) > kPerAddress) {
            if (Tracked* oldest =
                    OldestIdle([&](const Tracked& t) { return t.address == added.address; }))
                Shed(*oldest, "too many connections from one address");
        }
        if (Count(nullptr) > kTotal) {
            if (Tracked* oldest = OldestIdle([](const Tracked&) { return true; }))
                Shed(*oldest, "too many connections");
        }
    }

    void Closed(void** context) {
        std::lock_guard lock(mutex);
        tracked.remove_if([&](const Tracked& t) { return &t == *context; });
    }

    void Sweep() {
        std::unique_lock lock(mutex);
        while (!stopAsked.wait_for(lock, kSweepPeriod, [this] { return stopping; })) {
            const auto late = Clock::now() - kHeadDeadline;
            for (Tracked& t : tracked) {
                if (!t.busy && !t.stream && !t.shed && t.since < late)
                    Shed(t, "no request in time");
            }
        }
    }

    Tracked& TrackedOf(MHD_Connection* connection) {
        return *static_cast<Tracked*>(
            MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT)
                ->socket_context);
    }

    void Busy(MHD_Connection* connection, bool busy, bool stream) {
        std::lock_guard lock(mutex);
        Tracked& t = TrackedOf(connection);
        t.busy = busy;
        t.stream = stream;
        t.since = Clock::now();
    }

    MHD_Result Queue(MHD_Connection* connection, Response& res) {
        MHD_Response* response = nullptr;
        if (res.provider) {
            auto* stream = new Stream;
            stream->provider = std::move(res.provider);
            stream->releaser = std::move(res.releaser);
            response = MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, 4096, &ReadStream,
                                                         stream, &EndStream);
            if (!response) {
                EndStream(stream);
                return MHD_NO;
            }
            Busy(connection, true, true);
            MHD_set_connection_option(connection, MHD_CONNECTION_OPTION_TIMEOUT,
                                      static_cast<unsigned>(settings.streamSeconds));
        } else {
            response = MHD_create_response_from_buffer(res.body.size(), res.body.data(),
                                                       MHD_RESPMEM_MUST_COPY);
        }
        if (!response)
            return MHD_NO;
        for (const auto& [name, value] : defaultHeaders)
            MHD_add_response_header(response, name.c_str(), value.c_str());
        for (const auto& [name, value] : res.headers)
            MHD_add_response_header(response, name.c_str(), value.c_str());
        if (!res.contentType.empty())
            MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE,
                                    res.contentType.c_str());
        const MHD_Result queued =
            MHD_queue_response(connection, static_cast<unsigned>(res.status), response);
        MHD_destroy_response(response);
        return queued;
    }

    MHD_Result Answer(MHD_Connection* connection, int status) {
        Response res;
        res.status = status;
        if (errorHandler)
            errorHandler(Request(), res);
        return Queue(connection, res);
    }

    void Route(Request& req, Response& res) {
        const std::string method = req.method == "HEAD" ? "GET" : req.method;
        for (const auto& route : routes) {
            if (route.method == method && std::regex_match(req.path, req.matches, route.pattern))
                return route.handler(req, res);
        }
        res.status = 404;
        if (errorHandler)
            errorHandler(req, res);
    }

    MHD_Result Access(MHD_Connection* connection, const char* url, const char* method,
                      const char* upload, std::size_t* uploadSize, void** context) {
        auto* exchange = static_cast<Exchange*>(*context);
        if (!exchange) {
            // The connection stays idle, under the deadline, until its body is in too: a
            // body can trickle as well as a head.
            exchange = new Exchange;
            *context = exchange;
            Request& req = exchange->request;
            req.method = method;
            req.path = url;
            req.remote_addr = TrackedOf(connection).address;
            MHD_get_connection_values(
                connection, MHD_HEADER_KIND,
                [](void* headers, MHD_ValueKind, const char* key, const char* value) {
                    (*static_cast<Headers*>(headers))[key] = value ? value : "";
                    return MHD_YES;
                },
                &req.headers);
            Response res;
            if (preRouting && preRouting(req, res)) {
                Busy(connection, true, false);
                return Queue(connection, res);
            }
            const std::string length = req.get_header_value(MHD_HTTP_HEADER_CONTENT_LENGTH);
            if (!length.empty() && std::strtoull(length.c_str(), nullptr, 10) > settings.maxBody) {
                Busy(connection, true, false);
                return Answer(connection, 413);
            }
            return MHD_YES;
        }
        if (*uploadSize != 0) {
            exchange->tooLarge |= exchange->request.body.size() + *uploadSize > settings.maxBody;
            if (!exchange->tooLarge)
                exchange->request.body.append(upload, *uploadSize);
            *uploadSize = 0;
            return MHD_YES;
        }
        // The whole request is in: busy until its response is done.
        Busy(connection, true, false);
        if (exchange->tooLarge)
            return Answer(connection, 413);
        Response res;
        Route(exchange->request, res);
        return Queue(connection, res);
    }

    static ssize_t ReadStream(void* self, std::uint64_t, char* buffer, std::size_t max) {
        Stream& stream = *static_cast<Stream*>(self);
        while (stream.pending.empty()) {
            if (stream.ended)
                return MHD_CONTENT_READER_END_OF_STREAM;
            DataSink sink(stream.pending, stream.ended);
            if (!stream.provider(stream.offset, sink))
                return MHD_CONTENT_READER_END_WITH_ERROR;
        }
        const std::size_t size = std::min(max, stream.pending.size());
        std::copy_n(stream.pending.data(), size, buffer);
        stream.pending.erase(0, size);
        stream.offset += size;
        return static_cast<ssize_t>(size);
    }

    static void EndStream(void* self) {
        std::unique_ptr<Stream> stream(static_cast<Stream*>(self));
        if (stream->releaser)
            stream->releaser(stream->ended);
    }
};

bool CheckCertificate(const Certificate& certificate, std::string& error) {
    const auto datum = [](const std::string& text) {
        return gnutls_datum_t{reinterpret_cast<unsigned char*>(const_cast<char*>(text.data())),
                              static_cast<unsigned>(text.size())};
    };
    const gnutls_datum_t cert = datum(certificate.certPem), key = datum(certificate.keyPem);
    gnutls_x509_crt_t* chain = nullptr;
    unsigned count = 0;
    int result = gnutls_x509_crt_list_import2(&chain, &count, &cert, GNUTLS_X509_FMT_PEM, 0);
    if (result < 0) {
        error = std::string("the certificate: ") + gnutls_strerror(result);
        return false;
    }
    for (unsigned n = 0; n < count; ++n)
        gnutls_x509_crt_deinit(chain[n]);
    gnutls_free(chain);
    gnutls_x509_privkey_t parsed = nullptr;
    gnutls_x509_privkey_init(&parsed);
    result = gnutls_x509_privkey_import2(parsed, &key, GNUTLS_X509_FMT_PEM, nullptr, 0);
    gnutls_x509_privkey_deinit(parsed);
    if (result < 0) {
        error = std::string("the key: ") + gnutls_strerror(result);
        return false;
    }
    // The call libmicrohttpd makes, which also checks that the key is the certificate's.
    gnutls_certificate_credentials_t credentials = nullptr;
    gnutls_certificate_allocate_credentials(&credentials);
    result = gnutls_certificate_set_x509_key_mem2(credentials, &cert, &key, GNUTLS_X509_FMT_PEM,
                                                  nullptr, 0);
    gnutls_certificate_free_credentials(credentials);
    if (result < 0) {
        error = result == GNUTLS_E_CERTIFICATE_KEY_MISMATCH
                    ? std::string("the key is not the certificate's")
                    : std::string("the pair: ") + gnutls_strerror(result);
        return false;
    }
    return true;
}

Server::Server() : m_state(std::make_unique<State>()) {}

Server::~Server() {
    Stop();
}

void Server::Get(const std::string& pattern, Handler handler) {
    m_state->routes.push_back({"GET", std::regex(pattern), std::move(handler)});
}

void Server::Post(const std::string& pattern, Handler handler) {
    m_state->routes.push_back({"POST", std::regex(pattern), std::move(handler)});
}

void Server::set_pre_routing_handler(PreRoutingHandler handler) {
    m_state->preRouting = std::move(handler);
}

void Server::set_error_handler(Handler handler) {
    m_state->errorHandler = std::move(handler);
}

void Server::set_default_header(const std::string& name, const std::string& value) {
    m_state->defaultHeaders[name] = value;
}

bool Server::Listen(const std::string& host, std::uint16_t port, const Settings& settings,
                    std::string& error) {
    State& s = *m_state;
    s.settings = settings;
    addrinfo hints{};
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (const int failed =
            getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found)) {
        error = gai_strerror(failed);
        return false;
    }
    const std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> address(found, &freeaddrinfo);
    const bool tls = !settings.certificate.certPem.empty();
    // A thread per connection, so a switch that waits for the board or a stream that waits
    // for events holds only its own; the limits above bound how many there are. poll, not
    // select, which fails for descriptors past 1023.
    unsigned flags = MHD_USE_THREAD_PER_CONNECTION | MHD_USE_INTERNAL_POLLING_THREAD |
                     MHD_USE_POLL | MHD_USE_ERROR_LOG | (tls ? MHD_USE_TLS : 0) |
                     (found->ai_family == AF_INET6 ? MHD_USE_IPv6 : 0);
    const auto logger = [](void* self, const char* format, va_list arguments) {
        char line[512];
        std::vsnprintf(line, sizeof line, format, arguments);
        std::string text = line;
        text.erase(text.find_last_not_of(" \r\n") + 1);
        static_cast<State*>(self)->libraryLog.Write("web: " + text);
    };
    std::vector<MHD_OptionItem> options = {
        // First, so that the library's own lines about the options below come here too.
        {MHD_OPTION_EXTERNAL_LOGGER, reinterpret_cast<intptr_t>(+logger), &s},
        {MHD_OPTION_SOCK_ADDR, 0, found->ai_addr},
        // A margin above the limits, so that the newcomer reaches them and they choose.
        {MHD_OPTION_CONNECTION_LIMIT, kTotal + settings.maxStreams + kPerAddress, nullptr},
        {MHD_OPTION_CONNECTION_TIMEOUT, settings.idleSeconds, nullptr},
        {MHD_OPTION_NOTIFY_CONNECTION,
         reinterpret_cast<intptr_t>(+[](void* self, MHD_Connection* connection, void** context,
                                        MHD_ConnectionNotificationCode code) {
             if (code == MHD_CONNECTION_NOTIFY_STARTED)
                 static_cast<State*>(self)->Started(connection, context);
             else
                 static_cast<State*>(self)->Closed(context);
         }),
         &s},
        {MHD_OPTION_NOTIFY_COMPLETED,
         reinterpret_cast<intptr_t>(+[](void* self, MHD_Connection* connection, void** context,
                                        MHD_RequestTerminationCode) {
             delete static_cast<Exchange*>(*context);
             *context = nullptr;
             static_cast<State*>(self)->Busy(connection, false, false);
         }),
         &s},
    };
    if (tls) {
        options.push_back({MHD_OPTION_HTTPS_MEM_CERT, 0,
                           const_cast<char*>(s.settings.certificate.certPem.c_str())});
        options.push_back({MHD_OPTION_HTTPS_MEM_KEY, 0,
                           const_cast<char*>(s.settings.certificate.keyPem.c_str())});
    }
    options.push_back({MHD_OPTION_END, 0, nullptr});
    s.daemon = MHD_start_daemon(
        flags, port, nullptr, nullptr,
        +[](void* self, MHD_Connection* connection, const char* url, const char* method,
            const char*, const char* upload, std::size_t* uploadSize, void** context) {
            return static_cast<State*>(self)->Access(connection, url, method, upload, uploadSize,
                                                     context);
        },
        &s, MHD_OPTION_ARRAY, options.data(), MHD_OPTION_END);
    if (!s.daemon) {
        error = "libmicrohttpd did not start (see its line above)";
        return false;
    }
    s.stopping = false;
    s.sweeper = std::thread([&s] { s.Sweep(); });
    return true;
}

std::uint16_t Server::Port() const {
    const MHD_DaemonInfo* info =
        m_state->daemon ? MHD_get_daemon_info(m_state->daemon, MHD_DAEMON_INFO_BIND_PORT) : nullptr;
    return info ? info->port : 0;
}

void Server::Stop() {
    State& s = *m_state;
    if (!s.daemon)
        return;
    {
        std::lock_guard lock(s.mutex);
        s.stopping = true;
    }
    s.stopAsked.notify_all();
    s.sweeper.join();
    MHD_stop_daemon(s.daemon);
    s.daemon = nullptr;
}

} // namespace web
