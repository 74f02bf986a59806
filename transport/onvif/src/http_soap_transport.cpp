#include "onvif/soap_transport.h"

#include <platform/http_post.h>

namespace onvif {

namespace {

class HttpSoapTransport final : public SoapTransport {
public:
    SoapReply post(const std::string& url, const std::string& envelope, const HttpDigest* digest,
                   int timeoutMs) override {
        platform::HttpPostRequest request;
        request.url = url;
        request.body = envelope;
        request.contentType = "application/soap+xml; charset=utf-8";
        request.timeoutMs = timeoutMs;
        request.maxReplyBytes = kMaxReplyBytes;
        request.abort = &abort_;
        if (digest != nullptr) {
            request.digestUser = digest->user;
            request.digestPassword = digest->password;
        }
        platform::HttpPostResult result = platform::httpPost(request);
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
    platform::HttpAbort abort_;
};

} // namespace

std::unique_ptr<SoapTransport> makeHttpSoapTransport() { return std::make_unique<HttpSoapTransport>(); }

} // namespace onvif
