#include "camsim/scene_renderer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace camsim {

namespace {

struct Palette {
    Rgb skyTop, skyBottom, groundTop, groundBottom, grid;
};

constexpr Palette kPalettes[] = {
    {{40, 90, 200}, {150, 190, 240}, {70, 140, 60}, {30, 80, 30}, {235, 235, 235}},
    {{200, 120, 60}, {250, 200, 140}, {170, 140, 90}, {110, 80, 50}, {250, 250, 220}},
    {{60, 30, 110}, {170, 100, 160}, {60, 60, 90}, {20, 20, 40}, {220, 220, 255}},
    {{90, 120, 120}, {180, 200, 200}, {100, 110, 100}, {50, 60, 55}, {240, 240, 240}},
};

constexpr Rgb kLandmarkColours[] = {
    {230, 30, 30}, {250, 220, 0}, {220, 0, 220},   {0, 220, 230},
    {255, 140, 0}, {20, 20, 20},  {255, 255, 255}, {0, 200, 60},
};

constexpr double kLandmarkPlaces[][2] = {
    {0.18, 0.30}, {0.50, 0.50}, {0.80, 0.28}, {0.32, 0.72}, {0.68, 0.74}, {0.12, 0.58}, {0.88, 0.62}, {0.50, 0.18},
};

Rgb mix(Rgb a, Rgb b, double t) {
    auto m = [t](uint8_t x, uint8_t y) { return static_cast<uint8_t>(x + (y - x) * t + 0.5); };
    return {m(a.r, b.r), m(a.g, b.g), m(a.b, b.b)};
}

int textScale(int height) { return std::max(1, (height + 119) / 160); }
int lampRadius(int height) { return std::max(4, kGlyphCellHeight * textScale(height) / 2); }

void fillRow(const YuvPicture& p, int y, Rgb colour) { fillRect(p, 0, y, p.width, 1, colour); }

// A fixed pseudo-random value for a lattice point, -1 to 1.
double latticeValue(int x, int y, int seed) {
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u +
                 static_cast<uint32_t>(seed) * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return static_cast<double>(h & 0xFFFF) / 32767.5 - 1.0;
}

// Smooth value noise with lattice points `cell` pixels apart.
double valueNoise(int x, int y, int cell, int seed) {
    const int cx = x / cell;
    const int cy = y / cell;
    const double fx = static_cast<double>(x % cell) / cell;
    const double fy = static_cast<double>(y % cell) / cell;
    const double top = latticeValue(cx, cy, seed) * (1 - fx) + latticeValue(cx + 1, cy, seed) * fx;
    const double bottom = latticeValue(cx, cy + 1, seed) * (1 - fx) + latticeValue(cx + 1, cy + 1, seed) * fx;
    return top * (1 - fy) + bottom * fy;
}

// Nothing in the scene is flat: clouds, grass and weathered landmarks,
// smooth enough to encode well, give the picture detail at every zoom (what
// a camera that measures its moves from the picture needs, as it has in any
// real scene). Each landmark keeps its own colour at its very centre.
void addTexture(const YuvPicture& p, int variant, const std::vector<std::pair<int, int>>& centres, int size) {
    const double plain = 0.25 * size;
    for (int y = 0; y < p.height; ++y) {
        uint8_t* row = p.plane[0] + static_cast<std::ptrdiff_t>(y) * p.stride[0];
        for (int x = 0; x < p.width; ++x) {
            double nearest = plain * plain;
            for (const auto& [cx, cy] : centres) {
                const double dx = x - cx;
                const double dy = y - cy;
                nearest = std::min(nearest, dx * dx + dy * dy);
            }
            const double weight = nearest >= plain * plain ? 1.0 : std::sqrt(nearest) / plain;
            const double v = (18.0 * valueNoise(x, y, 24, variant) + 12.0 * valueNoise(x, y, 8, variant + 17) +
                              6.0 * valueNoise(x, y, 3, variant + 31)) *
                             weight;
            row[x] = static_cast<uint8_t>(std::clamp(static_cast<int>(std::lround(row[x] + v)), 16, 235));
        }
    }
}

std::unique_ptr<YuvImage> drawPanorama(int sw, int sh, int variant) {
    auto image = std::make_unique<YuvImage>(sw, sh);
    const YuvPicture p = image->picture();
    const Palette& pal = kPalettes[variant % std::size(kPalettes)];
    const int horizon = sh * 11 / 20;
    for (int y = 0; y < sh; ++y) {
        if (y < horizon) {
            fillRow(p, y, mix(pal.skyTop, pal.skyBottom, static_cast<double>(y) / horizon));
        } else {
            fillRow(p, y, mix(pal.groundTop, pal.groundBottom, static_cast<double>(y - horizon) / (sh - horizon)));
        }
    }
    // A grid of 12 x 8 cells, each named by column letter and row number.
    const int cols = 12, rows = 8;
    const int line = std::max(2, sh / 400 * 2);
    const int scale = std::max(1, sh / 360);
    for (int c = 0; c <= cols; ++c) fillRect(p, c * sw / cols - line / 2, 0, line, sh, pal.grid);
    for (int r = 0; r <= rows; ++r) fillRect(p, 0, r * sh / rows - line / 2, sw, line, pal.grid);
    for (int c = 0; c < cols; ++c) {
        for (int r = 0; r < rows; ++r) {
            const std::string label = std::string(1, static_cast<char>('A' + c)) + std::to_string(r + 1);
            drawText(p, c * sw / cols + 3 * scale, r * sh / rows + 3 * scale, scale, label, pal.grid);
        }
    }
    // Landmarks: a different shape for each, their order turned by variant.
    const int size = sh / 10;
    const std::vector<Landmark> marks = SceneRenderer::landmarks(variant);
    std::vector<std::pair<int, int>> centres;
    for (std::size_t i = 0; i < marks.size(); ++i) {
        const Landmark& m = marks[i];
        const int cx = static_cast<int>(m.x * sw), cy = static_cast<int>(m.y * sh);
        centres.emplace_back(cx, cy);
        if (i % 3 == 0) {
            fillCircle(p, cx, cy, size, m.colour);
        } else if (i % 3 == 1) {
            fillRect(p, cx - size, cy - size, 2 * size, 2 * size, m.colour);
        } else {
            fillTriangle(p, cx, cy - size, cx - size, cy + size, cx + size, cy + size, m.colour);
        }
    }
    addTexture(p, variant, centres, size);
    return image;
}

std::array<uint8_t, 256> brightnessTable(int delta) {
    std::array<uint8_t, 256> lut{};
    for (int i = 0; i < 256; ++i)
        lut[static_cast<std::size_t>(i)] = static_cast<uint8_t>(std::clamp(i + delta, 16, 235));
    return lut;
}

} // namespace

