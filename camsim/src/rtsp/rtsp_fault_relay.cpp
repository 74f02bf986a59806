#include "rtsp_fault_relay.h"

#include "rtsp_wire.h"

#include "platform/tcp_socket.h"

#include <strings.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <random>
#include <thread>

namespace camsim::rtsp {

namespace {

constexpr const char* kHost = "127.0.0.1";
constexpr int kConnectTimeoutMs = 2000;
constexpr int kPollMs = 20;
constexpr std::size_t kGarbageBytes = 4096;
// Close-mid-frame cuts this video packet after PLAY, so a few pictures
// have gone through first.
constexpr int kCutVideoPacket = 3;
// The video's RTP clock runs at 90 kHz.
constexpr int64_t kJumpTicks = int64_t{3} * 3600 * 90000;
constexpr int64_t kClockStepSeconds = 3600;
constexpr int64_t kClockStepTicks = kClockStepSeconds * 90000;

bool refusesGetParameter(RtspFault fault) {
    return fault == RtspFault::GetParameterRefused || fault == RtspFault::GetParameterOfferedRefused;
}

bool hasSessionTimeout(RtspFault fault) { return fault == RtspFault::SessionTimeout || refusesGetParameter(fault); }

// Requests to a Content-Base the camera spoilt go where the real server
// expects them.
std::string repairedRequest(RtspFault fault, const std::string& request) {
    const std::string url = requestUrl(request);
    if (fault == RtspFault::ContentBaseDoubleScheme && url.rfind("rtsp://rtsp://", 0) == 0)
        return withRequestUrl(request, url.substr(7));
    if (fault == RtspFault::ContentBaseWithoutScheme && url != "*" && url.rfind("rtsp://", 0) != 0)
        return withRequestUrl(request, "rtsp://" + url);
    return request;
}

int64_t steadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool carriesBasicCredentials(const std::string& message) {
    const auto value = headerValue(message, "Authorization");
    return value && value->size() >= 5 && strncasecmp(value->c_str(), "basic", 5) == 0;
}

// What the client asked so far, as far as the faults care. The upstream
// thread writes it, the downstream thread reads it.
struct Conversation {
    Conversation(RtspFault fault, std::atomic<int>& basicSeen) : fault(fault), basicSeen(basicSeen) {}

    const RtspFault fault;
    std::atomic<int>& basicSeen;
    std::mutex mutex;
    std::string playCseq;
    std::string videoSetupCseq;
    // BasicAfterDigest, BasicOnBackChannel: the request answered with Basic alone
    std::string basicChallengeCseq;
    bool authorizedOnce = false;
    int64_t lastRequestMs = steadyMs(); // the last request that keeps the session alive
    RtspCodec codec = RtspCodec::H264;

    void request(const std::string& message) {
        const std::string method = requestMethod(message);
        if (method.empty()) return;
        if (carriesBasicCredentials(message)) ++basicSeen;
        const std::string cseq = headerValue(message, "CSeq").value_or("");
        const std::string url = requestUrl(message);
        std::lock_guard<std::mutex> lock(mutex);
        if (!(refusesGetParameter(fault) && method == "GET_PARAMETER")) lastRequestMs = steadyMs();
        if (fault == RtspFault::BasicAfterDigest && basicChallengeCseq.empty()) {
            if (authorizedOnce) basicChallengeCseq = cseq;
            authorizedOnce = authorizedOnce || headerValue(message, "Authorization").has_value();
        }
        if (fault == RtspFault::BasicOnBackChannel &&
            headerValue(message, "Require").value_or("").find("backchannel") != std::string::npos)
            basicChallengeCseq = cseq;
        for (RtspCodec c : {RtspCodec::H264, RtspCodec::H265, RtspCodec::Mjpeg}) {
            if (url.find(std::string("/") + rtspMountName(c)) != std::string::npos) codec = c;
        }
        if (method == "PLAY") playCseq = cseq;
        // The server names its video stream 0.
        if (method == "SETUP" && url.find("stream=0") != std::string::npos) videoSetupCseq = cseq;
    }
};

bool sendUnit(Connection& client, const std::string& unit) { return client.send(unit.data(), unit.size()); }

// The downstream half of a relayed connection: what the server says,
// spoilt as the fault says. False ends the connection.
class Downstream {
public:
    Downstream(RtspFault fault, const RtspFaultSettings& settings, Conversation& talk, Connection& client)
        : fault_(fault), settings_(settings), talk_(talk), client_(client) {}

