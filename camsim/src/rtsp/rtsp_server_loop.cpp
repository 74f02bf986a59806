#include "rtsp_server_loop.h"

namespace camsim::rtsp {

namespace {

// On the loop's own thread: every client and session goes, then the loop ends.
gboolean closeEverything(gpointer data) {
    auto* loop = static_cast<std::pair<GstRTSPServer*, GMainLoop*>*>(data);
    gst_rtsp_server_client_filter(
        loop->first,
        [](GstRTSPServer*, GstRTSPClient* client, gpointer) {
            gst_rtsp_client_close(client);
            return GST_RTSP_FILTER_REMOVE;
        },
        nullptr);
    GstRTSPSessionPool* pool = gst_rtsp_server_get_session_pool(loop->first);
    gst_rtsp_session_pool_filter(
        pool, [](GstRTSPSessionPool*, GstRTSPSession*, gpointer) { return GST_RTSP_FILTER_REMOVE; }, nullptr);
    g_object_unref(pool);
    g_main_loop_quit(loop->second);
    return G_SOURCE_REMOVE;
}

} // namespace

uint16_t RtspServerLoop::start(GstRTSPServer* server) {
    stop();
    server_ = server;
    context_ = g_main_context_new();
    loop_ = g_main_loop_new(context_, FALSE);
    source_ = gst_rtsp_server_attach(server_, context_);
    if (source_ == 0) {
        stop();
        return 0;
    }
    const auto port = static_cast<uint16_t>(gst_rtsp_server_get_bound_port(server_));
    thread_ = std::thread([this] {
        g_main_context_push_thread_default(context_);
        g_main_loop_run(loop_);
        g_main_context_pop_thread_default(context_);
    });
    return port;
}

void RtspServerLoop::stop() {
    if (thread_.joinable()) {
        std::pair<GstRTSPServer*, GMainLoop*> both{server_, loop_};
        GSource* idle = g_idle_source_new();
        g_source_set_callback(idle, closeEverything, &both, nullptr);
        g_source_attach(idle, context_);
        g_source_unref(idle);
        thread_.join();
    }
    if (source_ != 0) {
        if (GSource* source = g_main_context_find_source_by_id(context_, source_)) g_source_destroy(source);
        source_ = 0;
    }
    if (loop_ != nullptr) g_main_loop_unref(loop_);
    if (context_ != nullptr) g_main_context_unref(context_);
    loop_ = nullptr;
    context_ = nullptr;
    server_ = nullptr;
}

} // namespace camsim::rtsp
