#include "picture_age.h"

#include "camsim/delay_figures.h"
#include "camsim/time_strip.h"

#include <algorithm>
#include <cstdio>

namespace watch {

namespace {

uint8_t lumaOf(const uint8_t* row, int x, int bitCount) {
    int r = 0, g = 0, b = 0;
    if (bitCount == 32 || bitCount == 24) {
        const uint8_t* p = row + static_cast<std::ptrdiff_t>(x) * (bitCount / 8);
        b = p[0];
        g = p[1];
        r = p[2];
    } else {
        const unsigned v = row[2 * x] | (row[2 * x + 1] << 8); // 5-6-5
        r = static_cast<int>(((v >> 11) & 0x1F) << 3);
        g = static_cast<int>(((v >> 5) & 0x3F) << 2);
        b = static_cast<int>((v & 0x1F) << 3);
    }
    return static_cast<uint8_t>((77 * r + 150 * g + 29 * b) >> 8);
}

} // namespace

std::optional<int64_t> capturedAt(const platform::PictureView& picture) {
    const int w = picture.width, h = picture.height;
    if (picture.pixels == nullptr || w <= 0 || h <= 0) return std::nullopt;
    if (picture.bitCount != 16 && picture.bitCount != 24 && picture.bitCount != 32) return std::nullopt;
    if (picture.stride < static_cast<std::size_t>(w) * static_cast<std::size_t>(picture.bitCount / 8))
        return std::nullopt;
    // Only the strip's rows are converted; the rows above stay black.
    const int first = std::max(0, h - camsim::timeStripHeight(h) - 2);
    std::vector<uint8_t> luma(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    for (int y = first; y < h; ++y) {
        const uint8_t* row = picture.pixels + picture.stride * static_cast<std::size_t>(y);
        uint8_t* out = luma.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
        for (int x = 0; x < w; ++x) out[x] = lumaOf(row, x, picture.bitCount);
    }
    return camsim::readTimeStrip(luma.data(), w, w, h);
}

AgeFigures ageFigures(std::vector<int64_t> ages, long withoutStrip) {
    const camsim::DelayFigures d = camsim::delayFigures(std::move(ages));
    AgeFigures f;
    f.pictures = d.count;
    f.withoutStrip = withoutStrip;
    f.medianMs = d.median;
    f.percentile95Ms = d.percentile95;
    return f;
}

std::string ageLine(const AgeFigures& f) {
    char text[160];
    if (f.pictures == 0) {
        std::snprintf(text, sizeof text, "age at decode: no picture with a time strip (%ld without)", f.withoutStrip);
    } else {
        std::snprintf(text, sizeof text, "age at decode: median %lld ms, 95th percentile %lld ms, %ld pictures",
                      static_cast<long long>(f.medianMs), static_cast<long long>(f.percentile95Ms), f.pictures);
    }
    std::string line = text;
    if (f.pictures > 0 && f.withoutStrip > 0) line += " (" + std::to_string(f.withoutStrip) + " without a strip)";
    return line;
}

void PictureAges::add(const platform::PictureView& picture, int64_t nowMs) {
    const std::optional<int64_t> captured = capturedAt(picture);
    std::lock_guard lock(mutex_);
    if (!captured) {
        ++secondWithout_;
        ++runWithout_;
        return;
    }
    second_.push_back(nowMs - *captured);
    run_.push_back(nowMs - *captured);
}

AgeFigures PictureAges::takeSecond() {
    std::lock_guard lock(mutex_);
    AgeFigures f = ageFigures(std::move(second_), secondWithout_);
    second_.clear();
    secondWithout_ = 0;
    return f;
}

AgeFigures PictureAges::wholeRun() const {
    std::lock_guard lock(mutex_);
    return ageFigures(run_, runWithout_);
}

} // namespace watch
