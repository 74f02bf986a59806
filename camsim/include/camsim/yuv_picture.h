// A 4:2:0 picture to draw into (studio-range BT.601, as the encoder and the
// decoder's conversion expect), and the few drawing calls the simulated
// camera's scene needs.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace camsim {

struct Rgb {
    uint8_t r, g, b;
};

struct Yuv {
    uint8_t y, u, v;
};

Yuv toYuv(Rgb c);

// Planes owned elsewhere (an encoder's frame, an image below).
struct YuvPicture {
    uint8_t* plane[3] = {nullptr, nullptr, nullptr};
    int stride[3] = {0, 0, 0};
    int width = 0;  // even
    int height = 0; // even
};

// A picture that owns its planes.
class YuvImage {
public:
    YuvImage() = default;
    YuvImage(int width, int height);
    YuvPicture picture();
    int width() const { return width_; }
    int height() const { return height_; }
    const uint8_t* plane(int p) const { return planes_[p].data(); }
    int stride(int p) const { return p == 0 ? width_ : width_ / 2; }

private:
    int width_ = 0, height_ = 0;
    std::vector<uint8_t> planes_[3];
};

// Drawing, clipped to the picture. Chroma is set for every 2x2 cell whose
// top-left pixel is drawn.
void fillRect(const YuvPicture& p, int x, int y, int w, int h, Rgb colour);
void fillCircle(const YuvPicture& p, int cx, int cy, int radius, Rgb colour);
void fillTriangle(const YuvPicture& p, int x0, int y0, int x1, int y1, int x2, int y2, Rgb colour);
// Darkens (or lightens, amount > 0) the luma of a rectangle and greys its
// colour, for boxes that text stays readable on.
void shadeRect(const YuvPicture& p, int x, int y, int w, int h, int lumaDelta);

// 5 x 7 glyphs in 6 x 8 cells scaled by `scale`; lower case is drawn as
// upper case, unknown characters as "?".
inline constexpr int kGlyphCellWidth = 6;
inline constexpr int kGlyphCellHeight = 8;
void drawText(const YuvPicture& p, int x, int y, int scale, std::string_view text, Rgb colour);
int textWidth(std::string_view text, int scale);

} // namespace camsim
