#include "camsim/http_server.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace camsim {

namespace {

constexpr std::size_t kMaxHead = 16 * 1024;
// A client that announces a body must send it within this time.
constexpr int kBodyDeadlineMs = 10000;
// A kept connection looks at the server's stop this often while idle.
constexpr int kIdleSliceMs = 100;

const char* reason(int status) {
    switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 404: return "Not Found";
    case 411: return "Length Required";
    case 413: return "Payload Too Large";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Error";
    }
}

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool parseHead(const std::string& head, HttpRequest& request) {
    const std::size_t lineEnd = head.find("\r\n");
    const std::string line = head.substr(0, lineEnd);
    const std::size_t a = line.find(' ');
    const std::size_t b = line.rfind(' ');
    if (a == std::string::npos || b == a) return false;
    request.method = line.substr(0, a);
    request.target = line.substr(a + 1, b - a - 1);
    const std::size_t q = request.target.find('?');
    request.path = request.target.substr(0, q);
    request.query = q == std::string::npos ? "" : request.target.substr(q + 1);
    std::size_t pos = lineEnd == std::string::npos ? head.size() : lineEnd + 2;
    while (pos < head.size()) {
        std::size_t end = head.find("\r\n", pos);
        if (end == std::string::npos) end = head.size();
        const std::string field = head.substr(pos, end - pos);
        const std::size_t colon = field.find(':');
        if (colon != std::string::npos) {
            std::string value = field.substr(colon + 1);
            value.erase(0, value.find_first_not_of(' '));
            request.headers[lower(field.substr(0, colon))] = value;
        }
        pos = end + 2;
    }
    return true;
}

// Sleeps in short steps so that stopping the server is not held up.
void pause(Connection& c, int ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!c.isShutDown() && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

} // namespace

std::string percentDecode(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
            out.push_back(static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

std::string HttpRequest::header(const std::string& lowerName) const {
    auto it = headers.find(lowerName);
    return it == headers.end() ? std::string() : it->second;
}

std::vector<std::pair<std::string, std::optional<std::string>>> HttpRequest::parameters() const {
    std::vector<std::pair<std::string, std::optional<std::string>>> out;
    std::size_t pos = 0;
    while (pos <= query.size() && !query.empty()) {
        std::size_t end = query.find('&', pos);
        if (end == std::string::npos) end = query.size();
        const std::string item = query.substr(pos, end - pos);
        const std::size_t eq = item.find('=');
        if (eq == std::string::npos) {
            out.emplace_back(percentDecode(item), std::nullopt);
        } else {
            out.emplace_back(percentDecode(item.substr(0, eq)), percentDecode(item.substr(eq + 1)));
        }
        pos = end + 1;
    }
    return out;
}

bool HttpServer::start(const std::string& host, uint16_t port, Handler handler) {
    handler_ = std::move(handler);
    return server_.start(
        host, port, [this](const std::shared_ptr<Connection>& c) { serve(c); }, &faults_.link);
}

void HttpServer::stop() { server_.stop(); }

std::vector<HttpRequest> HttpServer::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void HttpServer::clearRequests() {
    std::lock_guard lock(mutex_);
    requests_.clear();
}

bool HttpServer::waitForRequests(std::size_t count, int timeoutMs) const {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return requests_.size() >= count; });
}

void HttpServer::setFixedAnswer(std::optional<std::string> body) {
    std::lock_guard lock(mutex_);
    fixedAnswer_ = std::move(body);
}

