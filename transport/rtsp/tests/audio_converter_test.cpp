// The camera's audio as the stream client gets it: a tone coded by
// libavcodec's own encoders (G.711 mu-law and A-law, AAC), fed packet by
// packet through the converter the way the session does, comes out as
// 16-bit mono PCM at 8,000 samples/s in whole record slices, with the
// tone's length, level and pitch intact.
#include "audio_converter.h"
#include "corvel/frame_record.h"
#include "platform/libav_owners.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
}

#include <cmath>
#include <memory>
#include <ostream>
#include <numbers>
#include <vector>

namespace corvel {
namespace {

constexpr int kOutputRate = 8000;
constexpr double kAmplitude = 8000;
constexpr double kSeconds = 1.0;
// G.711 goes in packets of 20 ms, as RTP carries it.
constexpr int kG711PacketSamples = 160;

using Packet = platform::av::PacketPtr;

struct Encoded {
    platform::av::CodecParametersPtr parameters{avcodec_parameters_alloc()};
    std::vector<Packet> packets;
};

// kSeconds of a sine tone coded by libavcodec's encoder for `id`, and the
// stream parameters a session description would give for it.
Encoded encodeTone(AVCodecID id, int rate, double frequency) {
    Encoded out;
    const AVCodec* codec = avcodec_find_encoder(id);
    platform::av::CodecContextPtr context(avcodec_alloc_context3(codec));
    platform::av::FramePtr frame(av_frame_alloc());
    if (codec == nullptr || !context || !frame) return out;
    const bool aac = id == AV_CODEC_ID_AAC;
    context->sample_rate = rate;
    context->time_base = AVRational{1, rate};
    context->sample_fmt = aac ? AV_SAMPLE_FMT_FLTP : AV_SAMPLE_FMT_S16;
    context->ch_layout = AV_CHANNEL_LAYOUT_MONO;
    context->bit_rate = aac ? 64000 : 0;
    context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER; // the configuration travels in the description
    if (avcodec_open2(context.get(), codec, nullptr) < 0) return out;
    avcodec_parameters_from_context(out.parameters.get(), context.get());

    const int perFrame = context->frame_size > 0 ? context->frame_size : kG711PacketSamples;
    const int total = static_cast<int>(kSeconds * rate);
    auto drain = [&] {
        for (Packet p(av_packet_alloc()); p && avcodec_receive_packet(context.get(), p.get()) == 0;
             p.reset(av_packet_alloc()))
            out.packets.push_back(std::move(p));
    };
    for (int at = 0; at < total; at += perFrame) {
        frame->nb_samples = perFrame;
        frame->format = context->sample_fmt;
        frame->sample_rate = rate;
        av_channel_layout_copy(&frame->ch_layout, &context->ch_layout);
        if (av_frame_get_buffer(frame.get(), 0) < 0) return out;
        for (int i = 0; i < perFrame; ++i) {
            // A quarter-period offset keeps samples off the zero crossings.
            const double v = kAmplitude * std::sin(2 * std::numbers::pi * frequency * (at + i) / rate + 0.25);
            if (aac)
                reinterpret_cast<float*>(frame->data[0])[i] = static_cast<float>(v / 32768);
            else
                reinterpret_cast<int16_t*>(frame->data[0])[i] = static_cast<int16_t>(std::lround(v));
        }
        frame->pts = at;
        if (avcodec_send_frame(context.get(), frame.get()) < 0) return out;
        av_frame_unref(frame.get());
        drain();
    }
    avcodec_send_frame(context.get(), nullptr);
    drain();
    return out;
}

// The samples of consecutive record slices.
std::vector<int16_t> samplesOf(const std::vector<uint8_t>& pcm) {
    std::vector<int16_t> samples(pcm.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(pcm[2 * i] | pcm[2 * i + 1] << 8); // little-endian
    return samples;
}

double rms(const std::vector<int16_t>& s, std::size_t from, std::size_t to) {
    double sum = 0;
    for (std::size_t i = from; i < to; ++i) sum += static_cast<double>(s[i]) * s[i];
    return std::sqrt(sum / static_cast<double>(to - from));
}

// The pitch from the first and last upward zero crossings (interpolated)
// between `from` and `to`, at the player's 8,000 samples/s.
double frequencyOf(const std::vector<int16_t>& s, std::size_t from, std::size_t to) {
    double first = -1, last = -1;
    int crossings = 0;
    for (std::size_t i = from + 1; i < to; ++i) {
        if (s[i - 1] < 0 && s[i] >= 0) {
            const double at = static_cast<double>(i - 1) + static_cast<double>(-s[i - 1]) / (s[i] - s[i - 1]);
            if (first < 0) first = at;
            last = at;
            ++crossings;
        }
    }
    if (crossings < 2) return 0;
    return (crossings - 1) * kOutputRate / (last - first);
}

struct AudioCase {
    const char* name;
    AVCodecID codec;
    int rate;         // the camera's sample rate
    double frequency; // the tone's
    // Samples at 8,000/s the coding adds or loses (AAC's priming and last
    // frame, the resampler's filter), and what is skipped at each end before
    // the level and the pitch are measured.
    int lengthSlack;
    std::size_t settle;
    double levelTolerance; // relative
};

void PrintTo(const AudioCase& c, std::ostream* out) { *out << c.name; }

class AudioConverterTest : public ::testing::TestWithParam<AudioCase> {};

TEST_P(AudioConverterTest, ToneComesOutAsPcmForThePlayerWithItsLengthLevelAndPitch) {
    const AudioCase& c = GetParam();
    const Encoded encoded = encodeTone(c.codec, c.rate, c.frequency);
    ASSERT_FALSE(encoded.packets.empty()) << "libavcodec did not encode " << c.name;
    auto converter = AudioConverter::create(*encoded.parameters);
    ASSERT_NE(converter, nullptr);

    // As the session does: each packet in, then every whole slice out.
    std::vector<uint8_t> pcm;
    std::vector<uint8_t> slice(kAudioPayloadBytes);
    for (const Packet& p : encoded.packets) {
        converter->push(*p);
        while (converter->pop(slice)) pcm.insert(pcm.end(), slice.begin(), slice.end());
    }

    const std::vector<int16_t> samples = samplesOf(pcm);
    const int expected = static_cast<int>(kSeconds * kOutputRate);
    EXPECT_NEAR(static_cast<int>(samples.size()), expected, c.lengthSlack + static_cast<int>(kAudioPayloadBytes / 2));
    ASSERT_GT(samples.size(), 2 * c.settle + kOutputRate / 4);

    const std::size_t from = c.settle, to = samples.size() - c.settle;
    EXPECT_NEAR(rms(samples, from, to), kAmplitude / std::sqrt(2.0), c.levelTolerance * kAmplitude / std::sqrt(2.0));
    EXPECT_NEAR(frequencyOf(samples, from, to), c.frequency, c.frequency * 0.01);
}

INSTANTIATE_TEST_SUITE_P(Codecs, AudioConverterTest,
                         ::testing::Values(AudioCase{"MuLaw", AV_CODEC_ID_PCM_MULAW, 8000, 1000, 0, 0, 0.02},
                                           AudioCase{"ALaw", AV_CODEC_ID_PCM_ALAW, 8000, 700, 0, 0, 0.02},
                                           AudioCase{"Aac16k", AV_CODEC_ID_AAC, 16000, 440, 1024, 800, 0.1}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace corvel
