#include "corvel/frame_record.h"

#include <transport/contract.h>

#include <algorithm>
#include <cstring>

namespace corvel {

namespace {

constexpr std::size_t kHeader = transport::kFrameHeaderSize;

// Calls visit(first byte of the NAL unit, its length) for each NAL unit of an
// Annex-B byte stream (3- or 4-byte start codes).
template <typename Visit>
void forEachNalUnit(std::span<const uint8_t> data, Visit&& visit) {
    const std::size_t n = data.size();
    std::size_t start = 0;
    bool inUnit = false;
    std::size_t i = 0;
    while (i + 3 <= n) {
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) {
            if (inUnit) {
                std::size_t end = i;
                if (end > start && data[end - 1] == 0) --end; // 4-byte start code
                if (end > start) visit(data.data() + start, end - start);
            }
            i += 3;
            start = i;
            inUnit = true;
        } else {
            ++i;
        }
    }
    if (inUnit && n > start) visit(data.data() + start, n - start);
}

void writeHeader(RecordKind kind, uint8_t flags, uint32_t timeMs, std::size_t length, uint8_t* out) {
    FrameHeader h{};
    std::memcpy(h.startCode, transport::kFrameStartCode, 4);
    h.streamKind = static_cast<uint8_t>(kind);
    h.zero5[0] = flags;
    h.lengthAfter = static_cast<uint32_t>(length - 12);
    std::memcpy(h.timeStamp, &timeMs, 4); // little-endian milliseconds
    h.digitalInput = kNoDigitalInput;
    std::memcpy(out, &h, sizeof h);
}

} // namespace

AccessUnitInfo inspectAccessUnit(RecordKind kind, std::span<const uint8_t> data) {
    AccessUnitInfo info;
    if (kind == RecordKind::Jpeg) {
        info.randomAccess = data.size() >= 2 && data[0] == 0xFF && data[1] == 0xD8;
        info.parameterSets = true;
        return info;
    }
    bool vps = false;
    bool sps = false;
    bool pps = false;
    forEachNalUnit(data, [&](const uint8_t* unit, std::size_t) {
        if (kind == RecordKind::H264) {
            const int type = unit[0] & 0x1F;
            if (type == 5) info.randomAccess = true;
            sps = sps || type == 7;
            pps = pps || type == 8;
        } else {
            const int type = (unit[0] >> 1) & 0x3F;
            if (type >= 16 && type <= 23) info.randomAccess = true;
            vps = vps || type == 32;
            sps = sps || type == 33;
            pps = pps || type == 34;
        }
    });
    info.parameterSets = sps && pps && (kind == RecordKind::H264 || vps);
    return info;
}

std::vector<uint8_t> parameterSetsOf(RecordKind kind, std::span<const uint8_t> data) {
    std::vector<uint8_t> sets;
    if (kind == RecordKind::Jpeg) return sets;
    forEachNalUnit(data, [&](const uint8_t* unit, std::size_t length) {
        const int type = kind == RecordKind::H264 ? unit[0] & 0x1F : (unit[0] >> 1) & 0x3F;
        const bool parameterSet = kind == RecordKind::H264 ? type == 7 || type == 8 : type >= 32 && type <= 34;
        if (!parameterSet) return;
        static constexpr uint8_t kStartCode[] = {0, 0, 0, 1};
        sets.insert(sets.end(), std::begin(kStartCode), std::end(kStartCode));
        sets.insert(sets.end(), unit, unit + length);
    });
    return sets;
}

std::size_t writeVideoRecord(RecordKind kind, bool randomAccess, uint32_t timeMs, std::span<const uint8_t> prefix,
                             std::span<const uint8_t> picture, std::span<uint8_t> out) {
    const std::size_t length = kHeader + prefix.size() + picture.size();
    if (length > out.size() || length > UINT32_MAX) return 0;
    writeHeader(kind, randomAccess ? kRandomAccessFlag : 0, timeMs, length, out.data());
    if (!prefix.empty()) std::memcpy(out.data() + kHeader, prefix.data(), prefix.size());
    if (!picture.empty()) std::memcpy(out.data() + kHeader + prefix.size(), picture.data(), picture.size());
    return length;
}

std::size_t writeAudioRecord(uint32_t timeMs, std::span<const uint8_t> pcm, std::span<uint8_t> out) {
    if (out.size() < kAudioRecordBytes) return 0;
    std::memset(out.data(), 0, kAudioRecordBytes);
    writeHeader(RecordKind::Audio, 0, timeMs, kAudioRecordBytes, out.data());
    std::memcpy(out.data() + kAudioPayloadOffset, pcm.data(), std::min(pcm.size(), kAudioPayloadBytes));
    return kAudioRecordBytes;
}

} // namespace corvel