SceneRenderer::SceneRenderer(int width, int height, std::string name, int variant)
    : width_(width), height_(height), name_(std::move(name)), variant_(variant) {}

SceneRenderer::~SceneRenderer() = default;

std::vector<Landmark> SceneRenderer::landmarks(int variant) {
    std::vector<Landmark> out;
    const std::size_t n = std::size(kLandmarkPlaces);
    for (std::size_t i = 0; i < n; ++i) {
        const auto& place = kLandmarkPlaces[(i + static_cast<std::size_t>(variant) * 3) % n];
        out.push_back({place[0], place[1], kLandmarkColours[i]});
    }
    return out;
}

void SceneRenderer::sceneToPicture(const ViewWindow& w, double sx, double sy, int width, int height, double& px,
                                   double& py) {
    px = (sx - (w.x - w.width() / 2)) / w.width() * width;
    py = (sy - (w.y - w.height() / 2)) / w.height() * height;
}

void SceneRenderer::lampCentre(int width, int height, int& x, int& y) {
    const int r = lampRadius(height);
    x = width - 4 - r;
    y = kGlyphCellHeight * textScale(height) + 8 + r;
}

const YuvImage& SceneRenderer::panorama(int input) {
    auto& slot = scenes_[static_cast<std::size_t>(input)];
    if (!slot) slot = drawPanorama(width_ * kSceneScale, height_ * kSceneScale, variant_ + input);
    return *slot;
}

