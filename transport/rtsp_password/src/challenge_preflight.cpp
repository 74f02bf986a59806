#include "rtsp_password/challenge_preflight.h"

#include "rtsp_password/rtsp_challenges.h"

#include <platform/network_guard.h>

#include <gst/gst.h>
#include <gst/rtsp/rtsp.h>

#include <chrono>
#include <memory>

namespace rtsp_password {

namespace {

using SteadyClock = std::chrono::steady_clock;

struct UrlFree {
    void operator()(GstRTSPUrl* url) const { gst_rtsp_url_free(url); }
};
struct ConnectionFree {
    void operator()(GstRTSPConnection* connection) const { gst_rtsp_connection_free(connection); }
};
struct MessageUnset {
    void operator()(GstRTSPMessage* message) const { gst_rtsp_message_unset(message); }
};

Preflight outcome(Preflight::Outcome o, std::string detail = {}) {
    Preflight p;
    p.outcome = o;
    p.detail = std::move(detail);
    return p;
}

} // namespace

Preflight ChallengePreflight::run(const std::string& url, Authentication policy, int deadlineMs) {
    if (!gst_init_check(nullptr, nullptr, nullptr))
        return outcome(Preflight::Outcome::Unanswered, "GStreamer does not start");
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(deadlineMs);
    const auto leftUs = [deadline] {
        const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - SteadyClock::now());
        return static_cast<gint64>(std::max<int64_t>(left.count(), 1));
    };
    GstRTSPUrl* parsedRaw = nullptr;
    if (gst_rtsp_url_parse(url.c_str(), &parsedRaw) != GST_RTSP_OK || parsedRaw == nullptr)
        return outcome(Preflight::Outcome::Unanswered, "the stream address is no RTSP URL");
    std::unique_ptr<GstRTSPUrl, UrlFree> parsed(parsedRaw);
    // Never any credentials on this connection, whatever the address holds.
    g_free(parsed->user);
    g_free(parsed->passwd);
    parsed->user = nullptr;
    parsed->passwd = nullptr;
    const platform::GuardedHost guarded = platform::guardHost(parsed->host != nullptr ? parsed->host : "");
    if (!guarded.allowed) return outcome(Preflight::Outcome::Unanswered, guarded.reason);
    g_free(parsed->host);
    parsed->host = g_strdup(guarded.address.c_str());

    GstRTSPConnection* connectionRaw = nullptr;
    if (gst_rtsp_connection_create(parsed.get(), &connectionRaw) != GST_RTSP_OK)
        return outcome(Preflight::Outcome::Unanswered, "no RTSP connection could be made");
    std::unique_ptr<GstRTSPConnection, ConnectionFree> connection(connectionRaw);
    {
        std::lock_guard lock(mutex_);
        if (aborted_.load()) return outcome(Preflight::Outcome::Aborted);
        connection_ = connection.get();
    }
    struct Forget {
        ChallengePreflight* self;
        ~Forget() {
            std::lock_guard lock(self->mutex_);
            self->connection_ = nullptr;
        }
    } forget{this};

    const auto failed = [this](GstRTSPResult result, const char* what) {
        if (aborted_.load()) return outcome(Preflight::Outcome::Aborted);
        gchar* text = gst_rtsp_strresult(result);
        Preflight p =
            outcome(Preflight::Outcome::Unanswered, std::string(what) + " (" + (text != nullptr ? text : "?") + ")");
        g_free(text);
        return p;
    };
    GstRTSPResult result = gst_rtsp_connection_connect_usec(connection.get(), leftUs());
    if (result != GST_RTSP_OK) return failed(result, "no connection");

    gchar* requestUri = gst_rtsp_url_get_request_uri(parsed.get());
    GstRTSPMessage request = {};
    result = gst_rtsp_message_init_request(&request, GST_RTSP_DESCRIBE, requestUri);
    g_free(requestUri);
    std::unique_ptr<GstRTSPMessage, MessageUnset> requestOwner(&request);
    if (result != GST_RTSP_OK) return failed(result, "no request");
    gst_rtsp_message_add_header(&request, GST_RTSP_HDR_ACCEPT, "application/sdp");
    result = gst_rtsp_connection_send_usec(connection.get(), &request, leftUs());
    if (result != GST_RTSP_OK) return failed(result, "the request could not be sent");

    GstRTSPMessage response = {};
    std::unique_ptr<GstRTSPMessage, MessageUnset> responseOwner(&response);
    do {
        gst_rtsp_message_unset(&response);
        result = gst_rtsp_connection_receive_usec(connection.get(), &response, leftUs());
        if (result != GST_RTSP_OK) return failed(result, "no answer");
    } while (response.type != GST_RTSP_MESSAGE_RESPONSE);
    Preflight answered = outcome(Preflight::Outcome::Answered);
    answered.status = static_cast<int>(response.type_data.response.code);
    answered.answer = answerTo(policy, &response);
    return answered;
}

void ChallengePreflight::abort() {
    std::lock_guard lock(mutex_);
    aborted_.store(true);
    if (connection_ != nullptr) gst_rtsp_connection_flush(connection_, TRUE);
}

} // namespace rtsp_password
