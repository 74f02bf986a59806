// The camera's web server side: every SOAP request is logged, checked for
// credentials, passed through the chosen fault and handed to its service.
#include "camsim/onvif_camera.h"

#include "auth.h"
#include "discovery_responder.h"
#include "event_service.h"
#include "platform/event.h"
#include "ptz_service.h"
#include "search_service.h"
#include "service_context.h"
#include "soap.h"

#include "camsim/http_server.h"
#include "camsim/talk_receiver.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace camsim {

namespace {

constexpr std::size_t kMaxRequestBody = 256 * 1024;
constexpr int kSampleIntervalMs = 20;
// Like a camera's web server, a connection is kept a while for the next request.
constexpr int kKeepAliveIdleMs = 20000;
constexpr char kSoapType[] = "application/soap+xml; charset=utf-8";
constexpr char kRealm[] = "camsim";

int64_t steadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int64_t systemSeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

const char* serviceName(const std::string& ns) {
    if (ns == onvif::ns::kDevice) return "device";
    if (ns == onvif::ns::kMedia) return "media";
    if (ns == onvif::ns::kPtz) return "ptz";
    if (ns == onvif::ns::kEvents || ns == onvif::ns::kNotification) return "events";
    if (ns == onvif::ns::kDeviceIo) return "deviceio";
    if (ns == onvif::ns::kSearch) return "search";
    if (ns == onvif::ns::kReplay) return "replay";
    return "";
}

HttpResponse soapAnswer(int status, std::string body) {
    HttpResponse r;
    r.status = status;
    r.body = std::move(body);
    r.contentType = kSoapType;
    return r;
}

HttpResponse faultAnswer(const onvif::SoapError& e) {
    const bool sender = std::string(e.code) == "SOAP-ENV:Sender";
    return soapAnswer(sender ? 400 : 500, onvif::faultText(e.code, e.subcode, e.reason));
}

constexpr std::array<std::pair<OnvifFault, const char*>, 22> kFaultNames = {{
    {OnvifFault::None, "none"},
    {OnvifFault::Stall, "stall"},
    {OnvifFault::Trickle, "trickle"},
    {OnvifFault::SoapFault, "soap-fault"},
    {OnvifFault::SkewedClock, "skewed-clock"},
    {OnvifFault::ForeignXAddrs, "foreign-xaddrs"},
    {OnvifFault::HugeReply, "huge-reply"},
    {OnvifFault::PullAtOnce, "pull-at-once"},
    {OnvifFault::ExpiringPullPoints, "expiring-pull-points"},
    {OnvifFault::Reboot, "reboot"},
    {OnvifFault::TokenFlood, "token-flood"},
    {OnvifFault::TwoPullPoints, "two-pull-points"},
    {OnvifFault::NoBackChannel, "no-back-channel"},
    {OnvifFault::BackChannelRefused, "back-channel-551"},
    {OnvifFault::BackChannelSilent, "back-channel-silent"},
    {OnvifFault::BackChannelRedirect, "back-channel-redirect"},
    {OnvifFault::NoReplay, "no-replay"},
    {OnvifFault::ReplayRefused, "replay-551"},
    {OnvifFault::RecordingGap, "recording-gap"},
    {OnvifFault::RecordingEnds, "recording-ends"},
    {OnvifFault::ManyRecordings, "many-recordings"},
    {OnvifFault::PagedSearch, "paged-search"},
}};

onvif::PullPointRules pullPointRules(OnvifFault fault, const OnvifFaultSettings& settings) {
    onvif::PullPointRules rules;
    if (fault == OnvifFault::TwoPullPoints) rules.maxSubscriptions = 2;
    if (fault == OnvifFault::ExpiringPullPoints) rules.maxSeconds = settings.pullPointSeconds;
    rules.answerAtOnce = fault == OnvifFault::PullAtOnce || fault == OnvifFault::TokenFlood;
    if (fault == OnvifFault::TokenFlood) {
        rules.floodTokens = settings.floodTokens;
        rules.floodTokenBytes = settings.floodTokenBytes;
    }
    return rules;
}

// How the streams answer a request for the back channel under a fault.
TalkRefusal talkRefusalFor(OnvifFault fault) {
    switch (fault) {
    case OnvifFault::NoBackChannel:
    case OnvifFault::BackChannelRefused: return TalkRefusal::OptionNotSupported;
    case OnvifFault::BackChannelSilent: return TalkRefusal::Silent;
    case OnvifFault::BackChannelRedirect: return TalkRefusal::Redirect;
    default: return TalkRefusal::None;
    }
}

// What a fault does to the SD card, from the card's clock now.
void applyToCard(SdCard& card, OnvifFault fault, const OnvifFaultSettings& s) {
    card.clearFaults();
    card.setClockOffsetMs(fault == OnvifFault::SkewedClock ? s.clockOffsetSeconds * 1000LL : 0);
    const int64_t now = card.nowMs();
    switch (fault) {
    case OnvifFault::RecordingGap: {
        const int64_t from = now - s.gapMinutesAgo * 60000LL;
        card.setGap(CardSpan{from, from + s.gapSeconds * 1000LL});
        break;
    }
    case OnvifFault::RecordingEnds: card.stopRecordingAt(now + s.recordingStopsAfterSeconds * 1000LL); break;
    case OnvifFault::ManyRecordings: card.setLayout(s.manyRecordingsPerDay, s.manyEventsPerDay); break;
    case OnvifFault::PagedSearch: card.setMaxResultsPerAnswer(s.searchPageSize); break;
    default: break;
    }
}

} // namespace

