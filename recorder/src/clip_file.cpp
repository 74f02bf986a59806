#include "recorder/clip_file.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "onvif/replies.h"
#include "video_parameters.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

namespace recorder {

namespace {

constexpr AVRational kMilliseconds{1, 1000};
constexpr int kAudioRate = 8000;
constexpr int kIoBufferBytes = 64 * 1024;
// A cluster is closed and flushed to the system after this much clip time,
// so a killed program loses no more than that.
constexpr int64_t kFlushEveryMs = 1000;

std::string avText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

} // namespace

ClipFile::ClipFile(CreatedFile file, MediaKind videoKind, int64_t originMs)
    : file_(std::move(file.file)), path_(std::move(file.path)), videoKind_(videoKind), originMs_(originMs) {}

ClipFile::~ClipFile() {
    std::string ignored;
    if (!finished_) finish(ignored);
}

int ClipFile::writeBytes(void* opaque, uint8_t* data, int size) {
    auto* self = static_cast<ClipFile*>(opaque);
    if (!writeAll(self->file_.get(), data, static_cast<std::size_t>(size))) {
        self->writeErrno_ = errno;
        return AVERROR(errno);
    }
    return size;
}

int64_t ClipFile::seekBytes(void* opaque, int64_t offset, int whence) {
    auto* self = static_cast<ClipFile*>(opaque);
    if ((whence & AVSEEK_SIZE) != 0) {
        struct stat info {};
        return fstat(self->file_.get(), &info) == 0 ? static_cast<int64_t>(info.st_size) : AVERROR(errno);
    }
    const off_t at = lseek(self->file_.get(), static_cast<off_t>(offset), whence & ~AVSEEK_FORCE);
    return at < 0 ? AVERROR(errno) : at;
}

std::unique_ptr<ClipFile> ClipFile::start(CreatedFile file, const Frame& firstPicture, ClipLayout layout,
                                          std::string& error) {
    if (!isVideo(firstPicture.kind) || !firstPicture.key) {
        error = "a clip must start with a key picture";
        ::unlink(file.path.c_str());
        return nullptr;
    }
    std::unique_ptr<ClipFile> clip(new ClipFile(std::move(file), firstPicture.kind, firstPicture.timeMs));
    std::string why;
    if (clip->open(firstPicture, layout, why) && clip->write(firstPicture, why)) return clip;
    // A clip that never got going leaves nothing behind.
    error = clip->path_ + ": " + why;
    clip->finished_ = true;
    ::unlink(clip->path_.c_str());
    return nullptr;
}

bool ClipFile::open(const Frame& firstPicture, ClipLayout layout, std::string& error) {
    AVFormatContext* context = nullptr;
    const bool made = avformat_alloc_output_context2(&context, nullptr, "matroska", nullptr) >= 0;
    context_.reset(context);
    packet_.reset(av_packet_alloc());
    if (!made || context_ == nullptr || packet_ == nullptr) {
        error = "the Matroska muxer is not available";
        return false;
    }
    auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferBytes));
    if (buffer == nullptr) {
        error = "out of memory";
        return false;
    }
    // The muxer writes through our own descriptor: no protocol is looked up,
    // so a file name can never turn into a network address.
    context_->pb =
        avio_alloc_context(buffer, kIoBufferBytes, 1, this, nullptr, &ClipFile::writeBytes, &ClipFile::seekBytes);
    if (context_->pb == nullptr) {
        av_free(buffer);
        error = "out of memory";
        return false;
    }
    context_->flags |= AVFMT_FLAG_CUSTOM_IO;

    AVStream* video = avformat_new_stream(context_.get(), nullptr);
    if (video == nullptr) {
        error = "out of memory";
        return false;
    }
    if (!describeVideo(firstPicture.kind, firstPicture.payload, *video->codecpar, error)) return false;
    video->time_base = kMilliseconds;
    if (layout.frameIntervalMs > 0) video->avg_frame_rate = av_d2q(1000.0 / layout.frameIntervalMs, 1 << 20);
    if (layout.withAudio) {
        AVStream* audio = avformat_new_stream(context_.get(), nullptr);
        if (audio == nullptr) {
            error = "out of memory";
            return false;
        }
        AVCodecParameters* p = audio->codecpar;
        p->codec_type = AVMEDIA_TYPE_AUDIO;
        p->codec_id = AV_CODEC_ID_PCM_S16LE;
        p->sample_rate = kAudioRate;
        av_channel_layout_default(&p->ch_layout, 1);
        p->bits_per_coded_sample = 16;
        p->block_align = 2;
        audio->time_base = kMilliseconds;
        audioIndex_ = audio->index;
    }
    if (layout.startUtcMs > 0)
        av_dict_set(&context_->metadata, "creation_time", onvif::formatDateTimeMs(layout.startUtcMs).c_str(), 0);
    if (!layout.cameraName.empty()) av_dict_set(&context_->metadata, "title", layout.cameraName.c_str(), 0);
    const int written = avformat_write_header(context_.get(), nullptr);
    if (written < 0) {
        error = failureText(written);
        return false;
    }
    headerWritten_ = true;
    return true;
}

