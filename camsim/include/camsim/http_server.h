// A small HTTP/1.1 server for a simulated camera's web server: one request
// per connection unless a camera keeps connections, every request recorded,
// errors and slow answers injectable. GET only, unless a camera that takes
// request bodies (SOAP) allows POST.
#pragma once

#include "camsim/faults.h"
#include "camsim/recording.h"
#include "camsim/tcp_server.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace camsim {

struct HttpRequest {
    std::string method;
    std::string target; // as sent: path and query
    std::string path;
    std::string query;                          // after "?", not decoded
    std::map<std::string, std::string> headers; // names in lower case
    std::string body;                           // POST only, as sent
    std::string header(const std::string& lowerName) const;
    // The query split at "&" into name and value (both percent-decoded);
    // a name without "=" has no value.
    std::vector<std::pair<std::string, std::optional<std::string>>> parameters() const;
};

struct HttpResponse {
    HttpResponse() = default;
    HttpResponse(int s, std::string b) : status(s), body(std::move(b)) {}
    int status = 200;
    std::string body;
    std::string contentType = "text/plain";
    // Further header lines (name, value), e.g. an authentication challenge.
    std::vector<std::pair<std::string, std::string>> headers;
};

struct HttpFaults {
    // Answer every request with this status (and a short body) when not 0.
    std::atomic<int> errorStatus{0};
    // Wait this long before answering.
    std::atomic<int> delayMs{0};
    // Close the connection without answering.
    std::atomic<bool> closeWithoutAnswer{false};
    // Announce a longer body than is sent, then close.
    std::atomic<bool> truncateBody{false};
    // Trickle answers byte by byte.
    LinkFaults link;
};

std::string percentDecode(const std::string& text);

class HttpServer {
public:
    using Handler = std::function<HttpResponse(const HttpRequest&)>;

    // Requests are recorded on `recording` (channel Http, the raw request
    // head as payload) when it is given.
    explicit HttpServer(Recording* recording = nullptr) : recording_(recording) {}
    ~HttpServer() { stop(); }
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    bool start(const std::string& host, uint16_t port, Handler handler);
    void stop();
    uint16_t port() const { return server_.port(); }

    HttpFaults& faults() { return faults_; }
    // Every request answered so far, in arrival order.
    std::vector<HttpRequest> requests() const;
    void clearRequests();
    // Waits until at least `count` requests arrived.
    bool waitForRequests(std::size_t count, int timeoutMs) const;

    // Answers every later request with this body (status 200) instead of
    // asking the handler; nullopt goes back to the handler.
    void setFixedAnswer(std::optional<std::string> body);

    // Lets POST requests with a body of at most `maxBody` bytes through to
    // the handler (before start()); larger bodies are refused with 413.
    void allowPost(std::size_t maxBody) { maxPostBody_ = maxBody; }
    // Keeps a connection open for the client's next request, up to idleMs
    // after an answer, unless the client asks to close it (before start()).
    void keepConnections(int idleMs) { keepAliveIdleMs_ = idleMs; }
    // TCP connections accepted since start.
    int connectionsAccepted() const { return server_.connectionsAccepted(); }

private:
    void serve(const std::shared_ptr<Connection>& connection);
    // Reads and answers one request; true when the connection stays for the
    // next one. `pending` carries bytes read past a request to the next.
    bool serveOne(Connection& connection, std::string& pending);
    // Waits, while idle, for the next request of a kept connection.
    bool awaitRequest(Connection& connection, const std::string& pending) const;
    int readBody(Connection& connection, HttpRequest& request, std::string& pending) const;

    Recording* recording_;
    HttpFaults faults_;
    Handler handler_;
    TcpServer server_;
    mutable std::mutex mutex_;
    mutable std::condition_variable arrived_;
    std::vector<HttpRequest> requests_;
    std::optional<std::string> fixedAnswer_;
    std::size_t maxPostBody_ = 0; // 0: GET only
    int keepAliveIdleMs_ = 0;     // 0: one request per connection
};

} // namespace camsim