bool parseOnvifFault(const std::string& text, OnvifFault& fault) {
    for (const auto& [f, name] : kFaultNames) {
        if (text == name) {
            fault = f;
            return true;
        }
    }
    return false;
}

const char* onvifFaultName(OnvifFault fault) {
    for (const auto& [f, name] : kFaultNames) {
        if (f == fault) return name;
    }
    return "none";
}

std::string PlaceholderStreamSource::streamUri(std::size_t, const OnvifProfile& profile) const {
    return "rtsp://127.0.0.1:" + std::to_string(port_) + "/" + profile.token;
}

std::string PlaceholderStreamSource::replayUri(const std::string& recordingToken) const {
    return "rtsp://127.0.0.1:" + std::to_string(port_) + "/replay?recording=" + recordingToken;
}

struct OnvifCamera::Impl {
    OnvifOptions options;
    std::shared_ptr<CameraHead> head;
    std::shared_ptr<OnvifStreamSource> streams;
    HttpServer http;
    onvif::UsernameTokenChecker tokens;
    onvif::HttpDigestChecker digest{kRealm};
    onvif::PtzService ptz;
    onvif::EventService events;
    onvif::SearchService search;
    platform::ManualResetEvent stopping;
    std::thread sampler;
    const std::string endpoint = onvif::randomUrnUuid();
    std::vector<const OnvifCamera*> neighbours; // set while discovery is stopped
    onvif::DiscoveryResponder discovery{[this] {
        std::vector<onvif::DiscoveryIdentity> devices{discoveryIdentity()};
        for (const OnvifCamera* n : neighbours) devices.push_back(n->impl_->discoveryIdentity());
        return devices;
    }};

    mutable std::mutex mutex;
    mutable std::condition_variable answered;
    OnvifFault fault = OnvifFault::None;
    OnvifFaultSettings faultSettings;
    int answerDelayMs = 0;
    // Restarts: asked for by reboot(), made by the sampler thread.
    std::atomic<bool> rebootAsked{false};
    std::atomic<int> reboots{0};
    bool down = false;          // sampler thread only
    int64_t upAgainAtMs = 0;    // sampler thread only
    int64_t nextRebootAtMs = 0; // sampler thread only
    std::vector<OnvifRequestRecord> log;
    std::size_t logCleared = 0; // requests dropped from the front of the log

    // The log entry of request number `n` (counted from the start), or null
    // once the log was cleared past it.
    OnvifRequestRecord* entryLocked(std::size_t n) {
        return n >= logCleared && n - logCleared < log.size() ? &log[n - logCleared] : nullptr;
    }

    Impl(OnvifOptions o, std::shared_ptr<CameraHead> h, std::shared_ptr<OnvifStreamSource> s)
        : options(std::move(o)), head(h ? std::move(h) : std::make_shared<CameraHead>(1, options.clock)),
          streams(s ? std::move(s) : std::make_shared<PlaceholderStreamSource>()) {}

    int64_t cameraSeconds() const {
        std::lock_guard lock(mutex);
        return systemSeconds() + (fault == OnvifFault::SkewedClock ? faultSettings.clockOffsetSeconds : 0);
    }