std::string ClipFile::failureText(int code) const {
    return writeErrno_ != 0 ? std::strerror(writeErrno_) : avText(code);
}

uint64_t ClipFile::bytesWritten() const {
    const int64_t at = context_ != nullptr && context_->pb != nullptr ? avio_tell(context_->pb) : 0;
    return at > 0 ? static_cast<uint64_t>(at) : 0;
}

bool ClipFile::writePacket(const Frame& frame, int streamIndex, int64_t timeMs, std::string& error) {
    AVPacket* packet = packet_.get();
    av_packet_unref(packet);
    // The muxer copies what it keeps; the payload stays ours.
    packet->data = const_cast<uint8_t*>(frame.payload.data());
    packet->size = static_cast<int>(frame.payload.size());
    packet->stream_index = streamIndex;
    packet->pts = timeMs;
    packet->dts = timeMs;
    packet->time_base = kMilliseconds;
    if (streamIndex == audioIndex_) {
        packet->duration = static_cast<int64_t>(frame.payload.size() / 2) * 1000 / kAudioRate;
        packet->flags |= AV_PKT_FLAG_KEY;
    } else if (frame.key) {
        packet->flags |= AV_PKT_FLAG_KEY;
    }
    const int result = av_write_frame(context_.get(), packet);
    packet->data = nullptr;
    packet->size = 0;
    if (result < 0) {
        error = path_ + ": " + failureText(result);
        return false;
    }
    return true;
}

bool ClipFile::write(const Frame& frame, std::string& error) {
    if (finished_) {
        error = path_ + ": already finished";
        return false;
    }
    const int64_t timeMs = frame.timeMs - originMs_;
    int streamIndex = 0;
    if (frame.kind == MediaKind::Audio) {
        if (audioIndex_ < 0 || timeMs < 0 || frame.payload.empty()) return true;
        streamIndex = audioIndex_;
    } else if (frame.kind != videoKind_) {
        return true;
    }
    if (!writePacket(frame, streamIndex, timeMs, error)) return false;
    if (timeMs > lastMs_) lastMs_ = timeMs;
    if (lastMs_ - lastFlushMs_ >= kFlushEveryMs) {
        lastFlushMs_ = lastMs_;
        av_write_frame(context_.get(), nullptr); // closes the cluster
        avio_flush(context_->pb);
        if (context_->pb->error < 0) {
            error = path_ + ": " + failureText(context_->pb->error);
            return false;
        }
    }
    return true;
}

bool ClipFile::finish(std::string& error) {
    if (finished_) return true;
    finished_ = true;
    bool ok = true;
    if (headerWritten_) {
        const int result = av_write_trailer(context_.get());
        avio_flush(context_->pb);
        if (result < 0 || context_->pb->error < 0) {
            error = path_ + ": " + failureText(result < 0 ? result : context_->pb->error);
            ok = false;
        }
    }
    if (!file_.close() && ok) {
        error = path_ + ": " + std::strerror(errno);
        ok = false;
    }
    return ok;
}

} // namespace recorder
