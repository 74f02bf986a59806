#include "aim/phase_correlation.h"

#include <fftw3.h>
#include <libyuv/scale.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <mutex>
#include <numeric>
#include <vector>

namespace aim {

namespace {

// FFTW's planner is not safe to call from two threads at once (its
// execution is); every plan of the process is made under this lock.
std::mutex& plannerLock() {
    static std::mutex lock;
    return lock;
}

// A parabola through three samples: where its top lies, -0.5 to 0.5 from the
// middle one.
double vertexOffset(double left, double middle, double right) {
    const double denominator = left - 2.0 * middle + right;
    if (std::abs(denominator) < 1e-12) return 0.0;
    return std::clamp(0.5 * (left - right) / denominator, -0.5, 0.5);
}

int wrapped(int i, int n) { return ((i % n) + n) % n; }

// Spatial frequencies (cycles per pixel) up to this take part.
constexpr double kBandEdge = 0.3;

} // namespace

SampleSize sampleSizeFor(int pictureWidth, int pictureHeight, int width) {
    if (pictureWidth <= 0 || pictureHeight <= 0 || width < 2) return {};
    const int w = width & ~1;
    const int h =
        std::max(2, static_cast<int>(std::lround(static_cast<double>(w) * pictureHeight / pictureWidth)) & ~1);
    return {w, h};
}

struct PhaseCorrelator::Plans {
    std::vector<double> window;
    // Weights of the spectrum's bins: the finest detail, where the coding
    // noise of a camera's picture lives, counts less, and none beyond.
    std::vector<double> band;
    double* real = nullptr;                         // width * height
    fftw_complex* spectrum[2] = {nullptr, nullptr}; // height * (width / 2 + 1)
    fftw_plan forward = nullptr;
    fftw_plan backward = nullptr;

