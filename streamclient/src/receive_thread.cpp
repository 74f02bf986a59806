// The receive thread: connects the transport, pulls frame records, decodes
// video, hands pictures and event headers over and plays audio.
#include <algorithm>
#include <cstring>
#include <new>

#include "audio_player.h"
#include "picture_scan.h"
#include "platform/diagnostics.h"
#include "session.h"
#include "video_renderer.h"

#include "transport/frame_header.h"
#include "transport/protocol_message.h"

namespace ostrel {

namespace {

constexpr int32_t kFrameKindVideo = 1;
constexpr int32_t kFrameKindAudio = 2;
constexpr int32_t kFrameKindFirstCodec = 3; // H.264, H.265, JPEG: 3, 4, 5
constexpr int32_t kFrameKindLastCodec = 5;
constexpr std::size_t kHeader = transport::kFrameHeaderSize;

// The size a decoded picture's bitmap header gives (rows top-down, so the
// height is stored negative); zero sides for a header that makes no sense.
PictureSize decodedSize(const uint8_t* picture) {
    const auto width = static_cast<int32_t>(transport::getUint32Le(picture + 4));
    const auto height = -static_cast<int32_t>(transport::getUint32Le(picture + 8));
    if (width <= 0 || height <= 0) return {};
    return {width, height};
}

} // namespace

// Decodes one video record. Returns the picture, or null when none came back
// or the picture does not fit the picture buffer. MPEG-4 pictures are made
// the stream's size, or fitted into the render rectangle as it is now when
// asked to fit (a wall cell that grows gets sharper pictures at once); the
// other codecs' fit into the render rectangle.
const uint8_t* Session::decode(const uint8_t* record, int32_t length) const {
    int32_t width = streamWidth_;
    int32_t height = streamHeight_;
    const RenderInfo box = settings_.renderInfo();
    if (codecStream_) {
        const PictureSize fit = codecBox();
        width = fit.width;
        height = fit.height;
    } else if ((box.flags & OSTREL_RENDER_FIT_PICTURES) != 0 && fullSize_.width > 0 && fullSize_.height > 0) {
        const PictureSize fitted = fitInto(fullSize_, box.width, box.height);
        width = fitted.width;
        height = fitted.height;
    }
    const uint8_t* picture = decoder_.decode(width, height, record + kHeader, length - static_cast<int32_t>(kHeader));
    if (picture == nullptr) return nullptr;
    // A picture larger than the buffer is refused, never copied. A codec
    // stream's pictures are drawn from the decoder's own, whose size follows
    // the render rectangle as it changes, up to 3840 x 2160.
    const std::size_t limit = codecStream_ ? decoder::kMaxCodecPictureBytes : pictureBufferSize_;
    if (transport::getUint32Le(picture + decoder::kImageSizeOffset) > limit) return nullptr;
    return picture;
}

PictureSize Session::codecBox() const {
    const RenderInfo box = settings_.renderInfo();
    if (box.width <= 0 || box.height <= 0) return {};
    return {box.width, box.height};
}

void Session::decodeIntoWindow(const uint8_t* record, int32_t length) {
    PictureSize size;
    const PictureSize box = codecBox();
    if (!decoder_.decodeFrame(box.width, box.height, record + kHeader, length - static_cast<int32_t>(kHeader), size))
        return;
    const std::size_t stride = platform::bitmapStride(size.width, decoder::kBitsPerPixel);
    const std::size_t bytes = stride * static_cast<std::size_t>(size.height);
    if (bytes > decoder::kMaxCodecPictureBytes) return;
    noteStreamSize();
    if (!streamStarted_) startStream();
    lastPictureMs_.store(seams_.clock->nowMs());
    picture_->width = size.width;
    picture_->height = size.height;
    picture_->bitCount = decoder::kBitsPerPixel;
    picture_->pixelBytes = bytes;
    picture_->updateHeader();

    if (decodeIntoPlanes(size)) return;
    std::shared_ptr<platform::Surface> window;
    const platform::PictureTarget target = renderer_->lend(size.width, size.height, window);
    if (target.pixels == nullptr) {
        if (codecPicture_.size() < bytes) codecPicture_.resize(bytes);
        if (!decoder_.writePicture(codecPicture_.data(), stride)) return;
        picture_->pixels = codecPicture_.data();
        drawPicture();
        return;
    }
    const bool filled = decoder_.writePicture(target.pixels, target.stride);
    picture_->pixels = filled ? target.pixels : nullptr;
    // Read while the buffer is still lent to this thread.
    if (filled) report_.pictures.offer(*picture_);
    renderer_->finishLent(*window, filled);
    picture_->pixels = nullptr;
    if (filled) finishDrawing(window.get());
}

// A window that converts as it paints (the wall's cells) takes the picture
// as 4:2:0 planes: the conversion then writes straight into what the screen
// shows, a whole picture's copy less. False when the picture still needs
// drawing as rows.
bool Session::decodeIntoPlanes(const PictureSize& size) {
    if (!decoder_.writesPlanes()) return false;
    std::shared_ptr<platform::Surface> window;
    const platform::PlanarTarget planes = renderer_->lendPlanes(size.width, size.height, window);
    if (planes.y == nullptr) return false;
    const int range = decoder_.writePlanes(planes);
    // Read while the planes are still lent to this thread.
    if (range != 0) report_.pictures.offerLuma(planes.y, planes.yStride, size.width, size.height, range == 2);
    renderer_->finishLentPlanes(*window, range != 0, range == 2);
    if (range == 0) return false;
    finishDrawing(window.get());
    return true;
}

// Copies a picture into the picture buffer unless one still waits for the
// render thread.
void Session::handOverPicture(const uint8_t* picture) {
    if (picturePending_.load()) return;
    const uint32_t bytes = transport::getUint32Le(picture + decoder::kImageSizeOffset);
    std::memcpy(pictureBuffer_.get(), picture + decoder::kPictureHeaderSize, bytes);
    // The size may change with the render rectangle (see decode).
    if (const PictureSize size = decodedSize(picture); size.width > 0) {
        picture_->width = size.width;
        picture_->height = size.height;
    }
    picture_->bitCount = transport::getUint16Le(picture + decoder::kBitCountOffset);
    picture_->pixelBytes = bytes;
    picture_->updateHeader();
    picturePending_.store(true);
    frameReady_.set();
}

// A codec stream's pictures are drawn by this thread straight from the
// decoder's own picture, which stays put until the next decode: at 16
// cameras of 30 pictures/s, copying each picture over to the render thread
// and waking it cost as much as a sixth of the stream. `picture` may be null.
void Session::describeDecodedPicture(const uint8_t* picture) {
    if (picture == nullptr) {
        picture_->pixels = nullptr;
        return;
    }
    const PictureSize size = decodedSize(picture);
    if (size.width <= 0) {
        picture_->pixels = nullptr;
        return;
    }
    picture_->width = size.width;
    picture_->height = size.height;
    picture_->bitCount = transport::getUint16Le(picture + decoder::kBitCountOffset);
    picture_->pixelBytes = transport::getUint32Le(picture + decoder::kImageSizeOffset);
    picture_->pixels = picture + decoder::kPictureHeaderSize;
    picture_->updateHeader();
}

void Session::firstPicture(const uint8_t* record, int32_t length) {
    const uint8_t* data = record + kHeader;
    const std::size_t dataLength = static_cast<std::size_t>(length) - kHeader;
    if (!containsIntraPicture(data, dataLength)) return;
    fullSize_ = parseVideoObjectLayer(data, dataLength);
    PictureSize size = fullSize_;
    const RenderInfo box = settings_.renderInfo();
    if ((box.flags & OSTREL_RENDER_FIT_PICTURES) != 0) size = fitInto(size, box.width, box.height);
    streamWidth_ = size.width;
    streamHeight_ = size.height;
    const uint8_t* picture = decode(record, length);
    if (picture == nullptr) return;
    noteStreamSize();
    startStream();
    handOverPicture(picture);
}

// The decoder's word, else what an MPEG-4 stream's first picture said.
void Session::noteStreamSize() {
    const PictureSize told = decoder_.sourceSize();
    report_.setStreamSize(told.width > 0 ? told : fullSize_);
}

void Session::startStream() {
    const RenderInfo info = settings_.renderInfo();
    renderer_->setDestination(info.left, info.top, info.width, info.height);
    picture_->compression = 0;
    picture_->pixels = pictureBuffer_.get();
    picture_->pixelOffset = 0;
    streamStarted_ = true;
}

void Session::handOverEventHeader(const uint8_t* record) {
    const uint8_t* header = record + transport::kEventHeaderOffset;
    if (eventInfoPending_.load() || !carriesEvent(header)) return;
    const uint8_t motion = header[transport::kEventMotionIndex];
    const uint8_t inputs = header[transport::kEventDigitalInputIndex];
    const int64_t now = seams_.clock->nowMs();
    if (!eventGate_.admits(motion, inputs, now)) return;
    eventGate_.handedOver(motion, inputs, now);
    std::memcpy(eventHeader_, header, kEventHeaderSize);
    eventInfoPending_.store(true);
    eventInfo_.set();
}

void Session::laterPicture(const uint8_t* record, int32_t length) {
    handOverEventHeader(record);
    const uint8_t* picture = decode(record, length);
    if (picture == nullptr) return;
    noteStreamSize();
    handOverPicture(picture);
}

// No picture is shown before the first random-access record: a decoder
// started in the middle of a group of pictures would only make grey garbage.
void Session::codecPicture(int32_t kind, const uint8_t* record, int32_t length) {
    const bool randomAccess = transport::recordStartsPicture(record);
    const auto codec = static_cast<DecoderCodec>(kind);
    if (streamStarted_) {
        handOverEventHeader(record);
        // A camera that changes codec starts again at its next key picture.
        if (!decoder_.decodes(codec) && !randomAccess) return;
    } else if (!randomAccess) {
        return;
    }
    // A stream that fell behind skips to a key picture that is on time; the
    // pictures it skips still show that the stream is alive.
    const int64_t now = seams_.clock->nowMs();
    if (!catchUp_.decode(now, transport::recordTimeStamp(record), randomAccess)) {
        if (streamStarted_) lastPictureMs_.store(now);
        return;
    }
    if (!decoder_.useCodec(codec)) return;
    // Straight into the window where the decoder can; else the decoder's own
    // picture, copied by the window.
    if (decoder_.writesIntoCallersBuffer()) {
        decodeIntoWindow(record, length);
        return;
    }
    const uint8_t* picture = decode(record, length);
    if (picture == nullptr) return;
    noteStreamSize();
    if (!streamStarted_) startStream();
    describeDecodedPicture(picture);
    lastPictureMs_.store(seams_.clock->nowMs());
    drawPicture();
}

void Session::playAudio(const uint8_t* record, int32_t length) {
    if (!streamStarted_ || !settings_.playAudio()) return;
    const std::size_t offset = transport::audioPayloadOffset(static_cast<std::size_t>(length));
    if (offset == 0) return;
    audioPlayer_->play(record + offset, static_cast<std::size_t>(length) - offset);
}

void Session::recordOnlyRecord(int32_t kind, const uint8_t* record) {
    if (kind == kFrameKindAudio) return;
    handOverEventHeader(record);
    lastPictureMs_.store(seams_.clock->nowMs());
}

void Session::streamLoop() {
    uint8_t* buffer = receiveBuffer_.get();
    const TransportTable& table = transport_.table();
    while (running_.load()) {
        int32_t kind = 0;
        const uint64_t toldBefore = report_.reasons.count();
        int32_t n = table.getNextFrame(transport_.instance(), &kind, buffer, static_cast<int32_t>(receiveBufferSize_));
        if (n < static_cast<int32_t>(kHeader)) {
            running_.store(false);
            // A transport that says nothing of its own still leaves a reason
            // for this stream, before the caller hears of the loss.
            if (!disconnecting_.load() && report_.reasons.count() == toldBefore)
                platform::diagnose("Ostrel-M: the connection to the camera was lost");
            const auto lost = settings_.callbacks().networkLoss;
            if (lost.function != nullptr && !disconnecting_.load()) lost.function(lost.user);
            continue;
        }
        // A plug-in claiming more than the buffer holds is not read past it.
        if (n > static_cast<int32_t>(receiveBufferSize_)) n = static_cast<int32_t>(receiveBufferSize_);
        settings_.callFrameTap(kind, buffer, n);
        if (recordOnly_) {
            recordOnlyRecord(kind, buffer);
        } else if (kind >= kFrameKindFirstCodec && kind <= kFrameKindLastCodec && codecStream_) {
            codecPicture(kind, buffer, n);
        } else if (kind == kFrameKindVideo && !codecStream_) {
            if (!streamStarted_)
                firstPicture(buffer, n);
            else
                laterPicture(buffer, n);
        } else if (kind == kFrameKindAudio) {
            playAudio(buffer, n);
        }
    }
}

// Connects and starts streaming; true when the stream may run. A connection
// made after start gave up is torn down again.
bool Session::connectTransport() {
    void* instance = transport_.instance();
    const TransportTable& table = transport_.table();
    const bool ok = instance != nullptr && receiveBuffer_ && (codecStream_ || recordOnly_ || pictureBuffer_) &&
                    table.connect(instance) != 0 && table.startStreaming(instance) != 0;
    if (!ok) {
        // The transport has told why; the caller need not wait any longer.
        if (codecStream_) {
            connectFailed_.store(true);
            connectDone_.set();
        }
        return false;
    }
    std::lock_guard lock(connectLock_);
    if (connectAbandoned_.load()) {
        // Never stream without the other threads.
        transport_.stop();
        return false;
    }
    connected_.store(true);
    running_.store(true);
    connectDone_.set();
    return true;
}

void Session::receiveMain() {
    audioPlayer_ = std::make_unique<AudioPlayer>(seams_.audioDevices ? seams_.audioDevices() : nullptr);
    audioPlayer_->open(); // without a device received audio is dropped
    renderer_ = std::make_unique<CVideoRenderer>(settings_.renderInfo().window);
    picture_ = std::make_unique<PictureDescriptor>();

    // A codec stream's decoder is made for the codec of its first record.
    if (!recordOnly_)
        decoder_.bind(seams_.processorInfo ? seams_.processorInfo() : platform::ProcessorInfo{}, seams_.decoderNames,
                      codecStream_);

    receiveBuffer_.reset(new (std::nothrow) uint8_t[receiveBufferSize_]);
    if (!codecStream_ && !recordOnly_) pictureBuffer_.reset(new (std::nothrow) uint8_t[pictureBufferSize_]);

    if (connectTransport()) {
        streamLoop();
        settings_.callFrameTap(0, nullptr, 0);
    }

    frameReady_.set();
    eventInfo_.set();
    receiveBuffer_.reset();
    audioPlayer_->close();
    audioPlayer_.reset();
    if (codecStream_) describeDecodedPicture(nullptr);
    decoder_.unbind();
    receiveEnded_.set();
}

} // namespace ostrel
