// The receive thread: connects the transport, pulls frame records, decodes
// video, hands pictures and event headers over and plays audio.
#include <cstring>
#include <new>

#include "audio_player.h"
#include "interface_object.h"
#include "picture_scan.h"
#include "video_renderer.h"

#include "transport/protocol_message.h"

namespace ostrel {

namespace {

constexpr int32_t kFrameKindVideo = 1;
constexpr int32_t kFrameKindAudio = 2;
constexpr std::size_t kHeader = transport::kFrameHeaderSize;

// Where the PCM payload of an audio record starts, or 0 for lengths that
// carry no playable audio.
std::size_t audioPayloadOffset(int32_t length) {
    switch (length) {
    case 484:
    case 564:
    case 668: return 28;
    case 548:
    case 652: return 12;
    default: return 0;
    }
}

// Decodes one video record. Returns the picture, or null when none came back
// or the picture does not fit the picture buffer.
const uint8_t* decode(OstrelInterface& self, const uint8_t* record, int32_t length) {
    if (self.decoderInstance == nullptr || self.decoder.decode == nullptr) return nullptr;
    const auto* picture = static_cast<const uint8_t*>(
        self.decoder.decode(self.decoderInstance, self.streamWidth, self.streamHeight, record + kHeader,
                            length - static_cast<int32_t>(kHeader), 0, 0, 0));
    if (picture == nullptr) return nullptr;
    // A picture larger than the buffer is refused, never copied.
    if (transport::getUint32Le(picture + decoder::kImageSizeOffset) > kPictureBufferSize) return nullptr;
    return picture;
}

// Copies a picture into the picture buffer unless one still waits for the
// render thread.
void handOverPicture(OstrelInterface& self, const uint8_t* picture) {
    if (self.picturePending.load() != 0) return;
    const uint32_t bytes = transport::getUint32Le(picture + decoder::kImageSizeOffset);
    std::memcpy(self.pictureBuffer.get(), picture + decoder::kPictureHeaderSize, bytes);
    self.picture->bitCount = transport::getUint16Le(picture + decoder::kBitCountOffset);
    self.picture->pixelBytes = bytes;
    self.picture->updateHeader();
    self.picturePending.store(1);
    self.frameReady.set();
}

void firstPicture(OstrelInterface& self, const uint8_t* record, int32_t length) {
    const uint8_t* data = record + kHeader;
    const std::size_t dataLength = static_cast<std::size_t>(length) - kHeader;
    if (!containsIntraPicture(data, dataLength)) return;
    const PictureSize size = parseVideoObjectLayer(data, dataLength);
    self.streamWidth = size.width;
    self.streamHeight = size.height;
    const uint8_t* picture = decode(self, record, length);
    if (picture == nullptr) return;
    {
        std::lock_guard lock(self.settingsLock);
        self.renderer->setDestination(self.renderInfo.left, self.renderInfo.top, self.renderInfo.width,
                                      self.renderInfo.height);
    }
    self.picture->compression = 0;
    self.picture->width = size.width;
    self.picture->height = size.height;
    self.picture->pixels = self.pictureBuffer.get();
    self.picture->pixelOffset = 0;
    handOverPicture(self, picture);
    self.streamStarted = true;
}

void laterPicture(OstrelInterface& self, const uint8_t* record, int32_t length) {
    if (self.eventInfoPending.load() == 0) {
        std::memcpy(self.eventHeader, record + 12, kEventHeaderSize);
        self.eventInfoPending.store(1);
        self.eventInfo.set();
    }
    const uint8_t* picture = decode(self, record, length);
    if (picture != nullptr) handOverPicture(self, picture);
}

void playAudio(OstrelInterface& self, const uint8_t* record, int32_t length) {
    if (!self.streamStarted || self.playAudio.load() == 0) return;
    const std::size_t offset = audioPayloadOffset(length);
    if (offset == 0) return;
    self.audioPlayer->play(record + offset, static_cast<std::size_t>(length) - offset);
}

void streamLoop(OstrelInterface& self) {
    uint8_t* buffer = self.receiveBuffer.get();
    while (self.running.load() != 0) {
        int32_t kind = 0;
        int32_t n = self.transport.getNextFrame(self.transportInstance, &kind, buffer,
                                                static_cast<int32_t>(kReceiveBufferSize));
        if (n < static_cast<int32_t>(kHeader)) {
            self.running.store(0);
            if (self.networkLossCallback != nullptr && self.disconnecting.load() == 0) {
                self.networkLossCallback(self.networkLossUser);
            }
            continue;
        }
        // A plug-in claiming more than the buffer holds is not read past it.
        if (n > static_cast<int32_t>(kReceiveBufferSize)) n = static_cast<int32_t>(kReceiveBufferSize);
        if (kind == kFrameKindVideo) {
            if (!self.streamStarted)
                firstPicture(self, buffer, n);
            else
                laterPicture(self, buffer, n);
        } else if (kind == kFrameKindAudio) {
            playAudio(self, buffer, n);
        }
    }
}

} // namespace

void receiveThreadMain(OstrelInterface* selfPtr) {
    OstrelInterface& self = *selfPtr;
    self.streamStarted = false;
    self.streamWidth = 0;
    self.streamHeight = 0;

    self.audioPlayer =
        std::make_unique<AudioPlayer>(self.seams.makeAudioDevice ? self.seams.makeAudioDevice() : nullptr);
    self.audioPlayer->open(); // without a device received audio is dropped
    uint32_t window = 0;
    {
        std::lock_guard lock(self.settingsLock);
        window = self.renderInfo.window;
    }
    self.renderer = std::make_unique<CVideoRenderer>(window);
    self.picture = std::make_unique<PictureDescriptor>();

    bindDecoder(self);

    self.receiveBuffer.reset(new (std::nothrow) uint8_t[kReceiveBufferSize]);
    self.pictureBuffer.reset(new (std::nothrow) uint8_t[kPictureBufferSize]);

    bool ok = self.transportInstance != nullptr && self.receiveBuffer && self.pictureBuffer &&
              self.transport.connect(self.transportInstance) != 0 &&
              self.transport.startStreaming(self.transportInstance) != 0;
    if (ok) {
        std::lock_guard lock(self.connectLock);
        if (self.connectAbandoned.load() != 0) {
            // M_KConnect gave up already: never stream without the other threads.
            stopTransport(self);
            ok = false;
        } else {
            self.connected.store(1);
            self.running.store(1);
            self.connectDone.set();
        }
    }
    if (ok) streamLoop(self);

    self.frameReady.set();
    self.eventInfo.set();
    self.receiveBuffer.reset();
    self.audioPlayer->close();
    self.audioPlayer.reset();
    unbindDecoder(self);
    self.disconnecting.store(0);
    self.receiveEnded.set();
}

} // namespace ostrel
