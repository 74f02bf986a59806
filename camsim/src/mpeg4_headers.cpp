#include "camsim/mpeg4_headers.h"

#include <algorithm>

namespace camsim {

namespace {

class BitWriter {
public:
    void put(uint32_t value, int bits) {
        for (int i = bits - 1; i >= 0; --i) putBit((value >> i) & 1u);
    }
    void putBit(uint32_t bit) {
        if (used_ == 0) bytes_.push_back(0);
        if (bit != 0) bytes_.back() |= static_cast<uint8_t>(0x80u >> used_);
        used_ = (used_ + 1) % 8;
    }
    // next_start_code(): a zero bit, then ones to the byte boundary.
    void stuff() {
        putBit(0);
        while (used_ != 0) putBit(1);
    }
    std::vector<uint8_t> take() { return std::move(bytes_); }

private:
    std::vector<uint8_t> bytes_;
    int used_ = 0;
};

constexpr int kFixedIncrement = 1001;

} // namespace

int cameraTimeResolution(int resolutionCode, int frameRate) {
    int r = std::max(5000, 1000 * frameRate);
    if (resolutionCode >= 3 && resolutionCode <= 5) r = std::min(r, 25000);
    return r;
}

int timeIncrementBits(int timeResolution) {
    int bits = 1;
    while (bits < 16 && (1 << bits) < timeResolution) ++bits;
    return bits;
}

std::vector<uint8_t> videoObjectLayerHeader(int width, int height, int timeResolution) {
    BitWriter w;
    w.put(0x00000100, 32); // video_object_start_code
    w.put(0x00000120, 32); // video_object_layer_start_code
    w.put(0, 1);           // random_accessible_vol
    w.put(1, 8);           // video_object_type_indication: simple object
    w.put(1, 1);           // is_object_layer_identifier
    w.put(2, 4);           // video_object_layer_verid
    w.put(1, 3);           // video_object_layer_priority
    w.put(1, 4);           // aspect_ratio_info: square pixels
    w.put(0, 1);           // vol_control_parameters
    w.put(0, 2);           // video_object_layer_shape: rectangular
    w.put(1, 1);           // marker
    w.put(static_cast<uint32_t>(timeResolution), 16);
    w.put(1, 1); // marker
    w.put(1, 1); // fixed_vop_rate
    w.put(kFixedIncrement, timeIncrementBits(timeResolution));
    w.put(1, 1); // marker
    w.put(static_cast<uint32_t>(width), 13);
    w.put(1, 1); // marker
    w.put(static_cast<uint32_t>(height), 13);
    w.put(1, 1); // marker
    w.put(0, 1); // interlaced
    w.put(1, 1); // obmc_disable
    w.put(0, 2); // sprite_enable (two bits for version 2)
    w.put(0, 1); // not_8_bit
    w.put(0, 1); // quant_type
    w.put(0, 1); // quarter_sample
    w.put(1, 1); // complexity_estimation_disable
    w.put(1, 1); // resync_marker_disable
    w.put(0, 1); // data_partitioned
    w.put(0, 1); // newpred_enable
    w.put(0, 1); // reduced_resolution_vop_enable
    w.put(0, 1); // scalability
    w.stuff();
    return w.take();
}

std::vector<uint8_t> visualObjectSequenceHeader() {
    return {0x00, 0x00, 0x01, 0xB0, 0xF5, 0x00, 0x00, 0x01, 0xB5, 0x09};
}

} // namespace camsim
