// Hand-made MPEG-4 bits and frame records for the stream client's tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ostrel::test {

class BitWriter {
public:
    void put(unsigned value, int bits) {
        for (int i = bits - 1; i >= 0; --i) putBit((value >> i) & 1u);
    }
    void putBit(unsigned bit) {
        if (used_ % 8 == 0) bytes_.push_back(0);
        if (bit != 0) bytes_.back() |= static_cast<uint8_t>(0x80u >> (used_ % 8));
        ++used_;
    }
    std::vector<uint8_t> bytes() const { return bytes_; }
    int used() const { return used_; }

private:
    std::vector<uint8_t> bytes_;
    int used_ = 0;
};

// A video object + video object layer header written field by field after the
// MPEG-4 Visual syntax, padded to 21 bytes. Object type 0 is written without
// layer identifier and with control parameters, type 1 the other way round
// (the two layouts the stream client knows); other types like type 1.
inline std::vector<uint8_t> volHeader(unsigned objectType, unsigned resolution, unsigned fixedRate, unsigned width,
                                      unsigned height, unsigned fixedIncrement = 1) {
    BitWriter w;
    w.put(0x00000100, 32); // video_object_start_code
    w.put(0x00000120, 32); // video_object_layer_start_code
    w.put(0, 1);           // random_accessible_vol
    w.put(objectType, 8);  // video_object_type_indication
    const bool layerId = objectType != 0;
    w.put(layerId ? 1 : 0, 1); // is_object_layer_identifier
    if (layerId) {
        w.put(1, 4); // video_object_layer_verid
        w.put(1, 3); // video_object_layer_priority
    }
    w.put(1, 4);               // aspect_ratio_info: square
    w.put(layerId ? 0 : 1, 1); // vol_control_parameters
    if (!layerId) {
        w.put(1, 2); // chroma_format 4:2:0
        w.put(1, 1); // low_delay
        w.put(0, 1); // vbv_parameters
    }
    w.put(0, 2); // video_object_layer_shape: rectangular
    w.put(1, 1); // marker
    w.put(resolution, 16);
    w.put(1, 1); // marker
    w.put(fixedRate, 1);
    if (fixedRate != 0) {
        int k = 0;
        for (unsigned top = resolution > 0 ? resolution - 1 : 0; top != 0; top >>= 1) ++k;
        if (k == 0) k = 1;
        w.put(fixedIncrement, k);
    }
    w.put(1, 1); // marker
    w.put(width, 13);
    w.put(1, 1); // marker
    w.put(height, 13);
    w.put(1, 1); // marker
    w.put(0, 1); // interlaced
    w.put(1, 1); // obmc_disable
    while (w.used() < 21 * 8) w.put(0, 1);
    return w.bytes();
}

inline void append(std::vector<uint8_t>& out, const std::vector<uint8_t>& more) {
    out.insert(out.end(), more.begin(), more.end());
}

// 00 00 01 B6 and the byte holding the picture coding type in its top bits.
inline std::vector<uint8_t> pictureStart(unsigned codingType) {
    return {0x00, 0x00, 0x01, 0xB6, static_cast<uint8_t>((codingType & 3u) << 6 | 0x10)};
}

// Video data of an intra picture with sequence headers; its last three bytes
// name the colour the fake decoder paints (blue, green, red).
inline std::vector<uint8_t> intraData(unsigned width, unsigned height, uint8_t b, uint8_t g, uint8_t r) {
    std::vector<uint8_t> d = {0x00, 0x00, 0x01, 0xB0, 0x01, 0x00, 0x00, 0x01, 0xB5, 0x09};
    append(d, volHeader(0, 30, 1, width, height));
    append(d, {0x00, 0x00, 0x01, 0xB3, 0x00, 0x00, 0x00});
    append(d, pictureStart(0));
    append(d, {0x12, 0x34, 0x56, b, g, r});
    return d;
}

inline std::vector<uint8_t> predictedData(uint8_t b, uint8_t g, uint8_t r) {
    std::vector<uint8_t> d = pictureStart(1);
    append(d, {0x22, 0x33, b, g, r});
    return d;
}

// A 44-byte frame header (stream kind 1 or 2) followed by data.
inline std::vector<uint8_t> frameRecord(uint8_t kind, const std::vector<uint8_t>& data, uint8_t motion = 0,
                                        uint8_t digitalInput = 3) {
    std::vector<uint8_t> r(44, 0);
    r[0] = 0x00;
    r[1] = 0x00;
    r[2] = 0x01;
    r[3] = 0xB2;
    r[4] = kind;
    const uint32_t after = static_cast<uint32_t>(44 + data.size() - 12);
    for (int i = 0; i < 4; ++i) r[8 + i] = static_cast<uint8_t>(after >> (8 * i));
    r[18] = motion;
    r[19] = digitalInput;
    append(r, data);
    return r;
}

// An audio record of the given total length whose byte i (from 44) is i & 0xFF.
inline std::vector<uint8_t> audioRecord(std::size_t totalLength) {
    std::vector<uint8_t> r = frameRecord(2, {});
    r.resize(totalLength);
    for (std::size_t i = 12; i < totalLength; ++i) r[i] = static_cast<uint8_t>(i & 0xFF);
    return r;
}

} // namespace ostrel::test
