#include "clip_reader.h"

#include <onvif/replies.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <platform/libav_owners.h>
#include <recorder/new_file.h>

extern "C" {
#include <libavutil/error.h>
}

namespace playback {

namespace {

constexpr int kIoBufferBytes = 64 * 1024;
constexpr AVRational kMilliseconds{1, 1000};

std::string avText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

std::optional<DecoderCodec> decoderCodecOf(AVCodecID id) {
    switch (id) {
    case AV_CODEC_ID_H264: return kDecoderCodecH264;
    case AV_CODEC_ID_HEVC: return kDecoderCodecH265;
    case AV_CODEC_ID_MPEG4: return kDecoderCodecMpeg4;
    case AV_CODEC_ID_MJPEG: return kDecoderCodecJpeg;
    default: return std::nullopt;
    }
}

} // namespace

// Freed in the reverse order: the context before the I/O it reads through,
// the file last.
struct ClipReader::Av {
    recorder::FileHandle file;
    platform::av::IoContextPtr io;
    platform::av::InputContextPtr context;
    platform::av::BitstreamFilterPtr toAnnexB; // H.264 and H.265 are kept length-prefixed in the file
    platform::av::PacketPtr packet;
    int stream = -1;
    std::vector<uint8_t> headers; // MPEG-4: what a key picture needs in front

    static int readBytes(void* opaque, uint8_t* data, int size) {
        auto* self = static_cast<Av*>(opaque);
        const ssize_t got = ::read(self->file.get(), data, static_cast<size_t>(size));
        if (got < 0) return AVERROR(errno);
        return got == 0 ? AVERROR_EOF : static_cast<int>(got);
    }
    static int64_t seekBytes(void* opaque, int64_t offset, int whence) {
        auto* self = static_cast<Av*>(opaque);
        if ((whence & AVSEEK_SIZE) != 0) {
            struct stat info {};
            return fstat(self->file.get(), &info) == 0 ? static_cast<int64_t>(info.st_size) : AVERROR(errno);
        }
        const off_t at = lseek(self->file.get(), static_cast<off_t>(offset), whence & ~AVSEEK_FORCE);
        return at < 0 ? AVERROR(errno) : at;
    }
};

ClipReader::ClipReader() : av_(std::make_unique<Av>()) {}
ClipReader::~ClipReader() = default;

std::unique_ptr<ClipReader> ClipReader::open(const std::string& path, std::string& error) {
    std::unique_ptr<ClipReader> reader(new ClipReader());
    std::string why;
    if (!reader->openFile(path, why)) {
        error = path + ": " + why;
        return nullptr;
    }
    return reader;
}

bool ClipReader::openFile(const std::string& path, std::string& error) {
    Av& av = *av_;
    av.file = recorder::FileHandle(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!av.file) {
        error = std::strerror(errno);
        return false;
    }
    auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferBytes));
    if (buffer != nullptr)
        av.io.reset(avio_alloc_context(buffer, kIoBufferBytes, 0, &av, &Av::readBytes, nullptr, &Av::seekBytes));
    av.context.reset(avformat_alloc_context());
    av.packet.reset(av_packet_alloc());
    if (av.io == nullptr || av.context == nullptr || av.packet == nullptr) {
        if (av.io == nullptr) av_free(buffer);
        error = "out of memory";
        return false;
    }
    av.context->pb = av.io.get();
    av.context->flags |= AVFMT_FLAG_CUSTOM_IO;
    const AVInputFormat* matroska = av_find_input_format("matroska");
    AVFormatContext* context = av.context.release();
    const int opened = avformat_open_input(&context, nullptr, matroska, nullptr);
    av.context.reset(context); // avformat_open_input frees the context on failure
    if (opened < 0) {
        error = "not a Matroska clip (" + avText(opened) + ")";
        return false;
    }
    av.stream = av_find_best_stream(av.context.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (av.stream < 0) {
        error = "the clip has no pictures";
        return false;
    }
    const AVStream* video = av.context->streams[av.stream];
    const std::optional<DecoderCodec> codec = decoderCodecOf(video->codecpar->codec_id);
    if (!codec) {
        error = std::string("pictures of a kind Tavolin does not play (") +
                avcodec_get_name(video->codecpar->codec_id) + ")";
        return false;
    }
    codec_ = *codec;
    if (const AVDictionaryEntry* e = av_dict_get(av.context->metadata, "creation_time", nullptr, 0))
        writtenStartMs_ = onvif::parseDateTimeMs(e->value);
    if (const AVDictionaryEntry* e = av_dict_get(av.context->metadata, "title", nullptr, 0)) title_ = e->value;
    if (av.context->duration != AV_NOPTS_VALUE && av.context->duration > 0)
        durationMs_ = av_rescale(av.context->duration, 1000, AV_TIME_BASE);

    const AVCodecParameters* p = video->codecpar;
    const bool lengthPrefixed = p->extradata_size > 0 && p->extradata[0] == 1;
    if ((codec_ == kDecoderCodecH264 || codec_ == kDecoderCodecH265) && lengthPrefixed) {
        const AVBitStreamFilter* filter =
            av_bsf_get_by_name(codec_ == kDecoderCodecH264 ? "h264_mp4toannexb" : "hevc_mp4toannexb");
        AVBSFContext* toAnnexB = nullptr;
        const bool made = filter != nullptr && av_bsf_alloc(filter, &toAnnexB) >= 0;
        av.toAnnexB.reset(toAnnexB);
        if (!made || avcodec_parameters_copy(av.toAnnexB->par_in, p) < 0) {
            error = "the Annex-B filter is not available";
            return false;
        }
        av.toAnnexB->time_base_in = video->time_base;
        if (av_bsf_init(av.toAnnexB.get()) < 0) {
            error = "the clip's parameter sets cannot be read";
            return false;
        }
    } else if (codec_ == kDecoderCodecMpeg4 && p->extradata_size > 0) {
        av.headers.assign(p->extradata, p->extradata + p->extradata_size);
    }
    return true;
}