    void logAnswer(std::size_t n, int status, bool authenticated) {
        {
            std::lock_guard lock(mutex);
            if (OnvifRequestRecord* r = entryLocked(n)) {
                r->answerMs = steadyMs();
                r->httpStatus = status;
                r->authenticated = authenticated;
            }
        }
        answered.notify_all();
    }

    // What discovery tells about the camera: its address follows the faults.
    onvif::DiscoveryIdentity discoveryIdentity() const {
        std::string host = "127.0.0.1";
        {
            std::lock_guard lock(mutex);
            if (fault == OnvifFault::ForeignXAddrs) host = faultSettings.foreignHost;
        }
        return {endpoint,
                "http://" + host + ":" + std::to_string(http.port()) + onvif::kDevicePath,
                {"onvif://www.onvif.org/type/video_encoder", "onvif://www.onvif.org/type/ptz",
                 "onvif://www.onvif.org/Profile/Streaming",
                 "onvif://www.onvif.org/name/" + onvif::scopeText(options.name),
                 "onvif://www.onvif.org/hardware/" + onvif::scopeText(options.hardwareId)}};
    }

    HttpResponse handle(const HttpRequest& request);
    bool startServer(); // again, on the port it had
    void restartWhenDue();
    HttpResponse snapshot(const HttpRequest& request);
    bool digestAnswered(const HttpRequest& request);
    HttpResponse digestChallenge();
    bool authenticate(const onvif::SoapRequest& soap, const HttpRequest& http, HttpResponse& refusal);
    void sampleLoop();
};

bool OnvifCamera::Impl::digestAnswered(const HttpRequest& request) {
    const std::string authorization = request.header("authorization");
    return options.auth != OnvifAuth::UsernameToken && !authorization.empty() &&
           digest.verify(authorization, request.method, request.target, options.user, options.password);
}

HttpResponse OnvifCamera::Impl::digestChallenge() {
    HttpResponse r = soapAnswer(401, onvif::faultText("SOAP-ENV:Sender", "ter:NotAuthorized", "Sender not Authorized"));
    r.headers.emplace_back("WWW-Authenticate", digest.challenge());
    return r;
}

bool OnvifCamera::Impl::authenticate(const onvif::SoapRequest& soap, const HttpRequest& request,
                                     HttpResponse& refusal) {
    if (digestAnswered(request)) return true;
    onvif::TokenCheck token = onvif::TokenCheck::Missing;
    if (options.auth != OnvifAuth::HttpDigest) {
        token = tokens.check(soap.header, options.user, options.password, cameraSeconds(), options.tokenWindowSeconds);
        if (token == onvif::TokenCheck::Accepted) return true;
    }
    if (token == onvif::TokenCheck::Missing && options.auth != OnvifAuth::UsernameToken) {
        refusal = digestChallenge();
        return false;
    }
    refusal = soapAnswer(400, onvif::faultText("SOAP-ENV:Sender", "ter:NotAuthorized", "Sender not Authorized"));
    return false;
}

// A snapshot is a plain GET behind HTTP digest, as cameras serve them.
HttpResponse OnvifCamera::Impl::snapshot(const HttpRequest& request) {
    if (!digestAnswered(request)) {
        HttpResponse r(401, "authorization required");
        r.headers.emplace_back("WWW-Authenticate", digest.challenge());
        return r;
    }
    for (std::size_t i = 0; i < options.profiles.size(); ++i) {
        if (request.path != onvif::snapshotPath(options.profiles[i].token)) continue;
        HttpResponse r(200, streams->snapshot(i, options.profiles[i]));
        if (r.body.empty()) return HttpResponse(503, "no picture");
        r.contentType = "image/jpeg";
        return r;
    }
    return HttpResponse(404, "no such snapshot");
}

