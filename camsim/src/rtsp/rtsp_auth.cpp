#include "rtsp_auth.h"

namespace camsim::rtsp {

namespace {

constexpr const char* kRole = "camera-user";

} // namespace

void requireLogin(GstRTSPServer* server, const std::string& user, const std::string& password, bool basicOnly) {
    GstRTSPAuth* auth = gst_rtsp_auth_new();
    GstRTSPToken* token = gst_rtsp_token_new(GST_RTSP_TOKEN_MEDIA_FACTORY_ROLE, G_TYPE_STRING, kRole, nullptr);
    if (basicOnly) {
        gst_rtsp_auth_set_supported_methods(auth, GST_RTSP_AUTH_BASIC);
        gchar* basic = gst_rtsp_auth_make_basic(user.c_str(), password.c_str());
        gst_rtsp_auth_add_basic(auth, basic, token);
        g_free(basic);
    } else {
        gst_rtsp_auth_set_supported_methods(auth, GST_RTSP_AUTH_DIGEST);
        gst_rtsp_auth_add_digest(auth, user.c_str(), password.c_str(), token);
    }
    gst_rtsp_token_unref(token);
    gst_rtsp_server_set_auth(server, auth);
    g_object_unref(auth);
}

void admitCameraUser(GstRTSPMediaFactory* factory) {
    gst_rtsp_media_factory_add_role(factory, kRole, GST_RTSP_PERM_MEDIA_FACTORY_ACCESS, G_TYPE_BOOLEAN, TRUE,
                                    GST_RTSP_PERM_MEDIA_FACTORY_CONSTRUCT, G_TYPE_BOOLEAN, TRUE, nullptr);
}

} // namespace camsim::rtsp