bool ClipReader::seek(int64_t clipMs) {
    Av& av = *av_;
    const AVStream* video = av.context->streams[av.stream];
    const int64_t at = av_rescale_q(std::max<int64_t>(clipMs, 0), kMilliseconds, video->time_base);
    if (av.toAnnexB != nullptr) av_bsf_flush(av.toAnnexB.get());
    if (av_seek_frame(av.context.get(), av.stream, at, AVSEEK_FLAG_BACKWARD) >= 0) return true;
    // Before the first key picture's entry: from the start.
    return av_seek_frame(av.context.get(), av.stream, 0, AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_ANY) >= 0 ||
           avformat_seek_file(av.context.get(), av.stream, INT64_MIN, 0, 0, 0) >= 0;
}

ClipReader::Read ClipReader::read(ClipPicture& picture, std::string& error) {
    Av& av = *av_;
    for (;;) {
        AVPacket* packet = av.packet.get();
        if (av.toAnnexB != nullptr) {
            const int got = av_bsf_receive_packet(av.toAnnexB.get(), packet);
            if (got == 0) break;
            if (got != AVERROR(EAGAIN)) {
                error = "a picture of the clip cannot be read (" + avText(got) + ")";
                return Read::Failed;
            }
        }
        av_packet_unref(packet);
        const int result = av_read_frame(av.context.get(), packet);
        if (result == AVERROR_EOF) return Read::End;
        if (result < 0) {
            // A clip cut off mid-cluster ends at its last whole picture.
            if (result == AVERROR_INVALIDDATA) return Read::End;
            error = "the clip cannot be read (" + avText(result) + ")";
            return Read::Failed;
        }
        if (packet->stream_index != av.stream || packet->size <= 0) continue;
        if (av.toAnnexB == nullptr) break;
        if (av_bsf_send_packet(av.toAnnexB.get(), packet) < 0) {
            error = "a picture of the clip cannot be read";
            return Read::Failed;
        }
    }
    AVPacket* packet = av.packet.get();
    const AVStream* video = av.context->streams[av.stream];
    const int64_t pts = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
    picture.clipMs = pts == AV_NOPTS_VALUE ? 0 : av_rescale_q(pts, video->time_base, kMilliseconds);
    picture.key = (packet->flags & AV_PKT_FLAG_KEY) != 0;
    picture.data.clear();
    const bool withHeaders = picture.key && !av.headers.empty() &&
                             (static_cast<std::size_t>(packet->size) < av.headers.size() ||
                              std::memcmp(packet->data, av.headers.data(), av.headers.size()) != 0);
    if (withHeaders) picture.data = av.headers;
    picture.data.insert(picture.data.end(), packet->data, packet->data + packet->size);
    av_packet_unref(packet);
    return Read::Picture;
}

} // namespace playback