HttpResponse OnvifCamera::Impl::handle(const HttpRequest& request) {
    if (request.method == "GET" && request.path.rfind(onvif::kSnapshotPath, 0) == 0) return snapshot(request);
    std::size_t entry = 0;
    OnvifFault currentFault;
    OnvifFaultSettings settings;
    int delay = 0;
    {
        std::lock_guard lock(mutex);
        entry = logCleared + log.size();
        log.push_back({"", "", steadyMs(), 0, 0, false});
        currentFault = fault;
        settings = faultSettings;
        delay = answerDelayMs;
    }
    onvif::SoapRequest soap;
    const bool parsed = soap.parse(request.body);
    if (parsed) {
        std::lock_guard lock(mutex);
        if (OnvifRequestRecord* r = entryLocked(entry)) {
            r->service = serviceName(soap.operationNamespace);
            r->operation = soap.operationName;
        }
    }
    if (currentFault == OnvifFault::Stall) {
        stopping.wait(-1); // the connection closes when the camera stops
        return soapAnswer(503, "");
    }
    if (delay > 0 && stopping.wait(delay)) return soapAnswer(503, "");

    HttpResponse response;
    bool authenticated = false;
    if (!parsed && options.auth != OnvifAuth::UsernameToken && !digestAnswered(request)) {
        // Cameras check HTTP authentication before they read the body: an
        // HTTP client that starts digest with a bodiless request gets the
        // challenge it waits for.
        response = digestChallenge();
    } else if (!parsed) {
        response = soapAnswer(400, onvif::faultText("SOAP-ENV:Sender", "ter:WellFormed", "not a SOAP 1.2 envelope"));
    } else {
        const bool open = soap.operationName == "GetSystemDateAndTime" && soap.operationNamespace == onvif::ns::kDevice;
        authenticated = open || authenticate(soap, request, response);
        if (authenticated) {
            onvif::ServiceContext context{
                options,
                *head,
                *streams,
                currentFault == OnvifFault::ForeignXAddrs ? settings.foreignHost : std::string("127.0.0.1"),
                http.port(),
                cameraSeconds(),
                streams->talkReceiver() != nullptr && currentFault != OnvifFault::NoBackChannel,
                options.sdCard.get(),
                options.sdCard != nullptr && currentFault != OnvifFault::NoReplay};
            onvif::SoapReply reply;
            try {
                const std::string& ns = soap.operationNamespace;
                if (currentFault == OnvifFault::SoapFault && !open) {
                    throw onvif::SoapError{"SOAP-ENV:Receiver", "ter:Action", "the camera failed (simulated)"};
                } else if (ns == onvif::ns::kDevice) {
                    onvif::answerDevice(soap, context, reply);
                } else if (ns == onvif::ns::kMedia) {
                    onvif::answerMedia(soap, context, reply);
                } else if (ns == onvif::ns::kPtz) {
                    ptz.answer(soap, context, reply);
                } else if (ns == onvif::ns::kEvents || ns == onvif::ns::kNotification) {
                    events.answer(soap, request.path, context, reply);
                } else if (ns == onvif::ns::kDeviceIo) {
                    onvif::answerDeviceIo(soap, context, reply, "tmd");
                } else if (ns == onvif::ns::kSearch) {
                    search.answer(soap, context, reply);
                } else if (ns == onvif::ns::kReplay) {
                    onvif::answerReplay(soap, context, reply);
                } else {
                    throw onvif::SoapError{"SOAP-ENV:Sender", "ter:ActionNotSupported",
                                           "no service for " + soap.operationName};
                }
                response =
                    soapAnswer(200, reply.text(currentFault == OnvifFault::HugeReply ? settings.hugeReplyBytes : 0));
            } catch (const onvif::SoapError& e) {
                response = faultAnswer(e);
            }
        }
    }
    logAnswer(entry, response.status, authenticated);
    return response;
}

bool OnvifCamera::Impl::startServer() {
    return http.start("127.0.0.1", http.port(), [this](const HttpRequest& r) { return handle(r); });
}

// A restart goes down (subscriptions forgotten, connections refused) and
// comes up again on the same port rebootDownMs later.
void OnvifCamera::Impl::restartWhenDue() {
    const int64_t now = steadyMs();
    OnvifFaultSettings settings;
    bool periodic = false;
    {
        std::lock_guard lock(mutex);
        settings = faultSettings;
        periodic = fault == OnvifFault::Reboot;
    }
    if (down) {
        if (now < upAgainAtMs) return;
        events.startUp();
        if (startServer()) {
            down = false;
            reboots.fetch_add(1);
        }
        return;
    }
    if (!periodic) nextRebootAtMs = now + settings.rebootEverySeconds * 1000LL;
    if (!rebootAsked.exchange(false) && now < nextRebootAtMs) return;
    events.shutDown();
    http.stop();
    events.dropAll();
    down = true;
    upAgainAtMs = now + settings.rebootDownMs;
    nextRebootAtMs = upAgainAtMs + settings.rebootEverySeconds * 1000LL;
}

void OnvifCamera::Impl::sampleLoop() {
    while (!stopping.wait(kSampleIntervalMs)) {
        restartWhenDue();
        events.sample(*head, cameraSeconds());
        ptz.stopExpiredMove(*head);
    }
}

