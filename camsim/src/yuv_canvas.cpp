#include "camsim/yuv_picture.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace camsim {

namespace {

// Rows of 5 bits, most significant bit leftmost.
struct Glyph {
    char c;
    std::array<uint8_t, 7> rows;
};

constexpr Glyph kFont[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}},
    {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}},
    {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}},
    {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}},
    {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}},
    {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'A', {0x0E, 0x11, 0x11, 0x11, 0x1F, 0x11, 0x11}},
    {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}},
    {'D', {0x1C, 0x12, 0x11, 0x11, 0x11, 0x12, 0x1C}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}},
    {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}},
    {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'J', {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C}},
    {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}},
    {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}},
    {'N', {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'Q', {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}},
    {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}},
    {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}},
    {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}},
    {'X', {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11}},
    {'Y', {0x11, 0x11, 0x11, 0x0A, 0x04, 0x04, 0x04}},
    {'Z', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F}},
    {' ', {0, 0, 0, 0, 0, 0, 0}},
    {':', {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00}},
    {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}},
    {'+', {0x00, 0x04, 0x04, 0x1F, 0x04, 0x04, 0x00}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}},
    {'>', {0x08, 0x04, 0x02, 0x01, 0x02, 0x04, 0x08}},
    {'<', {0x02, 0x04, 0x08, 0x10, 0x08, 0x04, 0x02}},
    {'/', {0x00, 0x01, 0x02, 0x04, 0x08, 0x10, 0x00}},
    {'%', {0x18, 0x19, 0x02, 0x04, 0x08, 0x13, 0x03}},
    {'_', {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x1F}},
    {'=', {0x00, 0x00, 0x1F, 0x00, 0x1F, 0x00, 0x00}},
    {'(', {0x02, 0x04, 0x08, 0x08, 0x08, 0x04, 0x02}},
    {')', {0x08, 0x04, 0x02, 0x02, 0x02, 0x04, 0x08}},
    {'#', {0x0A, 0x0A, 0x1F, 0x0A, 0x1F, 0x0A, 0x0A}},
    {'?', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x00, 0x04}},
};

const Glyph& glyphFor(char c) {
    const char u = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const Glyph& g : kFont) {
        if (g.c == u) return g;
    }
    return kFont[std::size(kFont) - 1];
}

inline void setPixel(const YuvPicture& p, int x, int y, Yuv c) {
    p.plane[0][y * p.stride[0] + x] = c.y;
    if ((x & 1) == 0 && (y & 1) == 0) {
        p.plane[1][(y / 2) * p.stride[1] + x / 2] = c.u;
        p.plane[2][(y / 2) * p.stride[2] + x / 2] = c.v;
    }
}

} // namespace

Yuv toYuv(Rgb c) {
    const double r = c.r, g = c.g, b = c.b;
    auto clamp = [](double v) { return static_cast<uint8_t>(std::clamp(v + 0.5, 0.0, 255.0)); };
    return {clamp(16 + (65.481 * r + 128.553 * g + 24.966 * b) / 255),
            clamp(128 + (-37.797 * r - 74.203 * g + 112.0 * b) / 255),
            clamp(128 + (112.0 * r - 93.786 * g - 18.214 * b) / 255)};
}

YuvImage::YuvImage(int width, int height) : width_(width), height_(height) {
    planes_[0].assign(static_cast<std::size_t>(width) * height, 16);
    planes_[1].assign(static_cast<std::size_t>(width / 2) * (height / 2), 128);
    planes_[2].assign(planes_[1].size(), 128);
}

YuvPicture YuvImage::picture() {
    YuvPicture p;
    for (int i = 0; i < 3; ++i) {
        p.plane[i] = planes_[i].data();
        p.stride[i] = stride(i);
    }
    p.width = width_;
    p.height = height_;
    return p;
}

