#include "platform/http_get.h"

#include "platform/http_connection.h"

#include "http_exchange.h"

namespace platform {

namespace detail {

Exchange getExchange(const HttpGetRequest& request) {
    Exchange e;
    e.url = &request.url;
    // Always fetched from the server, never from an intermediate cache.
    e.headers = {"Cache-Control: no-cache", "Pragma: no-cache"};
    e.agent = request.agent;
    e.timeoutMs = request.timeoutMs;
    e.maxBodyBytes = request.maxBodyBytes;
    e.overflow = Overflow::KeepPrefix;
    e.keepHeaders = true;
    if (!request.user.empty()) {
        e.digestUser = &request.user;
        e.digestPassword = &request.password;
    }
    return e;
}

HttpGetResult getResult(ExchangeResult&& r) {
    HttpGetResult result = commonResult<HttpGetResult>(r);
    result.headers = std::move(r.headers);
    return result;
}

} // namespace detail

HttpGetResult httpGet(const HttpGetRequest& request) {
    HttpConnection connection;
    return connection.get(request);
}

} // namespace platform
