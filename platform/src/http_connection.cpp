#include "platform/http_connection.h"

#include "http_exchange.h"

namespace platform {

HttpConnection::HttpConnection() : session_(std::make_unique<detail::CurlSession>()) {}

HttpConnection::~HttpConnection() = default;

HttpGetResult HttpConnection::get(const HttpGetRequest& request) {
    std::lock_guard lock(mutex_);
    return detail::getResult(detail::perform(*session_, detail::getExchange(request)));
}

HttpPostResult HttpConnection::post(const HttpPostRequest& request) {
    std::lock_guard lock(mutex_);
    return detail::postResult(detail::perform(*session_, detail::postExchange(request)));
}

int HttpConnection::connectionsOpened() const {
    std::lock_guard lock(mutex_);
    return session_->guard().opened;
}

} // namespace platform
