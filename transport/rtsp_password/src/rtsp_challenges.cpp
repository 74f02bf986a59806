#include "rtsp_password/rtsp_challenges.h"

#include <gst/rtsp/gstrtspdefs.h>

#include <algorithm>
#include <string_view>

namespace rtsp_password {

namespace {

// One header may hold several challenges ("Digest ..., Basic ..."): read
// as GStreamer's RTSP source reads them.
bool holdsBasic(const std::string& value) {
    if (isBasic(value)) return true;
    GstRTSPMessage* probe = nullptr;
    if (gst_rtsp_message_new_response(&probe, GST_RTSP_STS_UNAUTHORIZED, nullptr, nullptr) != GST_RTSP_OK)
        return true; // unreadable counts as the worst case
    gst_rtsp_message_add_header(probe, GST_RTSP_HDR_WWW_AUTHENTICATE, value.c_str());
    bool basic = false;
    if (GstRTSPAuthCredential** credentials =
            gst_rtsp_message_parse_auth_credentials(probe, GST_RTSP_HDR_WWW_AUTHENTICATE)) {
        for (GstRTSPAuthCredential** c = credentials; *c != nullptr; ++c)
            basic = basic || (*c)->scheme == GST_RTSP_AUTH_BASIC;
        gst_rtsp_auth_credentials_free(credentials);
    }
    gst_rtsp_message_free(probe);
    return basic;
}

Answer answerToValues(Authentication policy, const std::vector<std::string>& values) {
    std::vector<std::string_view> views(values.begin(), values.end());
    return answerTo(policy, views);
}

} // namespace

std::vector<std::string> challengesOf(const GstRTSPMessage* response) {
    std::vector<std::string> values;
    auto* message = const_cast<GstRTSPMessage*>(response); // GStreamer's getter only reads
    gchar* value = nullptr;
    for (gint i = 0; gst_rtsp_message_get_header(message, GST_RTSP_HDR_WWW_AUTHENTICATE, &value, i) == GST_RTSP_OK; ++i)
        values.emplace_back(value != nullptr ? value : "");
    return values;
}

Answer answerTo(Authentication policy, const GstRTSPMessage* response) {
    return answerToValues(policy, challengesOf(response));
}

Answer keepAnswerableChallenges(Authentication policy, GstRTSPMessage* response) {
    const std::vector<std::string> values = challengesOf(response);
    const Answer answer = answerToValues(policy, values);
    if (policy != Authentication::DigestOnly) return answer;
    std::vector<std::string> kept;
    std::copy_if(values.begin(), values.end(), std::back_inserter(kept),
                 [](const std::string& v) { return !holdsBasic(v); });
    if (kept.size() == values.size()) return answer;
    gst_rtsp_message_remove_header(response, GST_RTSP_HDR_WWW_AUTHENTICATE, -1);
    for (const std::string& v : kept) gst_rtsp_message_add_header(response, GST_RTSP_HDR_WWW_AUTHENTICATE, v.c_str());
    // A header that offered Digest beside Basic went too: what is left
    // decides, and nothing left of a Basic offer is a refusal.
    const Answer left = answerToValues(policy, kept);
    return left == Answer::NoPassword ? Answer::Refuse : left;
}

} // namespace rtsp_password
