#include "recorder/frame.h"

#include <algorithm>

#include "transport/contract.h"
#include "transport/frame_header.h"
#include "transport/mpeg4_picture.h"

namespace recorder {

namespace {

constexpr std::size_t kHeader = transport::kFrameHeaderSize;

bool knownKind(int32_t kind) { return kind >= 1 && kind <= 5; }

} // namespace

bool holdsMpeg4IntraPicture(std::span<const uint8_t> data) {
    return transport::firstMpeg4Picture(data) == transport::Mpeg4Picture::Intra;
}

std::optional<Frame> frameFromRecord(int32_t frameKind, std::span<const uint8_t> record, int64_t arrivalMs) {
    if (!knownKind(frameKind) || record.size() <= kHeader) return std::nullopt;
    if (!std::equal(std::begin(transport::kFrameStartCode), std::end(transport::kFrameStartCode), record.begin()))
        return std::nullopt;
    if (transport::recordLengthAfter(record.data()) != record.size() - transport::kLengthCountedFrom)
        return std::nullopt;

    Frame frame;
    frame.kind = static_cast<MediaKind>(frameKind);
    frame.cameraMs = transport::recordTimeStamp(record.data());
    frame.arrivalMs = arrivalMs;
    std::span<const uint8_t> data = record.subspan(kHeader);
    if (frame.kind == MediaKind::Audio) {
        const std::size_t offset = transport::audioPayloadOffset(record.size());
        if (offset == 0) return std::nullopt;
        data = record.subspan(offset);
    } else {
        frame.key = frame.kind == MediaKind::Mpeg4 ? holdsMpeg4IntraPicture(data)
                                                   : transport::recordStartsPicture(record.data());
        frame.motion = transport::recordMotion(record.data()) != 0;
        frame.frameRate = transport::recordFrameRate(record.data());
    }
    frame.payload.assign(data.begin(), data.end());
    return frame;
}

std::size_t memoryCost(const Frame& frame) { return sizeof(Frame) + frame.payload.capacity(); }

} // namespace recorder
