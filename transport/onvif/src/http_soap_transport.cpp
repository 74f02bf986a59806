#include "onvif/soap_transport.h"

#include <platform/http_connection.h>

#include <mutex>
#include <vector>

namespace onvif {

namespace {

// More idle connections than a session has threads calling are not kept.
constexpr std::size_t kMaxIdleConnections = 4;

class HttpSoapTransport final : public SoapTransport {
public:
    SoapReply post(const std::string& url, const std::string& envelope, const HttpDigest* digest, int timeoutMs,
                   const CallCancel* cancel) override {
        platform::HttpPostRequest request;
        request.url = url;
        request.body = envelope;
        request.contentType = "application/soap+xml; charset=utf-8";
        request.timeoutMs = timeoutMs;
        request.maxReplyBytes = kMaxReplyBytes;
        request.abort = &abort_;
        request.cancel = cancel;
        if (digest != nullptr) {
            request.digestUser = digest->user;
            request.digestPassword = digest->password;
        }
        std::unique_ptr<platform::HttpConnection> connection = take();
        platform::HttpPostResult result = connection->post(request);
        giveBack(std::move(connection));
        SoapReply reply;
        reply.answered = result.completed;
        reply.status = result.status;
        reply.body = std::move(result.body);
        reply.error = std::move(result.errorText);
        return reply;
    }

    void abort() override { abort_.abort(); }
    void reset() override { abort_.reset(); }

private:
    // The connection used last, so that calls one after another stay on one.
    std::unique_ptr<platform::HttpConnection> take() {
        std::lock_guard lock(mutex_);
        if (idle_.empty()) return std::make_unique<platform::HttpConnection>();
        std::unique_ptr<platform::HttpConnection> connection = std::move(idle_.back());
        idle_.pop_back();
        return connection;
    }

    void giveBack(std::unique_ptr<platform::HttpConnection> connection) {
        std::lock_guard lock(mutex_);
        if (idle_.size() < kMaxIdleConnections) idle_.push_back(std::move(connection));
    }

    platform::HttpAbort abort_;
    std::mutex mutex_;
    std::vector<std::unique_ptr<platform::HttpConnection>> idle_;
};

} // namespace

std::unique_ptr<SoapTransport> makeHttpSoapTransport() { return std::make_unique<HttpSoapTransport>(); }

} // namespace onvif
