// The one libcurl set-up behind HTTP GET and POST: options, loopback guard,
// size cap, abort and digest authentication, run on a handle that keeps its
// connections between exchanges.
#pragma once

#include "platform/http_get.h"
#include "platform/http_post.h"

#include "curl_guard.h"

#include <curl/curl.h>

#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace platform::detail {

// An easy handle and the multi handle that drives it; the multi handle's
// connection cache keeps connections alive between exchanges.
class CurlSession {
public:
    CurlSession();
    ~CurlSession();
    CurlSession(const CurlSession&) = delete;
    CurlSession& operator=(const CurlSession&) = delete;

    bool usable() const { return easy_ != nullptr && multi_ != nullptr; }
    CURL* easy() const { return easy_; }
    CURLM* multi() const { return multi_; }
    SocketGuard& guard() { return guard_; }

private:
    CURL* easy_ = nullptr;
    CURLM* multi_ = nullptr;
    SocketGuard guard_;
};

enum class Overflow {
    KeepPrefix, // keep the first maxBodyBytes, read and drop the rest
    Refuse,     // a longer body fails the exchange
};

struct Exchange {
    const std::string* url = nullptr;
    const std::string* postBody = nullptr; // null: GET
    std::vector<std::string> headers;
    std::string agent;
    int timeoutMs = 0;
    std::size_t maxBodyBytes = 0;
    Overflow overflow = Overflow::Refuse;
    bool keepHeaders = false;
    const std::string* digestUser = nullptr; // digest authentication when not empty
    const std::string* digestPassword = nullptr;
    std::array<const HttpAbort*, 2> aborts{};
};

struct ExchangeResult {
    bool completed = false;
    long status = 0;
    std::string headers;
    std::string body;
    bool tooLarge = false;
    bool aborted = false;
    bool refused = false;
    int errorCode = 0;
    std::string errorText;
};

ExchangeResult perform(CurlSession& session, const Exchange& exchange);

// The fields both result records of http_get.h and http_post.h have.
template <class Result>
Result commonResult(ExchangeResult& r) {
    Result result;
    result.completed = r.completed;
    result.status = r.status;
    result.body = std::move(r.body);
    result.errorCode = r.errorCode;
    result.errorText = std::move(r.errorText);
    return result;
}

// The request records of http_get.h and http_post.h as exchanges, and back.
Exchange getExchange(const HttpGetRequest& request);
HttpGetResult getResult(ExchangeResult&& result);
Exchange postExchange(const HttpPostRequest& request);
HttpPostResult postResult(ExchangeResult&& result);

} // namespace platform::detail
