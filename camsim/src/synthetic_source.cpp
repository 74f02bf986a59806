#include "camsim/video_source.h"

#include <algorithm>

namespace camsim {

namespace {

// Filler never forms a start-code prefix (two zero bytes and a one).
void appendFiller(std::vector<uint8_t>& out, std::size_t size, uint8_t fill) {
    if (fill == 0x00 || fill == 0x01) fill = 0x5A;
    while (out.size() < size) out.push_back(fill);
}

} // namespace

SyntheticVideoSource::SyntheticVideoSource(const SyntheticVideoOptions& options) : options_(options) {
    options_.gopLength = std::max(1, options_.gopLength);
    options_.frameRate = std::clamp(options_.frameRate, 1, 60);
    intra_ = makeIntra(options_.intraSize);
    predicted_ = makePredicted(options_.predictedSize);
}

std::vector<uint8_t> SyntheticVideoSource::makeIntra(std::size_t size, uint8_t fill) {
    // Group-of-VOP header (time code 00:00:01, closed), then an intra VOP
    // (coding type 00 in the top bits of the byte after its start code).
    std::vector<uint8_t> out = {0x00, 0x00, 0x01, 0xB3, 0x00, 0x10, 0x07, 0x00, 0x00, 0x01, 0xB6, 0x10};
    appendFiller(out, std::max<std::size_t>(size, 16), fill);
    return out;
}

std::vector<uint8_t> SyntheticVideoSource::makePredicted(std::size_t size, uint8_t fill) {
    // A predicted VOP: coding type 01 in the top bits.
    std::vector<uint8_t> out = {0x00, 0x00, 0x01, 0xB6, 0x50};
    appendFiller(out, std::max<std::size_t>(size, 8), fill);
    return out;
}

bool SyntheticVideoSource::nextFrame(VideoFrame& frame) {
    if (options_.frameLimit >= 0 && index_ >= options_.frameLimit) return false;
    frame.intra = index_ % options_.gopLength == 0;
    frame.data = frame.intra ? intra_ : predicted_;
    frame.timeStampMs = static_cast<uint32_t>(index_ * 1000 / options_.frameRate);
    ++index_;
    return true;
}

} // namespace camsim
