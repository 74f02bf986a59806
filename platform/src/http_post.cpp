#include "platform/http_post.h"

#include "platform/network_guard.h"

#include "curl_guard.h"

#include <curl/curl.h>

#include <memory>

namespace platform {

namespace {

constexpr int kAbortPollMs = 50;

struct EasyDeleter {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};

struct MultiDeleter {
    void operator()(CURLM* m) const { curl_multi_cleanup(m); }
};

struct ListDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

struct ReplySink {
    std::string* text;
    std::size_t limit;
    bool overflowed = false;
};

// A reply longer than the limit ends the transfer: a SOAP reply cut short
// would be read as a different (or broken) answer.
extern "C" std::size_t collectReply(char* data, std::size_t size, std::size_t count, void* user) {
    auto* sink = static_cast<ReplySink*>(user);
    const std::size_t n = size * count;
    if (sink->text->size() + n > sink->limit) {
        sink->overflowed = true;
        return 0;
    }
    sink->text->append(data, n);
    return n;
}

HttpPostResult failure(int code, std::string text) {
    HttpPostResult result;
    result.errorCode = code;
    result.errorText = std::move(text);
    return result;
}

// Runs the transfer on a multi handle so that the abort is looked at every
// few milliseconds, whatever the server does.
CURLcode perform(CURL* easy, const HttpAbort* abort, bool* aborted) {
    std::unique_ptr<CURLM, MultiDeleter> multi(curl_multi_init());
    if (!multi) return CURLE_FAILED_INIT;
    if (curl_multi_add_handle(multi.get(), easy) != CURLM_OK) return CURLE_FAILED_INIT;
    CURLcode code = CURLE_OK;
    int running = 1;
    while (running > 0) {
        if (abort != nullptr && abort->aborted()) {
            *aborted = true;
            code = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
        if (curl_multi_perform(multi.get(), &running) != CURLM_OK) {
            code = CURLE_RECV_ERROR;
            break;
        }
        if (running > 0 && curl_multi_poll(multi.get(), nullptr, 0, kAbortPollMs, nullptr) != CURLM_OK) {
            code = CURLE_RECV_ERROR;
            break;
        }
    }
    if (running == 0) {
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(multi.get(), &left)) {
            if (message->msg == CURLMSG_DONE) code = message->data.result;
        }
    }
    curl_multi_remove_handle(multi.get(), easy);
    return code;
}

} // namespace

HttpPostResult httpPost(const HttpPostRequest& request) {
    detail::initialiseCurlOnce();
    if (loopbackOnly()) {
        const std::string host = detail::curlUrlHost(request.url);
        if (!isLoopbackAddress(host)) {
            HttpPostResult refused = failure(CURLE_COULDNT_CONNECT, loopbackRefusal(host));
            refused.refused = true;
            return refused;
        }
    }
    std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
    if (!easy) return failure(CURLE_FAILED_INIT, "HTTP open error");

    std::string contentType = "Content-Type: " + request.contentType;
    curl_slist* raw = curl_slist_append(nullptr, contentType.c_str());
    // No "Expect: 100-continue" round trip: cameras answer it badly or late.
    if (raw != nullptr) raw = curl_slist_append(raw, "Expect:");
    std::unique_ptr<curl_slist, ListDeleter> headers(raw);

    HttpPostResult result;
    ReplySink sink{&result.body, request.maxReplyBytes};
    detail::SocketGuard guard;
    CURL* c = easy.get();
    curl_easy_setopt(c, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(c, CURLOPT_POST, 1L);
    curl_easy_setopt(c, CURLOPT_POSTFIELDS, request.body.data());
    curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE, static_cast<long>(request.body.size()));
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(c, CURLOPT_PROXY, ""); // direct, whatever the environment says
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, static_cast<long>(request.timeoutMs > 0 ? request.timeoutMs : 1));
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, collectReply);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &sink);
    if (!request.digestUser.empty()) {
        curl_easy_setopt(c, CURLOPT_HTTPAUTH, CURLAUTH_DIGEST);
        curl_easy_setopt(c, CURLOPT_USERNAME, request.digestUser.c_str());
        curl_easy_setopt(c, CURLOPT_PASSWORD, request.digestPassword.c_str());
    }
    detail::guardSockets(c, &guard);

    const CURLcode code = perform(c, request.abort, &result.aborted);
    long status = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
    result.status = status;
    result.errorCode = static_cast<int>(code);
    result.completed = code == CURLE_OK;
    result.replyTooLarge = sink.overflowed;
    result.refused = guard.refused;
    if (result.replyTooLarge) result.body.clear();
    if (result.completed) return result;
    if (result.refused) {
        result.errorText = loopbackRefusal(detail::curlUrlHost(request.url));
    } else if (result.replyTooLarge) {
        result.errorText = "reply larger than " + std::to_string(request.maxReplyBytes) + " bytes";
    } else if (result.aborted) {
        result.errorText = "aborted";
    } else {
        result.errorText = curl_easy_strerror(code);
    }
    return result;
}

} // namespace platform
