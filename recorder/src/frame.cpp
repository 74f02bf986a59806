#include "recorder/frame.h"

#include <algorithm>
#include <array>

#include "transport/contract.h"
#include "transport/frame_header.h"

namespace recorder {

namespace {

constexpr std::size_t kHeader = transport::kFrameHeaderSize;

bool knownKind(int32_t kind) { return kind >= 1 && kind <= 5; }

} // namespace

bool holdsMpeg4IntraPicture(std::span<const uint8_t> data) {
    static constexpr std::array<uint8_t, 4> kPictureStart = {0x00, 0x00, 0x01, 0xB6};
    auto at = data.begin();
    while (true) {
        at = std::search(at, data.end(), kPictureStart.begin(), kPictureStart.end());
        if (data.end() - at <= static_cast<std::ptrdiff_t>(kPictureStart.size())) return false;
        const int codingType = at[kPictureStart.size()] >> 6;
        if (codingType == 0) return true;
        if (codingType == 1) return false;
        // Bidirectional and sprite pictures are skipped over.
        at += kPictureStart.size();
    }
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
