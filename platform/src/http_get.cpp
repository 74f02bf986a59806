#include "platform/http_get.h"

#include "platform/network_guard.h"

#include "curl_guard.h"

#include <curl/curl.h>

#include <memory>

namespace platform {

namespace {

struct EasyDeleter {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};

struct ListDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

struct Sink {
    std::string* text;
    std::size_t limit;
};

// Keeps at most `limit` bytes and drops the rest, so a huge body cannot
// exhaust memory but is still read to its end.
extern "C" std::size_t collect(char* data, std::size_t size, std::size_t count, void* user) {
    auto* sink = static_cast<Sink*>(user);
    const std::size_t n = size * count;
    if (sink->text->size() < sink->limit) {
        const std::size_t room = sink->limit - sink->text->size();
        sink->text->append(data, n < room ? n : room);
    }
    return n;
}

} // namespace

HttpGetResult httpGet(const HttpGetRequest& request) {
    HttpGetResult result;
    detail::initialiseCurlOnce();
    if (loopbackOnly()) {
        const std::string host = detail::curlUrlHost(request.url);
        if (!isLoopbackAddress(host)) {
            result.errorCode = CURLE_COULDNT_CONNECT;
            result.errorText = loopbackRefusal(host);
            return result;
        }
    }
    std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
    if (!easy) {
        result.errorCode = CURLE_FAILED_INIT;
        result.errorText = "HTTP open error";
        return result;
    }
    // Always fetched from the server, never from an intermediate cache.
    curl_slist* raw = curl_slist_append(nullptr, "Cache-Control: no-cache");
    if (raw != nullptr) raw = curl_slist_append(raw, "Pragma: no-cache");
    std::unique_ptr<curl_slist, ListDeleter> headers(raw);

    Sink bodySink{&result.body, request.maxBodyBytes};
    Sink headerSink{&result.headers, 64 * 1024};
    CURL* c = easy.get();
    curl_easy_setopt(c, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(c, CURLOPT_USERAGENT, request.agent.c_str());
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(c, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(c, CURLOPT_PROXY, ""); // direct, whatever the environment says
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, static_cast<long>(request.timeoutMs > 0 ? request.timeoutMs : 0));
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &bodySink);
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, collect);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, &headerSink);

    detail::SocketGuard guard;
    detail::guardSockets(c, &guard);

    const CURLcode code = curl_easy_perform(c);
    long status = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
    result.status = status;
    result.errorCode = static_cast<int>(code);
    result.completed = code == CURLE_OK;
    if (!result.completed) result.errorText = guard.refused ? loopbackRefusal(request.url) : curl_easy_strerror(code);
    return result;
}

} // namespace platform