// Nearest-neighbour copy of the window into a rectangle of the picture
// (rectangle corners even, so chroma lines up).
void SceneRenderer::sample(const YuvImage& scene, const ViewWindow& w, const YuvPicture& out, int ox, int oy, int ow,
                           int oh, const std::array<uint8_t, 256>& lut) {
    const double sw = scene.width(), sh = scene.height();
    const double left = (w.x - w.width() / 2) * sw, top = (w.y - w.height() / 2) * sh;
    const double stepX = w.width() * sw / ow, stepY = w.height() * sh / oh;
    xmap_.resize(static_cast<std::size_t>(ow));
    for (int i = 0; i < ow; ++i) {
        xmap_[static_cast<std::size_t>(i)] =
            std::clamp(static_cast<int>(left + (i + 0.5) * stepX), 0, scene.width() - 1);
    }
    for (int j = 0; j < oh; ++j) {
        const int sy = std::clamp(static_cast<int>(top + (j + 0.5) * stepY), 0, scene.height() - 1);
        const uint8_t* src = scene.plane(0) + static_cast<std::ptrdiff_t>(sy) * scene.stride(0);
        uint8_t* dst = out.plane[0] + static_cast<std::ptrdiff_t>(oy + j) * out.stride[0] + ox;
        for (int i = 0; i < ow; ++i) dst[i] = lut[src[xmap_[static_cast<std::size_t>(i)]]];
    }
    const int cw = ow / 2, ch = oh / 2;
    cxmap_.resize(static_cast<std::size_t>(cw));
    for (int i = 0; i < cw; ++i)
        cxmap_[static_cast<std::size_t>(i)] =
            std::min(xmap_[static_cast<std::size_t>(2 * i)] / 2, scene.width() / 2 - 1);
    for (int j = 0; j < ch; ++j) {
        const int sy = std::clamp(static_cast<int>(top + (2 * j + 0.5) * stepY) / 2, 0, scene.height() / 2 - 1);
        for (int p = 1; p < 3; ++p) {
            const uint8_t* src = scene.plane(p) + static_cast<std::ptrdiff_t>(sy) * scene.stride(p);
            uint8_t* dst = out.plane[p] + static_cast<std::ptrdiff_t>(oy / 2 + j) * out.stride[p] + ox / 2;
            for (int i = 0; i < cw; ++i) dst[i] = src[cxmap_[static_cast<std::size_t>(i)]];
        }
    }
}

// Box blur of the luma, rows then columns: an out-of-focus lens.
void SceneRenderer::blur(const YuvPicture& out, int radius) {
    if (radius <= 0) return;
    const int w = out.width, h = out.height, n = 2 * radius + 1;
    scratch_.resize(static_cast<std::size_t>(std::max(w, h)));
    for (int y = 0; y < h; ++y) {
        uint8_t* row = out.plane[0] + static_cast<std::ptrdiff_t>(y) * out.stride[0];
        for (int x = 0; x < w; ++x) scratch_[static_cast<std::size_t>(x)] = row[x];
        int sum = 0;
        for (int k = -radius; k <= radius; ++k) sum += scratch_[static_cast<std::size_t>(std::clamp(k, 0, w - 1))];
        for (int x = 0; x < w; ++x) {
            row[x] = static_cast<uint8_t>(sum / n);
            sum += scratch_[static_cast<std::size_t>(std::min(x + radius + 1, w - 1))] -
                   scratch_[static_cast<std::size_t>(std::max(x - radius, 0))];
        }
    }
    for (int x = 0; x < w; ++x) {
        for (int y = 0; y < h; ++y)
            scratch_[static_cast<std::size_t>(y)] = out.plane[0][static_cast<std::ptrdiff_t>(y) * out.stride[0] + x];
        int sum = 0;
        for (int k = -radius; k <= radius; ++k) sum += scratch_[static_cast<std::size_t>(std::clamp(k, 0, h - 1))];
        for (int y = 0; y < h; ++y) {
            out.plane[0][static_cast<std::ptrdiff_t>(y) * out.stride[0] + x] = static_cast<uint8_t>(sum / n);
            sum += scratch_[static_cast<std::size_t>(std::min(y + radius + 1, h - 1))] -
                   scratch_[static_cast<std::size_t>(std::max(y - radius, 0))];
        }
    }
}

void SceneRenderer::render(const CameraHead& head, const std::string& clockText, const YuvPicture& out) {
    const HeadState s = head.state();
    const int delta = static_cast<int>(std::lround(s.irisLevel * 70)) + s.osd.brightness * 10;
    const auto lut = brightnessTable(delta);
    const int w = out.width & ~1, h = out.height & ~1;
    if (s.quadMode == 0) {
        const ViewWindow whole;
        for (int i = 0; i < kQuadInputs; ++i) {
            const int ox = (i % 2) * (w / 2) & ~1, oy = (i / 2) * (h / 2) & ~1;
            sample(panorama(i), whole, out, ox, oy, (w / 2) & ~1, (h / 2) & ~1, lut);
        }
    } else {
        const int input = s.quadMode >= 1 && s.quadMode <= kQuadInputs ? s.quadMode - 1 : 0;
        sample(panorama(input), s.window, out, 0, 0, w, h, lut);
    }
    const double softness = std::abs(s.focusError) + std::max(0, -s.osd.sharpness) * 0.15;
    blur(out, static_cast<int>(std::lround(softness * 4)));
    overlays(s, head, s.osd.clock ? clockText : std::string(), out);
}

