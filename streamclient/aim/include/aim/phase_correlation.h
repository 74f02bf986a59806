// How far the picture moved between two pictures of the same size, by
// phase correlation (FFTW): the normalised cross-power spectrum of the two,
// windowed so the picture's edges do not count, turned back into a surface
// whose highest point lies at the shift. That point's height (0 to 1) tells
// how much of the picture agrees with the shift: a blurred, changed or
// unrelated picture gives a low one.
#pragma once

#include <memory>

#include "aim/gray_picture.h"

namespace aim {

struct Shift {
    double dx = 0.0; // the content moved this many pixels to the right
    double dy = 0.0; // and down
    double peak = 0.0;
    // The agreement without any shift (the highest within a pixel of it):
    // high while the picture stands still, whatever moves inside it.
    double still = 0.0;
};

class PhaseCorrelator {
public:
    // Pictures of this size only; the transforms are planned once.
    PhaseCorrelator(int width, int height);
    ~PhaseCorrelator();
    PhaseCorrelator(const PhaseCorrelator&) = delete;
    PhaseCorrelator& operator=(const PhaseCorrelator&) = delete;

    int width() const { return width_; }
    int height() const { return height_; }

    // The shift from `before` to `after`; a zero shift with peak 0 for
    // pictures of another size. A shift of at most half the picture either
    // way can be told.
    Shift shift(const GrayPicture& before, const GrayPicture& after);

    // How many times `after` is magnified against `before` around the
    // picture's centre (below 1: it shows more), searched from 1 / maxRatio
    // to maxRatio; `peak` receives the agreement at the answer.
    double magnification(const GrayPicture& before, const GrayPicture& after, double maxRatio, double* peak = nullptr);

private:
    struct Plans;
    void load(const GrayPicture& picture, int slot);

    int width_;
    int height_;
    std::unique_ptr<Plans> plans_;
};

// `picture` magnified `ratio` times into the same size, the point `centre`
// (shares of the picture) in the middle (below 1 shows more of it; what
// lies outside the picture is filled with its mean).
GrayPicture magnified(const GrayPicture& picture, double ratio, double centreX = 0.5, double centreY = 0.5);

} // namespace aim
