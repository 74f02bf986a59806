#include "frame_builder.h"

#include "transport/mpeg4_picture.h"
#include "transport/protocol_message.h"
#include "vol_table.h"

#include <algorithm>
#include <cstring>

namespace fenwa10 {

namespace {

constexpr uint8_t kSequenceStart[10] = {0x00, 0x00, 0x01, 0xB0, 0xF5, 0x00, 0x00, 0x01, 0xB5, 0x09};
constexpr std::size_t kLastSearchPosition = 100;

} // namespace

FrameClass classifyMessage(const uint8_t* message, std::size_t length) {
    // A start code at the last search position still has its type byte read.
    switch (transport::firstMpeg4Picture({message, std::min(length, kLastSearchPosition + 5)})) {
    case transport::Mpeg4Picture::Intra: return FrameClass::Intra;
    case transport::Mpeg4Picture::Predicted: return FrameClass::Predicted;
    case transport::Mpeg4Picture::None: break;
    }
    return FrameClass::None;
}

bool fieldsUsable(const FrameFields& f) {
    return f.frameRate >= 1 && f.frameRate <= 30 && f.resolutionCode >= 0 && f.resolutionCode <= 5;
}

std::size_t recordSize(FrameClass kind, std::size_t messageLength) {
    return messageLength + (kind == FrameClass::Intra ? kIntraExtra : kPredictedExtra);
}

std::size_t messageDataStart(FrameClass kind) {
    return kind == FrameClass::Intra ? kVideoMessageHeaderSize + kCameraHeaderSize : kVideoMessageHeaderSize;
}

std::size_t recordDataStart(FrameClass kind) { return kind == FrameClass::Intra ? 75 : 44; }

void buildRecordHead(const uint8_t* message, std::size_t length, FrameClass kind, const FrameFields& f,
                     IntraMemory& memory, uint8_t* out) {
    const bool intra = kind == FrameClass::Intra;
    const std::size_t size = recordSize(kind, length);
    std::memset(out, 0, 44);
    out[2] = 0x01;
    out[3] = 0xB2;
    out[4] = 1;
    transport::putUint32Le(out + 8, static_cast<uint32_t>(size - 12));
    if (intra) {
        for (int i = 0; i < 4; ++i) memory.timeStamp[i] = message[17 + 2 * i];
        memory.perFrame = message[25];
    }
    std::memcpy(out + 12, memory.timeStamp, 4);
    out[16] = memory.perFrame;
    out[17] = f.status;
    out[18] = f.motion;
    out[19] = f.digitalInput;
    out[24] = static_cast<uint8_t>(f.resolutionCode);
    out[25] = static_cast<uint8_t>(f.bitRateCode);
    out[26] = static_cast<uint8_t>(f.configValue);
    out[27] = static_cast<uint8_t>(f.frameRate);
    if (intra) {
        std::memcpy(out + 44, kSequenceStart, sizeof kSequenceStart);
        const int rate = f.configValue == 0 ? f.frameRate : 30;
        std::memcpy(out + 54, volEntry(f.resolutionCode, rate).data(), kVolEntrySize);
    }
}

std::size_t buildRecord(const uint8_t* message, std::size_t length, FrameClass kind, const FrameFields& f,
                        IntraMemory& memory, uint8_t* out) {
    buildRecordHead(message, length, kind, f, memory, out);
    const std::size_t from = messageDataStart(kind);
    std::memcpy(out + recordDataStart(kind), message + from, length - from);
    return recordSize(kind, length);
}

} // namespace fenwa10
