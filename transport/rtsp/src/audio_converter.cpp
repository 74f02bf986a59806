#include "audio_converter.h"

#include "corvel/frame_record.h"

#include <algorithm>
#include <utility>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace corvel {

namespace {

constexpr int kOutputRate = 8000;
// A camera that sends audio nobody takes for a long time must not grow this
// without bound: about two seconds are kept.
constexpr std::size_t kMaxPendingBytes = 2 * kOutputRate * 2;
constexpr int kQuietLogOffset = AV_LOG_TRACE + 8;

bool playable(AVCodecID id) {
    return id == AV_CODEC_ID_PCM_MULAW || id == AV_CODEC_ID_PCM_ALAW || id == AV_CODEC_ID_AAC;
}

} // namespace

AudioConverter::~AudioConverter() = default;

std::unique_ptr<AudioConverter> AudioConverter::create(const AVCodecParameters& parameters) {
    if (!playable(parameters.codec_id)) return nullptr;
    const AVCodec* codec = avcodec_find_decoder(parameters.codec_id);
    if (codec == nullptr) return nullptr;
    std::unique_ptr<AudioConverter> c(new AudioConverter());
    c->codec_.reset(avcodec_alloc_context3(codec));
    c->frame_.reset(av_frame_alloc());
    if (!c->codec_ || !c->frame_) return nullptr;
    if (avcodec_parameters_to_context(c->codec_.get(), &parameters) < 0) return nullptr;
    // G.711 from a session description may leave the channel layout unset.
    if (c->codec_->ch_layout.nb_channels <= 0) av_channel_layout_default(&c->codec_->ch_layout, 1);
    if (c->codec_->sample_rate <= 0) c->codec_->sample_rate = kOutputRate;
    c->codec_->log_level_offset = kQuietLogOffset;
    if (avcodec_open2(c->codec_.get(), codec, nullptr) < 0) return nullptr;
    return c;
}

void AudioConverter::push(const AVPacket& packet) {
    if (avcodec_send_packet(codec_.get(), &packet) < 0) return;
    while (avcodec_receive_frame(codec_.get(), frame_.get()) >= 0) {
        convert(*frame_);
        av_frame_unref(frame_.get());
    }
}

void AudioConverter::convert(const AVFrame& frame) {
    if (frame.nb_samples <= 0 || frame.sample_rate <= 0) return;
    if (!resampler_) {
        SwrContext* s = nullptr;
        AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
        AVChannelLayout input{};
        if (av_channel_layout_copy(&input, &frame.ch_layout) < 0) return;
        const int made = swr_alloc_set_opts2(&s, &mono, AV_SAMPLE_FMT_S16, kOutputRate, &input,
                                             static_cast<AVSampleFormat>(frame.format), frame.sample_rate, 0, nullptr);
        av_channel_layout_uninit(&input);
        platform::av::ResamplerPtr resampler(s);
        if (made < 0 || swr_init(resampler.get()) < 0) return;
        resampler_ = std::move(resampler);
    }
    const int capacity = swr_get_out_samples(resampler_.get(), frame.nb_samples);
    if (capacity <= 0) return;
    converted_.resize(static_cast<std::size_t>(capacity) * 2);
    uint8_t* out[1] = {converted_.data()};
    const int samples = swr_convert(resampler_.get(), out, capacity, const_cast<const uint8_t**>(frame.extended_data),
                                    frame.nb_samples);
    if (samples <= 0) return;
    pending_.insert(pending_.end(), converted_.begin(), converted_.begin() + samples * 2);
    if (pending_.size() > kMaxPendingBytes) {
        const std::size_t drop = pending_.size() - kMaxPendingBytes; // even: whole samples
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(drop));
    }
}

bool AudioConverter::hasWhole() const { return pending_.size() >= kAudioPayloadBytes; }

bool AudioConverter::pop(std::span<uint8_t> out) {
    if (pending_.size() < kAudioPayloadBytes || out.size() < kAudioPayloadBytes) return false;
    std::copy_n(pending_.begin(), kAudioPayloadBytes, out.begin());
    pending_.erase(pending_.begin(), pending_.begin() + kAudioPayloadBytes);
    return true;
}

} // namespace corvel
