// The web panel's HTTP(S) transport on libmicrohttpd: requests in, responses out, routes by
// method and path, and the limits that keep slow or greedy clients from shutting others out.
// The panel's routes (WebPanel.cpp) see only the types below.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <regex>
#include <string>

namespace web {

struct Caseless {
    bool operator()(const std::string& a, const std::string& b) const;
};
using Headers = std::map<std::string, std::string, Caseless>;

struct Request {
    std::string method;
    std::string path; // without the query
    std::string remote_addr;
    Headers headers;
    std::string body;
    std::smatch matches; // of the route's pattern against path

    bool has_header(const std::string& name) const { return headers.count(name) != 0; }
    std::string get_header_value(const std::string& name) const;
};

// Where a streamed response writes its next piece.
class DataSink {
  public:
    explicit DataSink(std::string& out, bool& ended) : m_out(out), m_ended(ended) {}
    bool write(const char* data, std::size_t size);
    void done() { m_ended = true; }

  private:
    std::string& m_out;
    bool& m_ended;
};

// Called whenever the client has taken all that was written (it may block until there is
// more); false ends the stream as failed. The releaser runs once the stream is over.
using ContentProvider = std::function<bool(std::size_t offset, DataSink& sink)>;
using ContentReleaser = std::function<void(bool ended)>;

struct Response {
    int status = 200;
    Headers headers;
    std::string body;
    std::string contentType;
    ContentProvider provider;
    ContentReleaser releaser;

    void set_header(const std::string& name, const std::string& value) { headers[name] = value; }
    void set_content(const char* data, std::size_t size, const std::string& type);
    void set_content(const std::string& text, const std::string& type);
    // Chunked, for as long as the provider goes on; the connection then counts apart from
    // the limits of ordinary requests.
    void set_chunked_content_provider(const std::string& type, ContentProvider provider,
                                      ContentReleaser releaser);
};

// A server's certificate (chain) and its private key, in PEM.
struct Certificate {
    std::string certPem;
    std::string keyPem;
};
// Whether both parse and the key is the certificate's; false with a reason.
bool CheckCertificate(const Certificate& certificate, std::string& error);

using Handler = std::function<void(const Request&, Response&)>;
// Runs before the routes, once the head is in and before any body is read: true when it has
// answered (a refusal), and the body then is not read.
using PreRoutingHandler = std::function<bool(const Request&, Response&)>;

class Server {
  public:
    Server();
    ~Server(); // stops
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Before Listen. A pattern matches the whole path; HEAD takes the GET routes.
    void Get(const std::string& pattern, Handler handler);
    void Post(const std::string& pattern, Handler handler);
    void set_pre_routing_handler(PreRoutingHandler handler);
    // For the answers the server makes itself (no route, a body too large) before they go.
    void set_error_handler(Handler handler);
    void set_default_header(const std::string& name, const std::string& value);

    struct Settings {
        std::size_t maxBody = 64;
        int idleSeconds = 5;     // a connection that sends nothing for this long goes
        int streamSeconds = 0;   // the same for a streamed response; 0 for never
        int maxStreams = 32;     // beside the ordinary connections
        Certificate certificate; // HTTPS unless empty
    };
    // Binds host:port (port 0 for any) and serves; false with a reason.
    bool Listen(const std::string& host, std::uint16_t port, const Settings& settings,
                std::string& error);
    std::uint16_t Port() const;
    // Ends the streams' connections and joins every thread. Idempotent. Providers blocked
    // waiting for data must have been told to end first.
    void Stop();

  private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace web
