#include "platform/http_post.h"

#include "platform/http_connection.h"

#include "http_exchange.h"

namespace platform {

namespace detail {

Exchange postExchange(const HttpPostRequest& request) {
    Exchange e;
    e.url = &request.url;
    e.postBody = &request.body;
    // No "Expect: 100-continue" round trip: cameras answer it badly or late.
    e.headers = {"Content-Type: " + request.contentType, "Expect:"};
    e.timeoutMs = request.timeoutMs;
    e.maxBodyBytes = request.maxReplyBytes;
    e.overflow = Overflow::Refuse;
    e.digestUser = &request.digestUser;
    e.digestPassword = &request.digestPassword;
    e.aborts = {request.abort, request.cancel};
    return e;
}

HttpPostResult postResult(ExchangeResult&& r) {
    HttpPostResult result = commonResult<HttpPostResult>(r);
    result.replyTooLarge = r.tooLarge;
    if (result.replyTooLarge) result.body.clear();
    result.aborted = r.aborted;
    result.refused = r.refused;
    return result;
}

} // namespace detail

HttpPostResult httpPost(const HttpPostRequest& request) {
    HttpConnection connection;
    return connection.post(request);
}

} // namespace platform
