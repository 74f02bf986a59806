// The video-object and video-object-layer headers put in front of every
// intra picture: 180 entries of 21 bytes, indexed by resolution code (0..5)
// times 30 plus frame rate minus 1. Generated at compile time by a bit writer
// from the field values, so every entry is a well-formed MPEG-4 Visual header.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace fenwa10 {

inline constexpr std::size_t kVolEntrySize = 21;
inline constexpr int kVolResolutions = 6;
inline constexpr int kVolFrameRates = 30;
using VolEntry = std::array<uint8_t, kVolEntrySize>;

// MSB-first bit writer over a fixed buffer.
template <std::size_t N>
class BitWriter {
public:
    constexpr void put(uint32_t value, int bits) {
        for (int i = bits - 1; i >= 0; --i) putBit((value >> i) & 1u);
    }
    constexpr void putBit(uint32_t bit) {
        if (bit != 0) bytes_[bitPos_ / 8] = static_cast<uint8_t>(bytes_[bitPos_ / 8] | (0x80u >> (bitPos_ % 8)));
        ++bitPos_;
    }
    // MPEG-4 stuffing to the next byte boundary: one 0 bit, then 1 bits.
    constexpr void stuffToByte() {
        putBit(0);
        while (bitPos_ % 8 != 0) putBit(1);
    }
    constexpr std::size_t bitCount() const { return bitPos_; }
    constexpr const std::array<uint8_t, N>& bytes() const { return bytes_; }

private:
    std::array<uint8_t, N> bytes_{};
    std::size_t bitPos_ = 0;
};

struct VolSize {
    int width;
    int height;
};

inline constexpr VolSize kVolSizes[kVolResolutions] = {
    {720, 480}, {352, 240}, {160, 112}, {720, 576}, {352, 288}, {176, 144},
};

// Time-increment resolution: 1000 per frame per second, at least 5000, and
// at most 25000 for the PAL sizes (codes 3 to 5).
constexpr int volTimeIncrementResolution(int resolutionCode, int frameRate) {
    int r = 1000 * frameRate;
    if (r < 5000) r = 5000;
    if (resolutionCode >= 3 && r > 25000) r = 25000;
    return r;
}

// Bits needed to code a time increment below the resolution (at least 1).
constexpr int volTimeIncrementBits(int resolution) {
    int bits = 1;
    while ((1 << bits) < resolution) ++bits;
    return bits;
}

constexpr VolEntry makeVolEntry(int resolutionCode, int frameRate) {
    BitWriter<kVolEntrySize + 4> w; // slack so an error shows as a size mismatch
    w.put(0x00000100, 32);          // video_object_start_code
    w.put(0x00000120, 32);          // video_object_layer_start_code
    w.put(0, 1);                    // random_accessible_vol
    w.put(1, 8);                    // video_object_type_indication: simple object
    w.put(1, 1);                    // is_object_layer_identifier
    w.put(2, 4);                    // video_object_layer_verid
    w.put(1, 3);                    // video_object_layer_priority
    w.put(1, 4);                    // aspect_ratio_info: square pixels
    w.put(0, 1);                    // vol_control_parameters
    w.put(0, 2);                    // video_object_layer_shape: rectangular
    w.put(1, 1);                    // marker
    const int resolution = volTimeIncrementResolution(resolutionCode, frameRate);
    w.put(static_cast<uint32_t>(resolution), 16);
    w.put(1, 1);                                   // marker
    w.put(1, 1);                                   // fixed_vop_rate
    w.put(1001, volTimeIncrementBits(resolution)); // fixed_vop_time_increment
    w.put(1, 1);                                   // marker
    w.put(static_cast<uint32_t>(kVolSizes[resolutionCode].width), 13);
    w.put(1, 1); // marker
    w.put(static_cast<uint32_t>(kVolSizes[resolutionCode].height), 13);
    w.put(1, 1); // marker
    w.put(0, 1); // interlaced
    w.put(1, 1); // obmc_disable
    w.put(0, 2); // sprite_enable (two bits for verid 2)
    w.put(0, 1); // not_8_bit
    w.put(0, 1); // quant_type
    w.put(0, 1); // quarter_sample
    w.put(1, 1); // complexity_estimation_disable
    w.put(1, 1); // resync_marker_disable
    w.put(0, 1); // data_partitioned
    w.put(0, 1); // newpred_enable
    w.put(0, 1); // reduced_resolution_vop_enable
    w.put(0, 1); // scalability
    w.stuffToByte();
    VolEntry entry{};
    if (w.bitCount() != kVolEntrySize * 8) return entry; // all zero: caught below
    for (std::size_t i = 0; i < kVolEntrySize; ++i) entry[i] = w.bytes()[i];
    return entry;
}

using VolTable = std::array<VolEntry, kVolResolutions * kVolFrameRates>;

constexpr VolTable makeVolTable() {
    VolTable table{};
    for (int code = 0; code < kVolResolutions; ++code) {
        for (int rate = 1; rate <= kVolFrameRates; ++rate)
            table[code * kVolFrameRates + rate - 1] = makeVolEntry(code, rate);
    }
    return table;
}

inline constexpr VolTable kVolTable = makeVolTable();

constexpr bool everyVolEntryFilled() {
    for (const auto& e : kVolTable) {
        if (e[3] != 0x00 || e[2] != 0x01 || e[7] != 0x20) return false;
    }
    return true;
}
static_assert(everyVolEntryFilled(), "every VOL entry must come out exactly 21 bytes");

// The entry for a resolution code 0..5 and a frame rate 1..30.
inline const VolEntry& volEntry(int resolutionCode, int frameRate) {
    return kVolTable[static_cast<std::size_t>(resolutionCode * kVolFrameRates + frameRate - 1)];
}

} // namespace fenwa10