void SceneRenderer::overlays(const HeadState& s, const CameraHead& head, const std::string& clockText,
                             const YuvPicture& out) {
    const int w = out.width, h = out.height;
    const int scale = textScale(h);
    const int lineH = kGlyphCellHeight * scale;
    const Rgb white{255, 255, 255}, red{240, 40, 40}, green{40, 220, 60}, yellow{255, 220, 0}, grey{70, 70, 70};

    // The moving object the motion detector watches, and the regions it is in.
    if (head.motionDetection()) {
        double mx = 0, my = 0, msize = 0;
        head.motionObject(mx, my, msize);
        const int side = static_cast<int>(msize * w), cx = static_cast<int>(mx * w), cy = static_cast<int>(my * h);
        fillRect(out, cx - side / 2 - 2, cy - side / 2 - 2, side + 4, side + 4, {0, 0, 0});
        fillRect(out, cx - side / 2, cy - side / 2, side, side, white);
        const int bits = head.motionBits();
        for (int r = 1; r <= 3; ++r) {
            const int x0 = (r - 1) * w / 3;
            fillRect(out, x0 + 4, h - 6, w / 3 - 8, 4, (bits & (1 << r)) != 0 ? red : grey);
        }
    }

    shadeRect(out, 0, 0, w, lineH + 4, 0);
    drawText(out, 4, 2, scale, name_, white);
    if (!clockText.empty()) drawText(out, w - 4 - textWidth(clockText, scale), 2, scale, clockText, white);

    // Digital output lamp, under the clock.
    const int lampR = lampRadius(h);
    int lampX = 0, lampY = 0;
    lampCentre(w, h, lampX, lampY);
    fillCircle(out, lampX, lampY, lampR + 1, {0, 0, 0});
    fillCircle(out, lampX, lampY, lampR, s.lamp ? yellow : grey);
    drawText(out, lampX - lampR - 4 - textWidth("DO", scale), lampY - lineH / 2 + 1, scale, "DO",
             s.lamp ? yellow : white);

    // Digital inputs, under the name.
    const int inputs = head.activeInputs();
    if ((inputs & 1) != 0) drawText(out, 4, lineH + 6, scale, "DI1", red);
    if ((inputs & 2) != 0) drawText(out, 4 + textWidth("DI1 ", scale), lineH + 6, scale, "DI2", red);

    // Talk-back level bar on the left edge.
    const int barH = h / 2, barW = std::max(4, w / 60), barTop = (h - barH) / 2;
    fillRect(out, 2, barTop, barW + 2, barH, {0, 0, 0});
    const int level = static_cast<int>(s.talkLevel * (barH - 2));
    if (level > 0) fillRect(out, 3, barTop + barH - 1 - level, barW, level, green);

    // Head position, and which input a quad server shows.
    char status[64];
    std::snprintf(status, sizeof status, "P%3d T%3d Z%.1fX", static_cast<int>(s.window.x * 100),
                  static_cast<int>(s.window.y * 100), s.window.zoom);
    const int small = std::max(1, scale - 1);
    drawText(out, 4 + barW + 4, h - 8 - kGlyphCellHeight * small, small, status, white);
    if (s.quadMode >= 1 && s.quadMode <= kQuadInputs) {
        const std::string label = "INPUT " + std::to_string(s.quadMode);
        drawText(out, (w - textWidth(label, scale)) / 2, lineH + 6, scale, label, yellow);
    } else if (s.quadMode == 0) {
        for (int i = 0; i < kQuadInputs; ++i) {
            drawText(out, (i % 2) * (w / 2) + w / 4 - scale * 3, (i / 2) * (h / 2) + lineH + 6, scale,
                     std::to_string(i + 1), yellow);
        }
    }

    if (s.osd.open) {
        const std::vector<std::string> lines = osdLines(s.osd, s.presets);
        std::size_t longest = 0;
        for (const auto& l : lines) longest = std::max(longest, l.size());
        const int boxW = textWidth(std::string(longest, ' '), scale) + 8 * scale;
        const int boxH = static_cast<int>(lines.size()) * (lineH + scale) + 6 * scale;
        const int bx = (w - boxW) / 2, by = (h - boxH) / 2;
        shadeRect(out, bx, by, boxW, boxH, -20);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const bool title = i == 0, chosen = !title && lines[i].rfind('>', 0) == 0;
            drawText(out, bx + 4 * scale, by + 3 * scale + static_cast<int>(i) * (lineH + scale), scale, lines[i],
                     title ? yellow : (chosen ? green : white));
        }
    }
}

} // namespace camsim