    bool deliver(std::string unit) {
        if (!isInterleaved(unit)) return deliverMessage(unit);
        if (stalled_) return true;
        if (playing_ && interleavedChannel(unit) == videoChannel_) return deliverVideo(unit);
        if (clockStepped_ && interleavedChannel(unit) % 2 == 1)
            shiftSenderReport(unit, -kClockStepSeconds,
                              interleavedChannel(unit) == videoChannel_ + 1 ? -kClockStepTicks : 0);
        return sendUnit(client_, unit);
    }

    // The session lapsed: no request kept it alive for its timeout.
    bool sessionExpired() {
        if (!playing_ || !hasSessionTimeout(fault_)) return false;
        std::lock_guard<std::mutex> lock(talk_.mutex);
        return steadyMs() - talk_.lastRequestMs > int64_t{settings_.sessionTimeoutSeconds} * 1000;
    }

private:
    bool deliverMessage(std::string& unit) {
        const std::string cseq = headerValue(unit, "CSeq").value_or("-");
        bool answersPlay = false;
        bool basicChallenge = false;
        {
            std::lock_guard<std::mutex> lock(talk_.mutex);
            if (cseq == talk_.videoSetupCseq) {
                videoChannel_ = interleavedFromTransport(headerValue(unit, "Transport").value_or("")).value_or(0);
            }
            answersPlay = cseq == talk_.playCseq;
            basicChallenge = cseq == talk_.basicChallengeCseq;
            codec_ = talk_.codec;
        }
        if (fault_ == RtspFault::NoParameterSets) unit = withoutParameterSets(unit);
        if (fault_ == RtspFault::UnsupportedCodec) unit = withVideoEncodingNamed(unit, "VP8");
        if (basicChallenge) unit = unauthorizedResponse(cseq, 0, true);
        spoilHeaders(unit);
        if (stalled_) return true;
        if (!sendUnit(client_, unit)) return false;
        if (fault_ == RtspFault::CloseAfterUnauthorized && statusCode(unit) == 401) return false;
        if (answersPlay) {
            playing_ = true;
            stalled_ = fault_ == RtspFault::StallAfterPlay;
        }
        return true;
    }

    void spoilHeaders(std::string& unit) const {
        if (hasSessionTimeout(fault_)) {
            if (const auto session = headerValue(unit, "Session")) {
                unit = withHeaderValue(unit, "Session",
                                       session->substr(0, session->find(';')) +
                                           ";timeout=" + std::to_string(settings_.sessionTimeoutSeconds));
            }
        }
        if (fault_ == RtspFault::GetParameterRefused) {
            if (auto methods = headerValue(unit, "Public")) {
                for (std::size_t at; (at = methods->find("GET_PARAMETER")) != std::string::npos;)
                    methods->erase(at, methods->find_first_not_of(", ", at + 13) - at);
                unit = withHeaderValue(unit, "Public", *methods);
            }
        }
        if (const auto base = headerValue(unit, "Content-Base")) {
            if (fault_ == RtspFault::ContentBaseDoubleScheme)
                unit = withHeaderValue(unit, "Content-Base", "rtsp://" + *base);
            if (fault_ == RtspFault::ContentBaseWithoutScheme && base->rfind("rtsp://", 0) == 0)
                unit = withHeaderValue(unit, "Content-Base", base->substr(7));
        }
    }

    bool deliverVideo(std::string& unit) {
        if (fault_ == RtspFault::TimestampJump || fault_ == RtspFault::ClockStepBack) {
            if (++timedPackets_ >= settings_.timestampJumpPacket) {
                clockStepped_ = fault_ == RtspFault::ClockStepBack;
                shiftTimestamp(unit, clockStepped_ ? -kClockStepTicks : kJumpTicks);
            }
        }
        RtpHeader rtp;
        const bool isRtp = parseRtp(unit, rtp);
        if (fault_ == RtspFault::CloseMidFrame && ++videoPackets_ >= kCutVideoPacket) {
            client_.send(unit.data(), unit.size() / 2);
            return false;
        }
        if (fault_ == RtspFault::OversizedFrame && isRtp) {
            if (injected_ == 0 && rtp.marker) {
                // Right after a whole picture, so the made-up one stands alone.
                if (!sendUnit(client_, unit)) return false;
                RtpHeader next = rtp;
                ++next.sequence;
                const auto packets = oversizedAccessUnit(codec_, videoChannel_, next, settings_.oversizedBytes);
                for (const auto& p : packets) {
                    if (!sendUnit(client_, p)) return false;
                }
                injected_ = static_cast<uint16_t>(packets.size());
                return true;
            }
            shiftSequence(unit, injected_);
        }
        return sendUnit(client_, unit);
    }