OnvifCamera::OnvifCamera(OnvifOptions options, std::shared_ptr<CameraHead> head,
                         std::shared_ptr<OnvifStreamSource> streams)
    : impl_(std::make_unique<Impl>(std::move(options), std::move(head), std::move(streams))) {}

OnvifCamera::~OnvifCamera() { stop(); }

bool OnvifCamera::start() {
    stop();
    impl_->stopping.reset();
    impl_->events.startUp();
    impl_->down = false;
    impl_->http.allowPost(kMaxRequestBody);
    impl_->http.keepConnections(kKeepAliveIdleMs);
    if (!impl_->http.start("127.0.0.1", impl_->options.port,
                           [this](const HttpRequest& r) { return impl_->handle(r); })) {
        return false;
    }
    impl_->events.sample(*impl_->head, impl_->cameraSeconds());
    impl_->sampler = std::thread([this] { impl_->sampleLoop(); });
    return true;
}

bool OnvifCamera::startDiscovery(uint16_t port, std::vector<const OnvifCamera*> neighbours, bool hearGroup) {
    impl_->discovery.stop();
    impl_->neighbours = std::move(neighbours);
    return impl_->discovery.start(port, hearGroup);
}

uint16_t OnvifCamera::discoveryPort() const { return impl_->discovery.port(); }

void OnvifCamera::stop() {
    impl_->discovery.stop();
    impl_->stopping.set();
    // The sampler restarts the server on a reboot: it ends first.
    if (impl_->sampler.joinable()) impl_->sampler.join();
    impl_->events.shutDown();
    impl_->http.stop();
}

uint16_t OnvifCamera::port() const { return impl_->http.port(); }

std::string OnvifCamera::deviceServiceUrl() const {
    return "http://127.0.0.1:" + std::to_string(port()) + onvif::kDevicePath;
}

const OnvifOptions& OnvifCamera::options() const { return impl_->options; }
CameraHead& OnvifCamera::head() { return *impl_->head; }
std::shared_ptr<CameraHead> OnvifCamera::sharedHead() const { return impl_->head; }

void OnvifCamera::setFault(OnvifFault fault, const OnvifFaultSettings& settings) {
    if (const auto talk = impl_->streams->talkReceiver()) talk->setRefusal(talkRefusalFor(fault));
    impl_->streams->refuseReplay(fault == OnvifFault::ReplayRefused);
    if (impl_->options.sdCard) applyToCard(*impl_->options.sdCard, fault, settings);
    {
        std::lock_guard lock(impl_->mutex);
        impl_->fault = fault;
        impl_->faultSettings = settings;
    }
    impl_->http.faults().link.trickleMs.store(fault == OnvifFault::Trickle ? settings.trickleMs : 0);
    impl_->events.setRules(pullPointRules(fault, settings));
}

void OnvifCamera::reboot() { impl_->rebootAsked.store(true); }

int OnvifCamera::reboots() const { return impl_->reboots.load(); }

std::size_t OnvifCamera::liveSearches() const { return impl_->search.liveSearches(); }

int OnvifCamera::livePullPoints() const { return impl_->events.livePullPoints(impl_->cameraSeconds()); }

int64_t OnvifCamera::pullCount() const { return impl_->events.pulls(); }

int OnvifCamera::connectionCount() const { return impl_->http.connectionsAccepted(); }

OnvifFault OnvifCamera::fault() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->fault;
}

void OnvifCamera::setAnswerDelayMs(int ms) {
    std::lock_guard lock(impl_->mutex);
    impl_->answerDelayMs = ms;
}

int OnvifCamera::clockOffsetSeconds() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->fault == OnvifFault::SkewedClock ? impl_->faultSettings.clockOffsetSeconds : 0;
}

std::vector<std::string> OnvifCamera::presetNames() const { return impl_->ptz.presetNames(*impl_->head); }

std::vector<OnvifRequestRecord> OnvifCamera::requestLog() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->log;
}

void OnvifCamera::clearRequestLog() {
    std::lock_guard lock(impl_->mutex);
    impl_->logCleared += impl_->log.size();
    impl_->log.clear();
}

bool OnvifCamera::waitForAnswers(std::size_t count, int timeoutMs) const {
    std::unique_lock lock(impl_->mutex);
    return impl_->answered.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        std::size_t done = 0;
        for (const auto& r : impl_->log) done += r.answerMs != 0 ? 1 : 0;
        return done >= count;
    });
}

} // namespace camsim
