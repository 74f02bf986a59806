#include "recorder/frame.h"

#include <algorithm>
#include <array>

#include "transport/contract.h"
#include "transport/protocol_message.h"

namespace recorder {

namespace {

constexpr std::size_t kHeader = transport::kFrameHeaderSize;
constexpr uint8_t kRandomAccessFlag = 0x01; // header byte 5 of kinds 3 to 5
constexpr std::size_t kMotionByte = 18;
constexpr std::size_t kFrameRateByte = 27;

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
    if (transport::getUint32Le(record.data() + 8) != record.size() - 12) return std::nullopt;

    Frame frame;
    frame.kind = static_cast<MediaKind>(frameKind);
    frame.cameraMs = transport::getUint32Le(record.data() + 12);
    frame.arrivalMs = arrivalMs;
    std::span<const uint8_t> data = record.subspan(kHeader);
    if (frame.kind == MediaKind::Audio) {
        const std::size_t offset = transport::audioPayloadOffset(record.size());
        if (offset == 0) return std::nullopt;
        data = record.subspan(offset);
    } else {
        frame.key =
            frame.kind == MediaKind::Mpeg4 ? holdsMpeg4IntraPicture(data) : (record[5] & kRandomAccessFlag) != 0;
        frame.motion = record[kMotionByte] != 0;
        frame.frameRate = record[kFrameRateByte];
    }
    frame.payload.assign(data.begin(), data.end());
    return frame;
}

std::size_t memoryCost(const Frame& frame) { return sizeof(Frame) + frame.payload.capacity(); }

} // namespace recorder