void fillRect(const YuvPicture& p, int x, int y, int w, int h, Rgb colour) {
    const Yuv c = toYuv(colour);
    const int x0 = std::max(0, x), y0 = std::max(0, y);
    const int x1 = std::min(p.width, x + w), y1 = std::min(p.height, y + h);
    for (int yy = y0; yy < y1; ++yy) {
        for (int xx = x0; xx < x1; ++xx) setPixel(p, xx, yy, c);
    }
}

void fillCircle(const YuvPicture& p, int cx, int cy, int radius, Rgb colour) {
    const Yuv c = toYuv(colour);
    for (int yy = std::max(0, cy - radius); yy < std::min(p.height, cy + radius + 1); ++yy) {
        for (int xx = std::max(0, cx - radius); xx < std::min(p.width, cx + radius + 1); ++xx) {
            const int dx = xx - cx, dy = yy - cy;
            if (dx * dx + dy * dy <= radius * radius) setPixel(p, xx, yy, c);
        }
    }
}

void fillTriangle(const YuvPicture& p, int x0, int y0, int x1, int y1, int x2, int y2, Rgb colour) {
    const Yuv c = toYuv(colour);
    auto edge = [](int ax, int ay, int bx, int by, int px, int py) {
        return static_cast<long>(bx - ax) * (py - ay) - static_cast<long>(by - ay) * (px - ax);
    };
    const int minX = std::max(0, std::min({x0, x1, x2})), maxX = std::min(p.width - 1, std::max({x0, x1, x2}));
    const int minY = std::max(0, std::min({y0, y1, y2})), maxY = std::min(p.height - 1, std::max({y0, y1, y2}));
    for (int yy = minY; yy <= maxY; ++yy) {
        for (int xx = minX; xx <= maxX; ++xx) {
            const long a = edge(x0, y0, x1, y1, xx, yy), b = edge(x1, y1, x2, y2, xx, yy),
                       d = edge(x2, y2, x0, y0, xx, yy);
            if ((a >= 0 && b >= 0 && d >= 0) || (a <= 0 && b <= 0 && d <= 0)) setPixel(p, xx, yy, c);
        }
    }
}

void shadeRect(const YuvPicture& p, int x, int y, int w, int h, int lumaDelta) {
    const int x0 = std::max(0, x), y0 = std::max(0, y);
    const int x1 = std::min(p.width, x + w), y1 = std::min(p.height, y + h);
    for (int yy = y0; yy < y1; ++yy) {
        uint8_t* row = p.plane[0] + yy * p.stride[0];
        for (int xx = x0; xx < x1; ++xx) row[xx] = static_cast<uint8_t>(std::clamp(row[xx] / 2 + lumaDelta, 16, 235));
        if ((yy & 1) != 0) continue;
        for (int xx = (x0 + 1) & ~1; xx < x1; xx += 2) {
            uint8_t& u = p.plane[1][(yy / 2) * p.stride[1] + xx / 2];
            uint8_t& v = p.plane[2][(yy / 2) * p.stride[2] + xx / 2];
            u = static_cast<uint8_t>((u + 128) / 2);
            v = static_cast<uint8_t>((v + 128) / 2);
        }
    }
}

int textWidth(std::string_view text, int scale) { return static_cast<int>(text.size()) * kGlyphCellWidth * scale; }

void drawText(const YuvPicture& p, int x, int y, int scale, std::string_view text, Rgb colour) {
    const Yuv c = toYuv(colour);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const Glyph& g = glyphFor(text[i]);
        const int gx = x + static_cast<int>(i) * kGlyphCellWidth * scale;
        for (int row = 0; row < 7; ++row) {
            for (int col = 0; col < 5; ++col) {
                if ((g.rows[static_cast<std::size_t>(row)] & (0x10 >> col)) == 0) continue;
                for (int sy = 0; sy < scale; ++sy) {
                    const int py = y + row * scale + sy;
                    if (py < 0 || py >= p.height) continue;
                    for (int sx = 0; sx < scale; ++sx) {
                        const int px = gx + col * scale + sx;
                        if (px >= 0 && px < p.width) setPixel(p, px, py, c);
                    }
                }
            }
        }
    }
}

} // namespace camsim
