// One HTTP POST, as the SOAP services of a camera need it: a deadline on the
// whole exchange, aborts other threads can pull, a cap on the reply (a
// longer reply is refused, not cut) and, on demand, HTTP digest
// authentication. Every socket is checked against the loopback guard after
// the name was resolved, so a redirect or a name cannot lead outside it.
// The set-up and the time-out rule are those of HttpConnection
// (platform/http_connection.h), which also keeps the connection.
#pragma once

#include "platform/http_abort.h"

#include <cstddef>
#include <string>

namespace platform {

struct HttpPostRequest {
    std::string url;
    std::string body;
    std::string contentType;
    int timeoutMs = 10000;               // whole request, connect included; <= 0 fails at once
    std::size_t maxReplyBytes = 1 << 20; // a longer reply fails the request
    // HTTP digest authentication with these credentials when the user is not
    // empty (never written anywhere).
    std::string digestUser;
    std::string digestPassword;
    // Either one pulled ends the request: the first is meant for everything
    // a client has in flight, the second for this request alone.
    const HttpAbort* abort = nullptr;
    const HttpAbort* cancel = nullptr;
};

struct HttpPostResult {
    bool completed = false; // the server answered and the whole reply was read
    long status = 0;        // HTTP status code, 0 when no answer came
    std::string body;
    bool replyTooLarge = false; // the reply passed maxReplyBytes and was dropped
    bool aborted = false;       // the abort was pulled
    bool refused = false;       // the loopback guard refused the address
    int errorCode = 0;          // transfer error number, 0 when completed
    std::string errorText;      // short description of a failure
};

HttpPostResult httpPost(const HttpPostRequest& request);

} // namespace platform