    const RtspFault fault_;
    const RtspFaultSettings settings_;
    Conversation& talk_;
    Connection& client_;
    RtspCodec codec_ = RtspCodec::H264;
    int videoChannel_ = 0;
    bool playing_ = false;
    bool stalled_ = false;
    int videoPackets_ = 0;
    uint16_t injected_ = 0; // packets of the made-up picture; later ones are renumbered
    int timedPackets_ = 0;
    bool clockStepped_ = false;
};

} // namespace

FaultRelay::FaultRelay(RtspFault fault, const RtspFaultSettings& settings) : fault_(fault), settings_(settings) {
    if (fault_ == RtspFault::Trickle) link_.trickleMs.store(std::max(1, settings_.trickleMs));
}

FaultRelay::~FaultRelay() { stop(); }

bool FaultRelay::start(uint16_t port, uint16_t serverPort) {
    serverPort_ = serverPort;
    return server_.start(
        kHost, port, [this](const std::shared_ptr<Connection>& c) { serve(c); }, &link_);
}

void FaultRelay::stop() { server_.stop(); }

void FaultRelay::serve(const std::shared_ptr<Connection>& client) {
    ++connections_;
    switch (fault_) {
    case RtspFault::SilentAfterConnect:
    case RtspFault::Unauthorized:
    case RtspFault::Garbage: answerAlone(client); break;
    default: relayCounted(client); break;
    }
}

void FaultRelay::relayCounted(const std::shared_ptr<Connection>& client) {
    const int now = ++served_;
    for (int most = mostAtOnce_.load(); now > most && !mostAtOnce_.compare_exchange_weak(most, now);) {}
    if (fault_ == RtspFault::OneClientAtATime && now > 1) {
        // Another client has the stream: this one waits for nothing.
        answerAlone(client);
    } else {
        relay(client);
    }
    --served_;
}

void FaultRelay::answerAlone(const std::shared_ptr<Connection>& client) {
    WireSplitter requests;
    unsigned nonce = 0x5eed0000u;
    bool answered = false;
    std::minstd_rand noise(20);
    while (!client->isShutDown()) {
        if (!client->socket().waitReadable(kPollMs)) continue;
        uint8_t buffer[4096];
        const auto r = client->socket().receiveSome(buffer, sizeof buffer);
        if (r.status != platform::RecvStatus::Ok) return;
        requests.feed(buffer, r.bytes);
        for (std::string unit; requests.next(unit);) {
            if (requestMethod(unit).empty()) continue;
            if (carriesBasicCredentials(unit)) ++basicSeen_;
            if (fault_ == RtspFault::Unauthorized) {
                sendUnit(*client, unauthorizedResponse(headerValue(unit, "CSeq").value_or("0"), ++nonce));
            } else if (fault_ == RtspFault::Garbage && !answered) {
                std::string garbage(kGarbageBytes, '\0');
                for (char& c : garbage) c = static_cast<char>(noise() & 0xFF);
                garbage[0] = static_cast<char>(0xFF); // never "RTSP/1.0" by chance
                sendUnit(*client, garbage);
                answered = true;
            }
        }
    }
}

void FaultRelay::relay(const std::shared_ptr<Connection>& client) {
    platform::TcpSocket server;
    if (!server.connect(kHost, serverPort_, kConnectTimeoutMs)) return;
    Conversation talk(fault_, basicSeen_);
    std::thread upstream([&] {
        WireSplitter requests;
        uint8_t buffer[4096];
        for (;;) {
            const auto r = client->socket().receiveSome(buffer, sizeof buffer);
            if (r.status != platform::RecvStatus::Ok) break;
            requests.feed(buffer, r.bytes);
            bool sent = true;
            for (std::string unit; sent && requests.next(unit);) {
                talk.request(unit);
                if (refusesGetParameter(fault_) && requestMethod(unit) == "GET_PARAMETER") {
                    sent = sendUnit(*client,
                                    bareResponse(headerValue(unit, "CSeq").value_or("0"), "454 Session Not Found"));
                    continue;
                }
                unit = repairedRequest(fault_, unit);
                sent = server.sendAll(unit.data(), unit.size());
            }
            if (!sent) break;
        }
        client->shutdown();
    });
    Downstream down(fault_, settings_, talk, *client);
    WireSplitter answers;
    bool open = true;
    while (open && !client->isShutDown() && !down.sessionExpired()) {
        if (!server.waitReadable(kPollMs)) continue;
        uint8_t buffer[16384];
        const auto r = server.receiveSome(buffer, sizeof buffer);
        if (r.status != platform::RecvStatus::Ok) break;
        answers.feed(buffer, r.bytes);
        for (std::string unit; open && answers.next(unit);) open = down.deliver(std::move(unit));
    }
    client->shutdown();
    server.shutdown();
    upstream.join();
}

} // namespace camsim::rtsp
