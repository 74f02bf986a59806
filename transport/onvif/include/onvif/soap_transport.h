// How SOAP requests travel: over HTTP in the product, through a scripted fake
// in tests, so that the client's logic is tested without sockets.
#pragma once

#include <platform/http_post.h>

#include <memory>
#include <string>

namespace onvif {

struct SoapReply {
    bool answered = false; // a whole HTTP reply arrived in time
    long status = 0;       // HTTP status
    std::string body;
    std::string error; // why no reply came (time-out, refused, too large...)
};

// HTTP digest credentials for cameras that refuse the token.
struct HttpDigest {
    std::string user;
    std::string password;
};

// Ends one call in flight (an event pull when its pump stops), where
// SoapTransport::abort ends them all.
using CallCancel = platform::HttpAbort;

class SoapTransport {
public:
    virtual ~SoapTransport() = default;
    // Posts one envelope; `digest` null means no HTTP authentication. Ends
    // within timeoutMs, or soon after abort() or after `cancel` is pulled.
    virtual SoapReply post(const std::string& url, const std::string& envelope, const HttpDigest* digest, int timeoutMs,
                           const CallCancel* cancel = nullptr) = 0;
    // Ends every post in flight, and every later one at once, until reset().
    virtual void abort() = 0;
    virtual void reset() = 0;
};

// Replies longer than this are refused whole.
inline constexpr std::size_t kMaxReplyBytes = 1 << 20;

// SOAP 1.2 over HTTP POST. Calls made one after another share one kept-alive
// connection; calls made side by side (an event pull beside a PTZ command)
// each take a connection of their own, kept for later calls.
std::unique_ptr<SoapTransport> makeHttpSoapTransport();

} // namespace onvif
