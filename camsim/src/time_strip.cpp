#include "camsim/time_strip.h"

#include <array>

namespace camsim {

namespace {

// Cells across the picture: two guards (white, black) that set the
// reader's threshold, 48 bits of the time (most significant first), an
// 8-bit checksum, a closing white and black pair, and black to the end.
constexpr int kCells = 64;
constexpr int kTimeBits = 48;
constexpr int kFirstTimeCell = 2;
constexpr int kFirstCheckCell = kFirstTimeCell + kTimeBits;
constexpr int kClosingCell = kFirstCheckCell + 8;
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kBlack{0, 0, 0};

int cellWidth(int width) { return (width / kCells) & ~1; }
int stripLeft(int width) { return ((width - kCells * cellWidth(width)) / 2) & ~1; }

// CRC-8 (polynomial x^8 + x^2 + x + 1) of the time's six bytes.
uint8_t checksum(uint64_t time) {
    uint8_t crc = 0;
    for (int byte = 5; byte >= 0; --byte) {
        crc ^= static_cast<uint8_t>(time >> (8 * byte));
        for (int bit = 0; bit < 8; ++bit) crc = static_cast<uint8_t>((crc & 0x80) != 0 ? (crc << 1) ^ 0x07 : crc << 1);
    }
    return crc;
}

std::array<bool, kCells> cellsOf(uint64_t time) {
    std::array<bool, kCells> on{};
    on[0] = true;
    for (int i = 0; i < kTimeBits; ++i) on[kFirstTimeCell + i] = ((time >> (kTimeBits - 1 - i)) & 1) != 0;
    const uint8_t crc = checksum(time);
    for (int i = 0; i < 8; ++i) on[kFirstCheckCell + i] = ((crc >> (7 - i)) & 1) != 0;
    on[kClosingCell] = true;
    return on;
}

} // namespace

int timeStripHeight(int height) {
    const int h = height / 24;
    return (h < 8 ? 8 : h) & ~1;
}

void drawTimeStrip(const YuvPicture& picture, int64_t unixMs) {
    const int stripH = timeStripHeight(picture.height);
    const int top = (picture.height - stripH) & ~1;
    const int cw = cellWidth(picture.width);
    if (cw < 2 || top < 0) return;
    fillRect(picture, 0, top, picture.width, stripH, kBlack);
    const auto on = cellsOf(static_cast<uint64_t>(unixMs) & ((uint64_t{1} << kTimeBits) - 1));
    const int left = stripLeft(picture.width);
    for (int i = 0; i < kCells; ++i) {
        if (on[static_cast<std::size_t>(i)]) fillRect(picture, left + i * cw, top, cw, stripH, kWhite);
    }
}

std::optional<int64_t> readTimeStrip(const uint8_t* luma, int stride, int width, int height) {
    return readScaledTimeStrip(luma, stride, width, height, width, height);
}

std::optional<int64_t> readScaledTimeStrip(const uint8_t* luma, int stride, int width, int height, int drawnWidth,
                                           int drawnHeight) {
    const int cw = cellWidth(drawnWidth);
    const int stripH = timeStripHeight(drawnHeight);
    const int top = (drawnHeight - stripH) & ~1;
    if (luma == nullptr || cw < 2 || top < 0 || stride < width || width <= 0 || height <= 0) return std::nullopt;
    const int left = stripLeft(drawnWidth);
    const auto shownX = [&](int x) { return static_cast<int>(static_cast<int64_t>(x) * width / drawnWidth); };
    const auto shownY = [&](int y) { return static_cast<int>(static_cast<int64_t>(y) * height / drawnHeight); };
    // The middle of each cell, away from edges the encoder smears.
    const auto level = [&](int cell) {
        const int x0 = shownX(left + cell * cw + cw / 4), x1 = shownX(left + cell * cw + (3 * cw + 3) / 4);
        const int y0 = shownY(top + stripH / 4), y1 = shownY(top + (3 * stripH + 3) / 4);
        int sum = 0, n = 0;
        for (int y = y0; y < y1 && y < height; ++y) {
            for (int x = x0; x < x1 && x < width; ++x, ++n) sum += luma[static_cast<std::ptrdiff_t>(y) * stride + x];
        }
        return n > 0 ? sum / n : 0;
    };
    const int white = level(0), black = level(1);
    if (white - black < 64) return std::nullopt;
    const int threshold = (white + black) / 2;
    std::array<bool, kCells> on{};
    for (int i = 0; i < kCells; ++i) on[static_cast<std::size_t>(i)] = level(i) > threshold;
    uint64_t time = 0;
    for (int i = 0; i < kTimeBits; ++i) time = time << 1 | (on[static_cast<std::size_t>(kFirstTimeCell + i)] ? 1 : 0);
    if (on != cellsOf(time)) return std::nullopt;
    return static_cast<int64_t>(time);
}

} // namespace camsim
