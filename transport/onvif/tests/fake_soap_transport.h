// A SOAP transport that answers from a script and remembers every request,
// so the client's logic runs without sockets.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "onvif/soap_transport.h"

namespace onvif::test {

struct SeenRequest {
    std::string url;
    std::string operation; // local name of the body's first element
    std::string envelope;
    bool httpDigest = false;
};

class FakeSoapTransport final : public SoapTransport {
public:
    using Answer = std::function<SoapReply(const SeenRequest&)>;

    explicit FakeSoapTransport(Answer answer) : answer_(std::move(answer)) {}

    SoapReply post(const std::string& url, const std::string& envelope, const HttpDigest* digest, int timeoutMs,
                   const CallCancel* cancel = nullptr) override;
    void abort() override;
    void reset() override;

    std::vector<SeenRequest> requests() const;
    std::vector<std::string> operations() const;

private:
    Answer answer_;
    mutable std::mutex mutex_;
    std::vector<SeenRequest> seen_;
    bool aborted_ = false;
};

// A 200 reply whose body holds `inner` (elements with their own prefixes
// declared) inside a SOAP 1.2 envelope.
SoapReply okReply(const std::string& inner);
// A SOAP fault with the given subcode, as status 400 (cameras vary).
SoapReply faultReply(const std::string& subcode);
// The text of a test data file.
std::string dataFile(const std::string& name);
// The text of the first element with that local name in an envelope.
std::string elementText(const std::string& envelope, const std::string& name);

} // namespace onvif::test
