// A kept-alive HTTP connection: requests made through one HttpConnection
// reuse its TCP connection to a server for as long as the server keeps it
// open, instead of opening one per request. One request at a time: a second
// caller waits for the first to end (callers that run requests side by side
// give each its own connection).
//
// GET and POST go through the same set-up: the whole request (connect
// included) ends within its timeoutMs, and one whose time-out is 0 or less
// fails at once without being sent; every socket, a reused connection's
// first one included, passes the loopback guard once its address is known;
// redirects are never followed.
#pragma once

#include <memory>
#include <mutex>

#include "platform/http_get.h"
#include "platform/http_post.h"

namespace platform {

namespace detail {
class CurlSession;
}

class HttpConnection {
public:
    HttpConnection();
    ~HttpConnection();
    HttpConnection(const HttpConnection&) = delete;
    HttpConnection& operator=(const HttpConnection&) = delete;

    HttpGetResult get(const HttpGetRequest& request);
    HttpPostResult post(const HttpPostRequest& request);

    // TCP connections opened so far; a request on a kept connection opens none.
    int connectionsOpened() const;

private:
    mutable std::mutex mutex_;
    std::unique_ptr<detail::CurlSession> session_;
};

} // namespace platform