// Reads the body a POST request announces; `pending` holds what came with
// the head and keeps what came after the body. Returns the status to refuse
// it with, or 0.
int HttpServer::readBody(Connection& c, HttpRequest& request, std::string& pending) const {
    const std::string length = request.header("content-length");
    if (length.empty() || !request.header("transfer-encoding").empty()) return 411;
    char* end = nullptr;
    const unsigned long long announced = std::strtoull(length.c_str(), &end, 10);
    if (end == length.c_str() || *end != '\0') return 400;
    if (announced > maxPostBody_) return 413;
    // Clients that wait for leave to send (libcurl does for larger bodies).
    if (lower(request.header("expect")) == "100-continue" && pending.empty()) {
        static constexpr char kContinue[] = "HTTP/1.1 100 Continue\r\n\r\n";
        c.send(kContinue, sizeof kContinue - 1);
    }
    const platform::Deadline deadline = platform::deadlineAfter(kBodyDeadlineMs);
    request.body = std::move(pending);
    pending.clear();
    char chunk[4096];
    while (request.body.size() < announced) {
        if (c.isShutDown() || std::chrono::steady_clock::now() >= deadline) return 400;
        const platform::RecvResult r = c.socket().receiveSome(chunk, sizeof chunk);
        if (r.status == platform::RecvStatus::TimedOut) continue;
        if (r.status != platform::RecvStatus::Ok) return 400;
        request.body.append(chunk, r.bytes);
    }
    pending = request.body.substr(static_cast<std::size_t>(announced));
    request.body.resize(static_cast<std::size_t>(announced));
    return 0;
}

void HttpServer::serve(const std::shared_ptr<Connection>& c) {
    std::string pending;
    while (serveOne(*c, pending)) {}
}

bool HttpServer::awaitRequest(Connection& c, const std::string& pending) const {
    if (!pending.empty()) return true;
    const auto idleUntil = std::chrono::steady_clock::now() + std::chrono::milliseconds(keepAliveIdleMs_);
    while (!c.isShutDown() && std::chrono::steady_clock::now() < idleUntil) {
        if (c.socket().waitReadable(kIdleSliceMs)) return true;
    }
    return false;
}

bool HttpServer::serveOne(Connection& c, std::string& pending) {
    std::string head = std::move(pending);
    pending.clear();
    char chunk[1024];
    while (head.find("\r\n\r\n") == std::string::npos) {
        if (head.size() > kMaxHead || c.isShutDown()) return false;
        const platform::RecvResult r = c.socket().receiveSome(chunk, sizeof chunk);
        if (r.status == platform::RecvStatus::TimedOut) continue;
        if (r.status != platform::RecvStatus::Ok) return false;
        head.append(chunk, r.bytes);
    }
    const std::size_t headEnd = head.find("\r\n\r\n");
    pending = head.substr(headEnd + 4);
    head.resize(headEnd);
    HttpRequest request;
    const bool parsed = parseHead(head, request);
    int refusal = 0;
    if (!parsed) {
        refusal = 400;
    } else if (request.method == "POST" && maxPostBody_ > 0) {
        refusal = readBody(c, request, pending);
    } else if (request.method != "GET") {
        refusal = 400;
    }
    if (recording_ != nullptr) recording_->add(Channel::Http, 0, std::vector<uint8_t>(head.begin(), head.end()));
    std::optional<std::string> fixed;
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(request);
        fixed = fixedAnswer_;
    }
    arrived_.notify_all();

    if (const int delay = faults_.delayMs.load(); delay > 0) pause(c, delay);
    if (faults_.closeWithoutAnswer.load()) return false;
    HttpResponse response;
    if (refusal != 0) {
        response = {refusal, "bad request\n"};
    } else if (const int status = faults_.errorStatus.load(); status != 0) {
        response = {status, "error\n"};
    } else if (fixed) {
        response = {200, *fixed};
    } else if (handler_) {
        response = handler_(request);
    } else {
        response = {404, "not found\n"};
    }
    const bool truncate = faults_.truncateBody.load();
    const bool keep =
        keepAliveIdleMs_ > 0 && refusal == 0 && !truncate && lower(request.header("connection")) != "close";
    const std::size_t announced = response.body.size() + (truncate ? 100 : 0);
    std::string out = "HTTP/1.1 " + std::to_string(response.status) + " " + reason(response.status) +
                      "\r\nContent-Type: " + response.contentType + "\r\nContent-Length: " + std::to_string(announced) +
                      "\r\nCache-Control: no-cache\r\nConnection: " + (keep ? "keep-alive" : "close") + "\r\n";
    for (const auto& [name, value] : response.headers) out += name + ": " + value + "\r\n";
    out += "\r\n" + response.body;
    if (!c.send(out.data(), out.size())) return false;
    return keep && awaitRequest(c, pending);
}

} // namespace camsim
