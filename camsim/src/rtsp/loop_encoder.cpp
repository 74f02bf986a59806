#include "loop_encoder.h"

#include "rtsp_pipelines.h"
#include "scene_feed.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/video/video.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <thread>
#include <tuple>

namespace camsim::rtsp {

namespace {

struct PipelineDeleter {
    void operator()(GstElement* e) const {
        gst_element_set_state(e, GST_STATE_NULL);
        gst_object_unref(e);
    }
};
using Pipeline = std::unique_ptr<GstElement, PipelineDeleter>;

struct ElementDeleter {
    void operator()(GstElement* e) const { gst_object_unref(e); }
};
using Element = std::unique_ptr<GstElement, ElementDeleter>;

void pushPictures(GstAppSrc* source, const RtspOptions& o, int count,
                  const std::function<void(const YuvPicture&)>& draw) {
    for (int i = 0; i < count; ++i) {
        GstBuffer* buffer = drawnPicture(o.width, o.height, draw);
        if (buffer == nullptr) break;
        GST_BUFFER_PTS(buffer) =
            gst_util_uint64_scale(static_cast<guint64>(i), GST_SECOND, static_cast<guint64>(o.frameRate));
        if (gst_app_src_push_buffer(source, buffer) != GST_FLOW_OK) break;
    }
    gst_app_src_end_of_stream(source);
}

} // namespace

std::shared_ptr<const EncodedLoop> encodeLoop(const RtspOptions& options, RtspCodec codec,
                                              const std::function<void(const YuvPicture&)>& draw) {
    const std::string description = "appsrc name=src format=time block=true max-bytes=20000000 caps=\"" +
                                    rawVideoCaps(options) + "\" ! " + encoderDescription(options, codec) +
                                    " ! appsink name=sink sync=false";
    GError* error = nullptr;
    Pipeline pipeline(gst_parse_launch(description.c_str(), &error));
    if (error != nullptr) g_error_free(error);
    if (!pipeline) return nullptr;
    Element source(gst_bin_get_by_name(GST_BIN(pipeline.get()), "src"));
    Element sink(gst_bin_get_by_name(GST_BIN(pipeline.get()), "sink"));
    if (!source || !sink || gst_element_set_state(pipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        return nullptr;
    }
    // A whole number of key-picture intervals, so that the loop starts over
    // on a key picture.
    const int gop = keyFrameInterval(options);
    const int wanted = options.preEncodedSeconds * options.frameRate;
    const int count = std::max(gop, (wanted + gop - 1) / gop * gop);
    std::thread feeder([&] { pushPictures(GST_APP_SRC(source.get()), options, count, draw); });
    auto loop = std::make_shared<EncodedLoop>();
    // A stuck encoder gives no sample for seconds: the loop then fails.
    constexpr GstClockTime kPictureTimeout = 10 * GST_SECOND;
    while (GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink.get()), kPictureTimeout)) {
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        GstMapInfo map;
        if (buffer != nullptr && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            loop->units.emplace_back(map.data, map.data + map.size);
            gst_buffer_unmap(buffer, &map);
        }
        gst_sample_unref(sample);
    }
    gst_element_set_state(pipeline.get(), GST_STATE_NULL); // frees a feeder still pushing
    feeder.join();
    if (static_cast<int>(loop->units.size()) != count) return nullptr;
    return loop;
}

} // namespace camsim::rtsp

namespace camsim {

class SharedLoops {
public:
    using Key = std::tuple<int, int, int, int, int, int, bool, RtspCodec>;
    std::mutex mutex; // held while one loop is encoded: the others wait for it
    std::map<Key, std::shared_ptr<const rtsp::EncodedLoop>> loops;
};

std::shared_ptr<SharedLoops> makeSharedLoops() { return std::make_shared<SharedLoops>(); }

std::shared_ptr<const rtsp::EncodedLoop> rtsp::sharedLoop(const RtspOptions& o, RtspCodec codec,
                                                          const std::function<void(const YuvPicture&)>& draw) {
    if (!o.sharedLoops) return encodeLoop(o, codec, draw);
    const SharedLoops::Key key{
        o.width, o.height, o.frameRate, o.bitRateKbps, keyFrameInterval(o), o.preEncodedSeconds, o.keyPictureOnPlay,
        codec};
    std::lock_guard lock(o.sharedLoops->mutex);
    auto& loop = o.sharedLoops->loops[key];
    if (!loop) loop = encodeLoop(o, codec, draw);
    return loop;
}

} // namespace camsim
