#include "http_exchange.h"

#include "platform/network_guard.h"

#include <memory>

namespace platform::detail {

namespace {

// An abort wakes the transfer's wait; this only bounds a wait whose wake-up
// was lost.
constexpr int kLongestWaitMs = 5000;
constexpr std::size_t kMaxHeaderBytes = 64 * 1024;

struct ListDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

struct Sink {
    std::string* text;
    std::size_t limit;
    Overflow overflow;
    bool overflowed = false;
};

// Keeps what fits. Past the limit a body is either read on and dropped, so
// a huge answer cannot exhaust memory, or refused: a SOAP reply cut short
// would be read as a different (or broken) answer.
extern "C" std::size_t collect(char* data, std::size_t size, std::size_t count, void* user) {
    auto* sink = static_cast<Sink*>(user);
    const std::size_t n = size * count;
    const std::size_t room = sink->limit > sink->text->size() ? sink->limit - sink->text->size() : 0;
    if (n > room) {
        sink->overflowed = true;
        if (sink->overflow == Overflow::Refuse) return 0;
    }
    sink->text->append(data, n < room ? n : room);
    return n;
}

bool abortPulled(const Exchange& exchange) {
    for (const HttpAbort* abort : exchange.aborts) {
        if (abort != nullptr && abort->aborted()) return true;
    }
    return false;
}

// Wakes the multi handle's wait when an abort is pulled, for as long as it
// lives.
class AbortWatch final : public HttpAbort::Waker {
public:
    AbortWatch(CURLM* multi, const Exchange& exchange) : multi_(multi), exchange_(exchange) {
        for (const HttpAbort* abort : exchange_.aborts) {
            if (abort != nullptr) abort->watch(*this);
        }
    }
    ~AbortWatch() {
        for (const HttpAbort* abort : exchange_.aborts) {
            if (abort != nullptr) abort->unwatch(*this);
        }
    }
    AbortWatch(const AbortWatch&) = delete;
    AbortWatch& operator=(const AbortWatch&) = delete;

    void wake() override { curl_multi_wakeup(multi_); }

private:
    CURLM* multi_;
    const Exchange& exchange_;
};

// Runs the transfer on the multi handle, whose wait an abort ends at once,
// whatever the server does.
CURLcode transfer(CurlSession& session, const Exchange& exchange, bool* aborted) {
    if (curl_multi_add_handle(session.multi(), session.easy()) != CURLM_OK) return CURLE_FAILED_INIT;
    const AbortWatch watch(session.multi(), exchange);
    CURLcode code = CURLE_OK;
    int running = 1;
    while (running > 0) {
        if (abortPulled(exchange)) {
            *aborted = true;
            code = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
        if (curl_multi_perform(session.multi(), &running) != CURLM_OK) {
            code = CURLE_RECV_ERROR;
            break;
        }
        if (running > 0 && curl_multi_poll(session.multi(), nullptr, 0, kLongestWaitMs, nullptr) != CURLM_OK) {
            code = CURLE_RECV_ERROR;
            break;
        }
    }
    if (running == 0) {
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(session.multi(), &left)) {
            if (message->msg == CURLMSG_DONE) code = message->data.result;
        }
    }
    curl_multi_remove_handle(session.multi(), session.easy());
    return code;
}

ExchangeResult failure(int code, std::string text) {
    ExchangeResult result;
    result.errorCode = code;
    result.errorText = std::move(text);
    return result;
}

} // namespace

CurlSession::CurlSession() {
    initialiseCurlOnce();
    easy_ = curl_easy_init();
    multi_ = curl_multi_init();
}

CurlSession::~CurlSession() {
    if (multi_ != nullptr) curl_multi_cleanup(multi_);
    if (easy_ != nullptr) curl_easy_cleanup(easy_);
}

ExchangeResult perform(CurlSession& session, const Exchange& exchange) {
    if (loopbackOnly()) {
        const std::string host = curlUrlHost(*exchange.url);
        if (!isLoopbackAddress(host)) {
            ExchangeResult refused = failure(CURLE_COULDNT_CONNECT, loopbackRefusal(host));
            refused.refused = true;
            return refused;
        }
    }
    if (exchange.timeoutMs <= 0) return failure(CURLE_OPERATION_TIMEDOUT, "no time left for the request");
    if (!session.usable()) return failure(CURLE_FAILED_INIT, "HTTP open error");

    curl_slist* raw = nullptr;
    for (const std::string& header : exchange.headers) {
        curl_slist* longer = curl_slist_append(raw, header.c_str());
        if (longer == nullptr) break;
        raw = longer;
    }
    std::unique_ptr<curl_slist, ListDeleter> headers(raw);

    ExchangeResult result;
    Sink bodySink{&result.body, exchange.maxBodyBytes, exchange.overflow};
    Sink headerSink{&result.headers, kMaxHeaderBytes, Overflow::KeepPrefix};
    SocketGuard& guard = session.guard();
    guard.refused = false;

    // Every option is set afresh; the connection cache outlives the reset.
    CURL* c = session.easy();
    curl_easy_reset(c);
    curl_easy_setopt(c, CURLOPT_URL, exchange.url->c_str());
    if (!exchange.agent.empty()) curl_easy_setopt(c, CURLOPT_USERAGENT, exchange.agent.c_str());
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
    if (exchange.postBody != nullptr) {
        curl_easy_setopt(c, CURLOPT_POST, 1L);
        curl_easy_setopt(c, CURLOPT_POSTFIELDS, exchange.postBody->data());
        curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE, static_cast<long>(exchange.postBody->size()));
    } else {
        curl_easy_setopt(c, CURLOPT_HTTPGET, 1L);
    }
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(c, CURLOPT_PROXY, ""); // direct, whatever the environment says
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, static_cast<long>(exchange.timeoutMs));
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &bodySink);
    if (exchange.keepHeaders) {
        curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, collect);
        curl_easy_setopt(c, CURLOPT_HEADERDATA, &headerSink);
    }
    if (exchange.digestUser != nullptr && !exchange.digestUser->empty()) {
        curl_easy_setopt(c, CURLOPT_HTTPAUTH, CURLAUTH_DIGEST);
        curl_easy_setopt(c, CURLOPT_USERNAME, exchange.digestUser->c_str());
        curl_easy_setopt(c, CURLOPT_PASSWORD, exchange.digestPassword->c_str());
    }
    guardSockets(c, &guard);

    const CURLcode code = transfer(session, exchange, &result.aborted);
    long status = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
    // Nothing of the request may stay behind in the handle.
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, nullptr);
    curl_easy_setopt(c, CURLOPT_USERNAME, nullptr);
    curl_easy_setopt(c, CURLOPT_PASSWORD, nullptr);
    result.status = status;
    result.errorCode = static_cast<int>(code);
    result.completed = code == CURLE_OK;
    result.tooLarge = bodySink.overflowed;
    result.refused = guard.refused;
    if (result.completed) return result;
    if (result.refused) {
        result.errorText = loopbackRefusal(curlUrlHost(*exchange.url));
    } else if (result.tooLarge && exchange.overflow == Overflow::Refuse) {
        result.errorText = "reply larger than " + std::to_string(exchange.maxBodyBytes) + " bytes";
    } else if (result.aborted) {
        result.errorText = "aborted";
    } else {
        result.errorText = curl_easy_strerror(code);
    }
    return result;
}

} // namespace platform::detail