    ~Plans() {
        std::lock_guard lock(plannerLock());
        if (forward != nullptr) fftw_destroy_plan(forward);
        if (backward != nullptr) fftw_destroy_plan(backward);
        fftw_free(real);
        fftw_free(spectrum[0]);
        fftw_free(spectrum[1]);
    }
};

PhaseCorrelator::PhaseCorrelator(int width, int height)
    : width_(std::max(width, 2)), height_(std::max(height, 2)), plans_(std::make_unique<Plans>()) {
    Plans& p = *plans_;
    const std::size_t pixels = static_cast<std::size_t>(width_) * height_;
    const std::size_t bins = static_cast<std::size_t>(height_) * (width_ / 2 + 1);
    // A Hann window in both directions: the picture's edges, where content
    // enters and leaves, weigh nothing.
    p.window.resize(pixels);
    for (int y = 0; y < height_; ++y) {
        const double wy = 0.5 - 0.5 * std::cos(2.0 * M_PI * (y + 0.5) / height_);
        for (int x = 0; x < width_; ++x) {
            const double wx = 0.5 - 0.5 * std::cos(2.0 * M_PI * (x + 0.5) / width_);
            p.window[static_cast<std::size_t>(y) * width_ + x] = wx * wy;
        }
    }
    p.band.resize(bins);
    double bandSum = 0.0;
    for (int y = 0; y < height_; ++y) {
        const double fy = static_cast<double>(y <= height_ / 2 ? y : height_ - y) / height_;
        for (int x = 0; x <= width_ / 2; ++x) {
            const double fx = static_cast<double>(x) / width_;
            const double f = std::sqrt(fx * fx + fy * fy) / kBandEdge;
            const double w = f >= 1.0 ? 0.0 : std::exp(-3.0 * f * f);
            p.band[static_cast<std::size_t>(y) * (width_ / 2 + 1) + x] = w;
            bandSum += (x == 0 || x == width_ / 2) ? w : 2.0 * w;
        }
    }
    // The peak of identical pictures is 1 whatever the band.
    for (double& w : p.band) w *= static_cast<double>(pixels) / bandSum;
    std::lock_guard lock(plannerLock());
    p.real = fftw_alloc_real(pixels);
    p.spectrum[0] = fftw_alloc_complex(bins);
    p.spectrum[1] = fftw_alloc_complex(bins);
    p.forward = fftw_plan_dft_r2c_2d(height_, width_, p.real, p.spectrum[0], FFTW_ESTIMATE);
    p.backward = fftw_plan_dft_c2r_2d(height_, width_, p.spectrum[0], p.real, FFTW_ESTIMATE);
}

PhaseCorrelator::~PhaseCorrelator() = default;

void PhaseCorrelator::load(const GrayPicture& picture, int slot) {
    Plans& p = *plans_;
    const std::size_t pixels = p.window.size();
    const double mean =
        std::accumulate(picture.pixels.begin(), picture.pixels.end(), 0.0) / static_cast<double>(pixels);
    for (std::size_t i = 0; i < pixels; ++i) p.real[i] = (picture.pixels[i] - mean) * p.window[i];
    fftw_execute_dft_r2c(p.forward, p.real, p.spectrum[slot]);
}

Shift PhaseCorrelator::shift(const GrayPicture& before, const GrayPicture& after) {
    if (before.empty() || after.empty() || before.width != width_ || before.height != height_ ||
        after.width != width_ || after.height != height_)
        return {};
    Plans& p = *plans_;
    load(before, 0);
    load(after, 1);
    const std::size_t bins = static_cast<std::size_t>(height_) * (width_ / 2 + 1);
    for (std::size_t i = 0; i < bins; ++i) {
        if (p.band[i] == 0.0) {
            p.spectrum[0][i][0] = p.spectrum[0][i][1] = 0.0;
            continue;
        }
        const std::complex<double> a(p.spectrum[0][i][0], p.spectrum[0][i][1]);
        const std::complex<double> b(p.spectrum[1][i][0], p.spectrum[1][i][1]);
        // conj(a) * b peaks where `after` lies against `before`.
        std::complex<double> cross = std::conj(a) * b;
        const double magnitude = std::abs(cross);
        cross = magnitude > 1e-9 ? cross * (p.band[i] / magnitude) : std::complex<double>();
        p.spectrum[0][i][0] = cross.real();
        p.spectrum[0][i][1] = cross.imag();
    }
    fftw_execute_dft_c2r(p.backward, p.spectrum[0], p.real);
    const double scale = 1.0 / (static_cast<double>(width_) * height_);
    std::size_t best = 0;
    for (std::size_t i = 1; i < static_cast<std::size_t>(width_) * height_; ++i)
        if (p.real[i] > p.real[best]) best = i;
    const int bx = static_cast<int>(best % static_cast<std::size_t>(width_));
    const int by = static_cast<int>(best / static_cast<std::size_t>(width_));
    auto at = [&](int x, int y) {
        return p.real[static_cast<std::size_t>(wrapped(y, height_)) * width_ + wrapped(x, width_)];
    };
    Shift s;
    s.dx = bx + vertexOffset(at(bx - 1, by), at(bx, by), at(bx + 1, by));
    s.dy = by + vertexOffset(at(bx, by - 1), at(bx, by), at(bx, by + 1));
    if (s.dx >= width_ / 2.0) s.dx -= width_;
    if (s.dy >= height_ / 2.0) s.dy -= height_;
    s.peak = std::clamp(p.real[best] * scale, 0.0, 1.0);
    double still = 0.0;
    for (int y = -1; y <= 1; ++y)
        for (int x = -1; x <= 1; ++x) still = std::max(still, at(x, y));
    s.still = std::clamp(still * scale, 0.0, 1.0);
    return s;
}

double PhaseCorrelator::magnification(const GrayPicture& before, const GrayPicture& after, double maxRatio,
                                      double* peak) {
    // A coarse search in even steps of the logarithm, then a finer one around
    // the best.
    const double range = std::log(std::max(maxRatio, 1.0));
    double bestLog = 0.0;
    double bestPeak = -1.0;
    auto tryRatio = [&](double logRatio) {
        const Shift s = shift(magnified(before, std::exp(logRatio)), after);
        if (s.peak > bestPeak) {
            bestPeak = s.peak;
            bestLog = logRatio;
        }
    };
    const int coarse = 24;
    for (int i = -coarse; i <= coarse; ++i) tryRatio(range * i / coarse);
    const double step = range / coarse;
    const double centre = bestLog;
    for (int i = -5; i <= 5; ++i) tryRatio(centre + step * i / 5.0);
    if (peak != nullptr) *peak = std::max(bestPeak, 0.0);
    return std::exp(bestLog);
}

GrayPicture magnified(const GrayPicture& picture, double ratio, double centreX, double centreY) {
    if (picture.empty() || !(ratio > 0.0)) return picture;
    GrayPicture out{picture.width, picture.height, {}};
    const double mean =
        std::accumulate(picture.pixels.begin(), picture.pixels.end(), 0.0) / static_cast<double>(picture.pixels.size());
    out.pixels.assign(picture.pixels.size(), static_cast<uint8_t>(std::lround(mean)));
    const int w = picture.width;
    const int h = picture.height;
    // The part of the picture that fills the result, and where it goes:
    // source rectangle [sx0, sx1) maps onto [dx0, dx1) of the result.
    const double partW = w / ratio;
    const double partH = h / ratio;
    const double left = centreX * w - partW / 2.0;
    const double top = centreY * h - partH / 2.0;
    const int sx0 = std::clamp(static_cast<int>(std::lround(left)), 0, w);
    const int sy0 = std::clamp(static_cast<int>(std::lround(top)), 0, h);
    const int sx1 = std::clamp(static_cast<int>(std::lround(left + partW)), 0, w);
    const int sy1 = std::clamp(static_cast<int>(std::lround(top + partH)), 0, h);
    const int dx0 = std::clamp(static_cast<int>(std::lround((sx0 - left) * ratio)), 0, w);
    const int dy0 = std::clamp(static_cast<int>(std::lround((sy0 - top) * ratio)), 0, h);
    const int dx1 = std::clamp(static_cast<int>(std::lround((sx1 - left) * ratio)), 0, w);
    const int dy1 = std::clamp(static_cast<int>(std::lround((sy1 - top) * ratio)), 0, h);
    if (sx1 <= sx0 || sy1 <= sy0 || dx1 <= dx0 || dy1 <= dy0) return out;
    libyuv::ScalePlane(picture.pixels.data() + static_cast<std::size_t>(sy0) * w + sx0, w, sx1 - sx0, sy1 - sy0,
                       out.pixels.data() + static_cast<std::size_t>(dy0) * w + dx0, w, dx1 - dx0, dy1 - dy0,
                       ratio >= 1.0 ? libyuv::kFilterBilinear : libyuv::kFilterBox);
    return out;
}

} // namespace aim
