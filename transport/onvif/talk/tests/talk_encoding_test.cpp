// The encodings a back channel may offer: which the client sends, and what
// each encoder makes of a tone, decoded back by GStreamer's own decoders.
#include "talk/talk_encoder.h"
#include "talk/talk_encoding.h"

#include <camsim/talk_receiver.h>

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <mutex>
#include <numbers>
#include <thread>
#include <vector>

namespace talk {
namespace {

TEST(TalkEncodingTest, OfferedEncodingsAreReadFromTheirRtpmap) {
    struct Row {
        const char* name;
        int payload;
        int rate;
        bool sent;
        Codec codec;
    };
    const Row rows[] = {
        {"PCMU", 0, 8000, true, Codec::Pcmu},
        {"pcma", 8, 8000, true, Codec::Pcma},
        {"MPEG4-GENERIC", 96, 16000, true, Codec::Aac},
        {"mpeg4-generic", 97, 8000, true, Codec::Aac},
        {"MPEG4-GENERIC", 96, 7000, false, Codec::Aac},
        {"G726-32", 2, 8000, false, Codec::Pcmu},
        {"PCMU", 0, 4000, false, Codec::Pcmu},
        {"PCMU", 128, 8000, false, Codec::Pcmu},
        {"", 0, 8000, false, Codec::Pcmu},
    };
    for (const Row& r : rows) {
        const auto e = encodingOffered(r.name, r.payload, r.rate);
        EXPECT_EQ(e.has_value(), r.sent) << r.name << "/" << r.rate;
        if (e && r.sent) {
            EXPECT_EQ(e->codec, r.codec) << r.name;
            EXPECT_EQ(e->payloadType, r.payload) << r.name;
            EXPECT_EQ(e->clockRate, r.rate) << r.name;
        }
    }
}

// Decodes RTP packets with GStreamer's depayloaders and decoders into
// 16-bit mono at 8 kHz.
std::vector<int16_t> decodeBack(const std::vector<GstSample*>& packets, const char* decoder) {
    std::vector<int16_t> pcm;
    if (packets.empty()) return pcm;
    const std::string description = std::string("appsrc name=in format=time ! ") + decoder +
                                    " ! audioconvert ! audioresample ! "
                                    "audio/x-raw,format=S16LE,rate=8000,channels=1 ! appsink name=out sync=false";
    GstElement* pipeline = gst_parse_launch(description.c_str(), nullptr);
    GstElement* in = gst_bin_get_by_name(GST_BIN(pipeline), "in");
    GstElement* out = gst_bin_get_by_name(GST_BIN(pipeline), "out");
    gst_app_src_set_caps(GST_APP_SRC(in), gst_sample_get_caps(packets.front()));
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    for (GstSample* p : packets) gst_app_src_push_buffer(GST_APP_SRC(in), gst_buffer_ref(gst_sample_get_buffer(p)));
    gst_app_src_end_of_stream(GST_APP_SRC(in));
    while (GstSample* s = gst_app_sink_try_pull_sample(GST_APP_SINK(out), 2 * GST_SECOND)) {
        GstMapInfo map;
        GstBuffer* b = gst_sample_get_buffer(s);
        gst_buffer_map(b, &map, GST_MAP_READ);
        const auto* v = reinterpret_cast<const int16_t*>(map.data);
        pcm.insert(pcm.end(), v, v + map.size / 2);
        gst_buffer_unmap(b, &map);
        gst_sample_unref(s);
    }
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(in);
    gst_object_unref(out);
    gst_object_unref(pipeline);
    return pcm;
}

struct EncoderCase {
    const char* what;
    Encoding encoding;
    const char* decoder;
    std::size_t latencySamples; // at most this much is still inside the codec at the end
};

class TalkEncoderTest : public ::testing::TestWithParam<EncoderCase> {
protected:
    void SetUp() override { ASSERT_TRUE(gst_init_check(nullptr, nullptr, nullptr)); }
    void TearDown() override {
        for (GstSample* s : packets) gst_sample_unref(s);
    }
    std::mutex mutex;
    std::vector<GstSample*> packets;
};

TEST_P(TalkEncoderTest, ToneKeepsLevelPitchAndLength) {
    constexpr int kRate = 8000;
    constexpr std::size_t kChunk = 2048; // one microphone buffer
    constexpr std::size_t kChunks = 8;
    constexpr double kAmplitude = 8000;
    TalkEncoder encoder;
    std::string error;
    ASSERT_TRUE(encoder.start(
        GetParam().encoding,
        [this](GstSample* p) {
            std::lock_guard lock(mutex);
            packets.push_back(p);
        },
        error))
        << error;
    std::vector<int16_t> chunk(kChunk);
    std::size_t n = 0;
    for (std::size_t c = 0; c < kChunks; ++c) {
        for (int16_t& s : chunk)
            s = static_cast<int16_t>(kAmplitude * std::sin(2 * std::numbers::pi * 1000 * n++ / kRate));
        ASSERT_TRUE(encoder.push(chunk.data(), chunk.size()));
    }
    // The encoder works on its own thread: wait until its packets stop coming.
    std::size_t seen = 0;
    for (int quiet = 0; quiet < 5;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
        std::lock_guard lock(mutex);
        quiet = packets.size() == seen ? quiet + 1 : 0;
        seen = packets.size();
    }
    encoder.stop();
    EXPECT_FALSE(encoder.push(chunk.data(), chunk.size()));

    const std::vector<int16_t> heard = decodeBack(packets, GetParam().decoder);
    const std::size_t sent = kChunk * kChunks;
    EXPECT_LE(heard.size(), sent);
    EXPECT_GE(heard.size(), sent - GetParam().latencySamples);
    // Past a codec's start-up, the tone comes back as it went.
    const std::size_t skip = heard.size() / 4;
    ASSERT_GT(heard.size(), skip + kRate / 4);
    const camsim::ToneMeasure m = camsim::measureTone(heard.data() + skip, heard.size() - 2 * skip, kRate);
    EXPECT_NEAR(m.frequencyHz, 1000, 10);
    EXPECT_NEAR(m.rms, kAmplitude / std::numbers::sqrt2, kAmplitude * 0.07);
}

INSTANTIATE_TEST_SUITE_P(
    Codecs, TalkEncoderTest,
    ::testing::Values(EncoderCase{"MuLaw", {Codec::Pcmu, 0, 8000}, "rtppcmudepay ! mulawdec", 0},
                      EncoderCase{"ALaw", {Codec::Pcma, 8, 8000}, "rtppcmadepay ! alawdec", 0},
                      // Frames of 1024 samples at 16 kHz; one held back, one priming.
                      EncoderCase{"Aac", {Codec::Aac, 96, 16000}, "rtpmp4gdepay ! aacparse ! faad", 1100}),
    [](const ::testing::TestParamInfo<EncoderCase>& info) { return std::string(info.param.what); });

} // namespace
} // namespace talk
